#include "core/palette_networks.h"

#include <algorithm>
#include <cmath>

namespace cw {

namespace {

enum class Activation : uint8_t { Logistic, Tangent };

// One input (the gray level), 2 or 4 hidden units, three outputs (R, G, B).
struct PaletteNet {
    int32_t number;
    Activation activation;
    int hidden;
    std::array<double, 4> a, c;               // hidden unit k: act(a[k] x + c[k])
    std::array<std::array<double, 4>, 3> w;   // output j: act(w[j][0] h0 + b[j] + w[j][1] h1 + ...)
    std::array<double, 3> b;
};

constexpr PaletteNet kNets[] = {
    {1, Activation::Tangent, 4,
     {-2.3724434, 4.8331413, -1.8427671, -3.2004695},
     {1.9089537, -0.266400963, 0.00756387645, -1.9111087},
     {{{-0.560080111, 0.555687249, 0.668220341, -0.665803194},
       {-0.520231128, -0.130852208, -0.580640316, -0.150377572},
       {-0.605773807, -0.15981102, -0.522293746, -0.311716497}}},
     {0.289091527, 0.267123759, 0.12036071}},
    {2, Activation::Logistic, 2,
     {7.2769966, 4.9865208},
     {-1.7616476, -4.0617599},
     {{{0.475490659, 3.2254887}, {1.4099686, 1.5365776}, {0.841402769, 2.3562107}}},
     {-1.0862341, -1.290158, -1.7692794}},
    {3, Activation::Logistic, 2,
     {-4.2157435, -6.0422134},
     {0.97948885, 5.4814081},
     {{{-1.0063514, -3.6497312}, {-3.4534104, -0.169922203}, {-0.401622385, -3.4181485}}},
     {3.0020115, 1.5054084, 2.1988771}},
    {4, Activation::Logistic, 2,
     {-6.4502935, 4.9038663},
     {0.825274348, -4.143858},
     {{{-1.072543, 2.4352551}, {-1.8893143, 2.0984321}, {-2.7384498, 2.566438}}},
     {-0.284852892, -0.103332929, -0.438794345}},
    {5, Activation::Logistic, 2,
     {-5.0818682, -6.3651795},
     {4.0461559, 2.0468111},
     {{{-0.686478257, -3.0523202}, {-1.1828622, -1.2372104}, {-4.8390946, 1.2536268}}},
     {1.5442091, 1.4015504, 2.3256276}},
    {6, Activation::Logistic, 2,
     {6.9493628, -7.254096},
     {-0.759117246, 5.4252439},
     {{{-1.0970474, -3.7244861}, {2.8153076, -1.2729082}, {4.3017592, 1.0075963}}},
     {2.8639841, -1.1854826, -3.5585947}},
    {7, Activation::Logistic, 2,
     {5.4741812, 11.830635},
     {-3.5312629, -7.2866683},
     {{{-0.00721548917, 2.1598611}, {4.2076015, -1.1710526}, {12.802627, -9.1013079}}},
     {-0.583223641, -1.2196395, -0.798744619}},
    {8, Activation::Logistic, 2,
     {4.197382, 5.4842043},
     {-4.7380295, -1.5182661},
     {{{3.559916, 1.7229128}, {3.5597272, 1.7230524}, {2.5908346, 1.0442305}}},
     {-1.5614088, -1.5615003, -0.872579038}},
    {9, Activation::Logistic, 2,
     {-5.7094722, -6.3866177},
     {2.9429255, 5.3629637},
     {{{2.0783923, -5.8860359}, {-4.1943035, 2.1781406}, {-2.5271561, -0.795525134}}},
     {2.6408811, 0.937091053, 2.0587821}},
    {10, Activation::Logistic, 2,
     {-3.7825429, -6.9813943},
     {0.845591962, 6.6355104},
     {{{0.816698611, -5.5340586}, {-4.8324389, 0.163778007}, {-3.375267, 0.594603062}}},
     {3.6319661, 1.6708814, 1.2791873}},
    {11, Activation::Logistic, 2,
     {-4.8962855, -6.3418498},
     {1.1980389, 4.8000188},
     {{{-3.2307353, 0.0823478997}, {-1.6470942, -1.4940988}, {1.1503462, -4.3238478}}},
     {1.1948332, 1.5620354, 2.1301143}},
    {12, Activation::Logistic, 2,
     {-5.7064056, -4.8417444},
     {0.206628844, 3.7135091},
     {{{-2.7011256, -1.6757839}, {-1.7666609, -2.1020138}, {-1.1130928, -2.9923851}}},
     {1.8190899, 1.677772, 2.0661399}},
    {13, Activation::Logistic, 4,
     {19.129042, 6.1662626, -7.0949717, 8.744462},
     {-3.2992885, -4.5136185, 0.626613438, -9.5226612},
     {{{2.35941, -1.1937133, -1.2563454, 3.0307276},
       {-1.4892278, 3.7192531, -3.1777482, -2.2231066},
       {-3.0362945, -3.3076017, -5.0306091, 13.335405}}},
     {-0.707862854, 0.455077887, 2.7903855}},
    {15, Activation::Logistic, 4,
     {3.1277657, -10.623052, -2.4437225, 5.5783067},
     {-0.102445893, 1.3705928, 0.119968519, -4.6717868},
     {{{0.780507028, 0.310396641, -1.4133812, 3.7235391},
       {0.844594359, -3.0806606, 0.429234475, 1.5991685},
       {-1.0117201, 5.8101964, -0.205873743, 3.0578818}}},
     {-1.243114, -0.473981082, -1.2733737}},
    {17, Activation::Logistic, 2,
     {-4.7980981, -7.2835569},
     {1.6965858, 5.7678566},
     {{{0.938742757, -4.0462794}, {-4.2863064, 1.1672163}, {0.938487053, -4.0461965}}},
     {1.9527773, 1.29489, 1.9527972}},
    {19, Activation::Logistic, 2,
     {4.304873, -11.311127},
     {-1.8988694, 11.856107},
     {{{3.5550408, 0.295186728}, {2.7376699, -1.3752038}, {-0.126983777, -7.0771394}}},
     {-1.9868994, -0.0659654588, 5.7293324}},
    {20, Activation::Logistic, 2,
     {-5.6796336, 14.62319},
     {3.0523565, -2.9181869},
     {{{0.26984942, 2.3623385}, {-3.965199, -1.0455831}, {0.139994204, 2.2026737}}},
     {-1.4345584, 2.5094593, -1.195941}},
    {21, Activation::Logistic, 2,
     {-7.5164695, -5.0607195},
     {1.0633659, 4.298491},
     {{{-0.225725323, -2.8174906}, {-2.0896041, -2.5451574}, {-3.1421702, 0.34426567}}},
     {2.2827146, 2.2347429, 0.841629624}},
    {22, Activation::Logistic, 2,
     {6.1729507, -5.4592643},
     {-1.4815886, 4.719254},
     {{{3.1706533, -0.168082416}, {1.2556545, -2.300528}, {-0.617179275, -4.7190437}}},
     {-1.650758, 0.812185287, 3.4431059}},
    {23, Activation::Logistic, 2,
     {-7.8964448, -4.1938472},
     {7.2819333, 1.457257},
     {{{-4.8845658, 0.637894928}, {0.497722268, -3.9293826}, {0.499315888, -3.9302232}}},
     {3.0501571, 1.4924417, 1.4913752}},
    {24, Activation::Logistic, 2,
     {10.619945, -3.0900815},
     {-0.367962927, 2.4440138},
     {{{0.399224728, -4.3526158}, {1.5809782, -3.4435847}, {1.8471693, -2.7179079}}},
     {2.3355942, 0.996195793, 0.399056911}},
    {25, Activation::Logistic, 2,
     {3.9505644, -4.7966371},
     {-4.0580902, 0.535307944},
     {{{2.7955213, -2.4446385}, {3.0048559, -2.0098796}, {4.4811001, -1.2134712}}},
     {-0.0622061975, 0.0641241521, -0.649995387}},
    {26, Activation::Logistic, 2,
     {-6.0515394, -4.7546239},
     {0.459451586, 4.050436},
     {{{-1.9187818, -2.4757414}, {-1.875123, -2.385781}, {-1.9450457, -2.0681243}}},
     {2.3493133, 2.0869887, 1.7731518}},
    {27, Activation::Logistic, 2,
     {-6.0293851, -4.9385295},
     {0.878114283, 4.5134554},
     {{{-3.4073043, -1.3851912}, {-1.3206215, -2.7783492}, {-0.532052875, -3.0437562}}},
     {1.9149822, 2.5113132, 2.392206}},
    {28, Activation::Logistic, 4,
     {-10.753713, -30.63518, 4.5621781, -12.937496},
     {3.4336948, 12.186296, -1.1814302, 14.547225},
     {{{1.8409165, -1.9783618, 3.182332, -1.7099504},
       {0.221276104, 1.0195487, 5.0919185, -4.1337948},
       {7.7923255, -1.6975026, 9.4717913, -5.0547509}}},
     {-0.145408362, 0.133069038, -4.0759201}},
    {30, Activation::Logistic, 4,
     {-5.8706102, 13.797745, 0.538868189, -7.2661395},
     {2.0298944, 0.13442865, -0.800106525, 7.5165825},
     {{{-1.9506902, 3.3402445, -0.687636971, -0.246062547},
       {-2.6457069, -1.2021366, 0.594812691, -2.5661728},
       {2.4770122, 3.0461509, 0.304228127, -5.0383086}}},
     {-1.4809704, 4.0521417, 0.403113306}},
};

// 1/255 and 2/255 rounded to 11 decimals: the inputs the weights expect.
constexpr double kLogisticInputScale = 0.00392156863;
constexpr double kTangentInputScale = 0.00784313725;
// Logistic 0.2..0.8 and tangent -0.8..0.8 onto 0..255. The palettes were
// made with 424.99999, not 425 (no level of any network tells them apart).
constexpr double kLogisticOutScale = 424.99999, kLogisticOutOffset = -85.0;
constexpr double kTangentOutScale = 159.375, kTangentOutOffset = 127.5;

const PaletteNet* findNet(int32_t number) {
    for (const PaletteNet& n : kNets)
        if (n.number == number) return &n;
    return nullptr;
}

// Every stored intermediate is a float; each product and sum is formed in
// double before it is stored.
float activate(Activation a, float z) {
    if (a == Activation::Tangent) return float(std::tanh(double(z)));
    return float(1.0 / (std::exp(-double(z)) + 1.0));
}

Rgb evaluate(const PaletteNet& n, int32_t gray) {
    const bool tangent = n.activation == Activation::Tangent;
    const float x = tangent ? float(kTangentInputScale * gray - 1.0) : float(kLogisticInputScale * gray);
    std::array<float, 4> h{};
    for (int k = 0; k < n.hidden; ++k) h[k] = activate(n.activation, float(n.a[k] * x + n.c[k]));
    std::array<int32_t, 3> out{};
    for (int j = 0; j < 3; ++j) {
        double sum = n.w[j][0] * h[0] + n.b[j];
        for (int k = 1; k < n.hidden; ++k) sum += n.w[j][k] * h[k];
        const float o = activate(n.activation, float(sum));
        const float v = tangent ? float(kTangentOutScale * o + kTangentOutOffset)
                                : float(kLogisticOutScale * o + kLogisticOutOffset);
        out[j] = int32_t(v);  // truncates toward zero
    }
    return {out[0], out[1], out[2]};
}

Rgb net(int32_t number, int32_t gray) { return evaluate(*findNet(number), gray); }

// What a code's colour owes to the gray level alone: all of it, except for
// code 13, which is then mixed with the source channels.
std::optional<Rgb> levelColour(int32_t code, int32_t g) {
    switch (code) {
    case 14: {
        const Rgb a = net(5, g), b = net(30, g);
        return Rgb{(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2};
    }
    case 16: {
        const Rgb o = net(17, g);
        Rgb c{o.g, o.r, o.b};
        c.b += (c.r * 40) / 100;
        c.g += (c.r * 30) / 100;
        return c;
    }
    case 18: {
        const Rgb o = net(17, g);
        Rgb c{o.b, o.r, o.g};
        c.b += (c.b * 20) / 100;
        c.r += (c.b * 20) / 100;  // both use the raised blue
        c.g += (c.b * 60) / 100;
        return c;
    }
    case 13:
    case 29:
        return net(13, g);
    case kCodeGray:
        return Rgb{g, g, g};
    default:
        if (code < kFirstNetworkCode || code > kLastNetworkCode) return std::nullopt;
        return net(code, g);
    }
}

uint32_t clampedPixel(Rgb c) {
    return 0xff000000u | uint32_t(std::clamp(c.r, 0, 255)) << 16 | uint32_t(std::clamp(c.g, 0, 255)) << 8 |
           uint32_t(std::clamp(c.b, 0, 255));
}

PaletteTables buildTables() {
    PaletteTables t;
    auto tabulate = [&](int32_t code, PaletteKind kind, int slot) {
        t.kind[code] = kind;
        t.slot[code] = uint8_t(slot);
        for (int32_t g = 0; g < 256; ++g) {
            const Rgb c = *levelColour(code, g);
            t.levels[slot][g] = c;
            t.pixels[slot][g] = clampedPixel(c);
        }
    };
    for (int32_t code = kFirstNetworkCode; code <= kLastNetworkCode; ++code)
        tabulate(code, code == 13 ? PaletteKind::Blend13 : PaletteKind::Table, code);
    tabulate(kCodeGray, PaletteKind::Table, PaletteTables::kGraySlot);
    t.kind[kCodeCustom] = PaletteKind::Marker;
    t.kind[kCodeClear] = PaletteKind::Current;
    t.kind[kCodeOriginalEffects] = PaletteKind::Source;
    return t;
}

} // namespace

std::optional<Rgb> evaluatePaletteNet(int32_t number, int32_t gray) {
    const PaletteNet* n = findNet(number);
    if (!n || gray < 0 || gray > 255) return std::nullopt;
    return evaluate(*n, gray);
}

std::optional<PaletteResult> paletteColourDirect(int32_t code, uint32_t source, uint32_t current,
                                                 int32_t marker) {
    const Rgb s = channelsOf(source);
    const int32_t g = grayOf(s);
    switch (code) {
    case 13: {
        const Rgb n = *levelColour(13, g);
        return PaletteResult{{(n.r + 2 * s.r) / 3, (n.g + 2 * s.g) / 3, (n.b + 2 * s.b) / 3}, g};
    }
    case kCodeCustom: {
        const Rgb m = channelsOfBGR(marker);
        return PaletteResult{m, grayOf(m)};
    }
    case kCodeClear: {
        const Rgb c = channelsOf(current);
        return PaletteResult{c, grayOf(c)};
    }
    case kCodeOriginalEffects:
        return PaletteResult{s, g};
    default:
        if (const std::optional<Rgb> c = levelColour(code, g)) return PaletteResult{*c, g};
        return std::nullopt;
    }
}

const PaletteTables& paletteTables() {
    static const PaletteTables tables = buildTables();
    return tables;
}

std::vector<uint32_t> paletteRamp(int32_t code, int width) {
    const PaletteTables& t = paletteTables();
    std::vector<uint32_t> ramp;
    if (width < 2 || uint32_t(code) >= t.kind.size()) return ramp;
    if (t.kind[code] != PaletteKind::Table && t.kind[code] != PaletteKind::Blend13) return ramp;
    for (int x = 0; x < width; ++x) {
        const uint32_t g = uint32_t(x * 255 / (width - 1));
        const uint32_t gray = 0xff000000u | g << 16 | g << 8 | g;
        ramp.push_back(clampedPixel(paletteColour(t, code, gray, gray, 0)->rgb));
    }
    return ramp;
}

} // namespace cw
