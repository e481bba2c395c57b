#include "codecs/ora_file.h"

#include "codecs/ora_stack.h"
#include "codecs/png_codec.h"
#include "codecs/replacing_file.h"
#include "core/helper_threads.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <new>
#include <set>
#include <system_error>
#include <thread>

#include <zip.h>

namespace cw {
namespace {

constexpr int32_t kThumbnailSide = 256;
// libzip hands its output over 8 KB at a time; the file gets it in fewer, larger writes.
constexpr size_t kWriteBehind = size_t(1) << 20;

// Where libzip's output goes, at the offsets it asks for: the file being
// replaced, or memory.
class ArchiveSink {
public:
    ArchiveSink(ReplacingFile* file, std::string* bytes) : file_(file), bytes_(bytes) { zip_error_init(&error); }
    ~ArchiveSink() { zip_error_fini(&error); }
    ArchiveSink(const ArchiveSink&) = delete;
    ArchiveSink& operator=(const ArchiveSink&) = delete;

    void write(const void* data, size_t n) {
        const char* p = static_cast<const char*>(data);
        if (!file_) {
            // Past the end it appends; over a header written before, it overwrites.
            bytes_->replace(size_t(at_), std::min(n, bytes_->size() - size_t(at_)), p, n);
        } else {
            if (!pending_.empty() && pendingAt_ + pending_.size() != at_) flush();
            if (pending_.empty()) pendingAt_ = at_;
            pending_.append(p, n);
            if (pending_.size() >= kWriteBehind) flush();
        }
        at_ += n;
        end_ = std::max(end_, at_);
    }
    void seek(uint64_t to) { at_ = to; }
    uint64_t tell() const { return at_; }
    uint64_t end() const { return end_; }
    void flush() {
        if (file_ && !pending_.empty()) file_->write(pending_.data(), pending_.size(), pendingAt_);
        pending_.clear();
    }

    zip_error_t error;
    std::exception_ptr failure;  // what a write threw, for after libzip has given up

private:
    ReplacingFile* file_;
    std::string* bytes_;
    std::string pending_;
    uint64_t pendingAt_ = 0, at_ = 0, end_ = 0;
};

zip_int64_t archiveCommand(void* user, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto& sink = *static_cast<ArchiveSink*>(user);
    try {
        switch (cmd) {
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE;
        case ZIP_SOURCE_STAT:
            // Nothing there yet: libzip starts an empty archive rather than reading one.
            zip_error_set(&sink.error, ZIP_ER_READ, ENOENT);
            return -1;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&sink.error, data, len);
        case ZIP_SOURCE_BEGIN_WRITE:
        case ZIP_SOURCE_ROLLBACK_WRITE:
        case ZIP_SOURCE_REMOVE:
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_WRITE:
            sink.write(data, size_t(len));
            return zip_int64_t(len);
        case ZIP_SOURCE_SEEK_WRITE: {
            const auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, len, &sink.error);
            if (!args) return -1;
            const uint64_t base = args->whence == SEEK_CUR ? sink.tell() : args->whence == SEEK_END ? sink.end() : 0;
            if ((args->offset < 0 && uint64_t(-args->offset) > base) || base + uint64_t(args->offset) > sink.end()) {
                zip_error_set(&sink.error, ZIP_ER_INVAL, 0);
                return -1;
            }
            sink.seek(base + uint64_t(args->offset));
            return 0;
        }
        case ZIP_SOURCE_TELL_WRITE:
            return zip_int64_t(sink.tell());
        case ZIP_SOURCE_COMMIT_WRITE:
            sink.flush();
            return 0;
        default:
            zip_error_set(&sink.error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    } catch (...) {
        sink.failure = std::current_exception();
        zip_error_set(&sink.error, ZIP_ER_WRITE, 0);
        return -1;
    }
}

[[noreturn]] void refuse(const std::string& why) { throw SaveError("OpenRaster: " + why); }

// Everything a caller could get wrong, found before anything is compressed.
void checkRequest(const OraOut& ora) {
    if (ora.width <= 0 || ora.height <= 0 || uint64_t(ora.width) * uint64_t(ora.height) > kMaxPixels)
        refuse("no picture to save");
    if (ora.compression < 0 || ora.compression > 9) refuse("no such compression level");
    if (ora.mergedFrom < 0 || size_t(ora.mergedFrom) >= ora.layers.size() || !ora.layers[size_t(ora.mergedFrom)].rgb)
        refuse("the merged picture is not one of the RGB layers");
    std::set<std::string> names = {ora::kMimeEntry, ora::kStackEntry, ora::kMergedEntry, ora::kThumbnailEntry};
    for (size_t i = 0; i < ora.layers.size(); ++i) {
        const OraLayerOut& layer = ora.layers[i];
        if (!layer.rgb == !layer.gray) refuse("layer " + layer.name + " needs either RGB pixels or gray ones");
        // The merged layer may keep its pixels in the merged picture's entry.
        if (i == size_t(ora.mergedFrom) && layer.src == ora::kMergedEntry) continue;
        if (!ora::isSafeEntryPath(layer.src) || !names.insert(layer.src).second)
            refuse("layer " + layer.name + " cannot be stored as \"" + layer.src + "\"");
    }
    for (const auto& [path, bytes] : ora.extraFiles)
        if (!ora::isSafeEntryPath(path) || !names.insert(path).second)
            refuse("cannot store a file as \"" + path + "\"");
}

// The merged picture scaled to fit 256 x 256, never up; each pixel the
// rounded mean of the block of pixels it covers.
std::string thumbnailPng(const uint32_t* pixels, int32_t width, int32_t height, int level) {
    int32_t tw = width, th = height;
    if (width > kThumbnailSide && width >= height) {
        tw = kThumbnailSide;
        th = int32_t(std::max<int64_t>(1, (int64_t(height) * kThumbnailSide + width / 2) / width));
    } else if (height > kThumbnailSide) {
        th = kThumbnailSide;
        tw = int32_t(std::max<int64_t>(1, (int64_t(width) * kThumbnailSide + height / 2) / height));
    }
    std::vector<uint32_t> small(size_t(tw) * size_t(th));
    uint64_t sums[kThumbnailSide][3];
    for (int32_t ty = 0; ty < th; ++ty) {
        const int64_t y0 = int64_t(ty) * height / th, y1 = int64_t(ty + 1) * height / th;
        std::fill(&sums[0][0], &sums[0][0] + 3 * kThumbnailSide, 0);
        for (int64_t y = y0; y < y1; ++y) {
            const uint32_t* row = pixels + size_t(y) * size_t(width);
            for (int32_t tx = 0; tx < tw; ++tx)
                for (int64_t x = int64_t(tx) * width / tw, x1 = int64_t(tx + 1) * width / tw; x < x1; ++x) {
                    sums[tx][0] += redOf(row[x]);
                    sums[tx][1] += greenOf(row[x]);
                    sums[tx][2] += blueOf(row[x]);
                }
        }
        for (int32_t tx = 0; tx < tw; ++tx) {
            const uint64_t n = uint64_t(y1 - y0) * uint64_t(int64_t(tx + 1) * width / tw - int64_t(tx) * width / tw);
            small[size_t(ty) * size_t(tw) + size_t(tx)] =
                rgb(uint32_t((sums[tx][0] + n / 2) / n), uint32_t((sums[tx][1] + n / 2) / n),
                    uint32_t((sums[tx][2] + n / 2) / n));
        }
    }
    return encodePng(tw, th, small.data(), level);
}

struct Compressed {
    std::vector<std::string> layers;  // a PNG for each layer
    std::string thumbnail;
};

// The largest layer on a helper thread, the others and the thumbnail here.
// The merged layer is RGB, three times a gray layer's bytes: none is larger.
Compressed compress(const OraOut& ora) {
    const size_t largest = size_t(ora.mergedFrom);
    Compressed out;
    out.layers.resize(ora.layers.size());
    const auto one = [&](size_t i) {
        const OraLayerOut& layer = ora.layers[i];
        out.layers[i] = layer.rgb ? encodePng(ora.width, ora.height, layer.rgb, ora.compression)
                                  : encodePng(ora.width, ora.height, layer.gray, ora.compression);
    };
    std::thread helper;
    std::exception_ptr helperFailure;
    if (helperThreadsAllowed()) {
        try {
            helper = std::thread([&] {
                try {
                    one(largest);
                } catch (...) {
                    helperFailure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            // No thread to be had: the work is done here instead.
        }
    }
    try {
        if (!helper.joinable()) one(largest);
        for (size_t i = 0; i < ora.layers.size(); ++i)
            if (i != largest) one(i);
        out.thumbnail =
            thumbnailPng(ora.layers[size_t(ora.mergedFrom)].rgb, ora.width, ora.height, ora.compression);
    } catch (...) {
        if (helper.joinable()) helper.join();
        throw;
    }
    if (helper.joinable()) helper.join();
    if (helperFailure) std::rethrow_exception(helperFailure);
    return out;
}

// Takes `error` over.
[[noreturn]] void zipFailed(const std::string& what, zip_error_t* error) {
    const std::string why = "OpenRaster: " + what + ": " + zip_error_strerror(error);
    const int code = zip_error_code_zip(error), system = zip_error_code_system(error);
    zip_error_fini(error);
    if (code == ZIP_ER_MEMORY) throw std::bad_alloc();
    throw SaveError(why, system);
}

// Discards the archive and throws what stopped it: first what the file threw.
[[noreturn]] void abandon(zip_t* za, const std::string& what, const ArchiveSink& sink) {
    zip_error_t error;
    zip_error_init(&error);
    zip_error_set(&error, zip_error_code_zip(zip_get_error(za)), zip_error_code_system(zip_get_error(za)));
    zip_discard(za);
    if (sink.failure) {
        zip_error_fini(&error);
        std::rethrow_exception(sink.failure);
    }
    zipFailed(what, &error);
}

// The archive's entries in their order, the PNGs stored as they are (their
// data is deflated already) and the rest deflated.
void assemble(const OraOut& ora, const Compressed& pngs, ArchiveSink& sink) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_function_create(archiveCommand, &sink, &error);
    zip_t* za = target ? zip_open_from_source(target, ZIP_CREATE | ZIP_TRUNCATE, &error) : nullptr;
    if (!za) {
        zip_source_free(target);
        zipFailed("cannot begin the archive", &error);
    }
    zip_error_fini(&error);
    const auto add = [&](const std::string& name, const std::string& bytes, int32_t method) {
        zip_source_t* s = zip_source_buffer(za, bytes.data(), bytes.size(), 0);
        const zip_int64_t i = s ? zip_file_add(za, name.c_str(), s, ZIP_FL_ENC_UTF_8) : -1;
        if (i < 0) zip_source_free(s);
        if (i < 0 || zip_set_file_compression(za, zip_uint64_t(i), method, 0) != 0) abandon(za, name, sink);
    };
    // libzip reads every entry's bytes only in zip_close.
    const std::string mime = ora::kMimeType, stack = ora::stackXml(ora);
    add(ora::kMimeEntry, mime, ZIP_CM_STORE);
    add(ora::kStackEntry, stack, ZIP_CM_DEFLATE);
    // A layer may name the merged picture as its own PNG: it is stored once.
    for (size_t i = 0; i < ora.layers.size(); ++i)
        if (ora.layers[i].src != ora::kMergedEntry) add(ora.layers[i].src, pngs.layers[i], ZIP_CM_STORE);
    add(ora::kMergedEntry, pngs.layers[size_t(ora.mergedFrom)], ZIP_CM_STORE);
    add(ora::kThumbnailEntry, pngs.thumbnail, ZIP_CM_STORE);
    for (const auto& [path, bytes] : ora.extraFiles) add(path, bytes, ZIP_CM_DEFLATE);
    if (zip_close(za) != 0) abandon(za, "cannot write the archive", sink);
}

} // namespace

std::string encodeOra(const OraOut& ora) {
    checkRequest(ora);
    const Compressed pngs = compress(ora);
    std::string bytes;
    // The entries, the merged one twice, and room for their headers.
    size_t total = pngs.layers[size_t(ora.mergedFrom)].size() + pngs.thumbnail.size() + 4096 * (ora.layers.size() + 4);
    for (const std::string& png : pngs.layers) total += png.size();
    for (const auto& [path, data] : ora.extraFiles) total += data.size() + 4096;
    bytes.reserve(total);
    ArchiveSink sink(nullptr, &bytes);
    assemble(ora, pngs, sink);
    return bytes;
}

void writeOra(const OraOut& ora, const std::string& path) {
    try {
        checkRequest(ora);
        // Opened first, so that a place that cannot be written is known before the work.
        ReplacingFile file(path);
        const Compressed pngs = compress(ora);
        ArchiveSink sink(&file, nullptr);
        assemble(ora, pngs, sink);
        file.commit(true);
    } catch (const std::bad_alloc&) {
        throw SaveError("not enough memory to save " + path);
    }
}

} // namespace cw
