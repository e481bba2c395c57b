#include "codecs/picture_formats.h"

#include <cctype>
#include <cstring>

#include "codecs/bmp_reader.h"
#include "codecs/bmp_writer.h"
#include "codecs/jpeg_decoder.h"
#include "codecs/png_codec.h"
#include "codecs/tiff_codec.h"

namespace cw {

namespace {

bool startsWith(std::span<const uint8_t> head, std::string_view magic) {
    return head.size() >= magic.size() && std::memcmp(head.data(), magic.data(), magic.size()) == 0;
}

bool isBmp(std::span<const uint8_t> head) { return startsWith(head, "BM"); }
bool isJpeg(std::span<const uint8_t> head) { return startsWith(head, "\xFF\xD8\xFF"); }
bool isPng(std::span<const uint8_t> head) { return startsWith(head, "\x89PNG\r\n\x1A\n"); }
// Either byte order; 42 for classic TIFF, 43 for BigTIFF.
bool isTiff(std::span<const uint8_t> head) {
    using namespace std::string_view_literals;
    return startsWith(head, "II*\0"sv) || startsWith(head, "MM\0*"sv) || startsWith(head, "II+\0"sv) ||
           startsWith(head, "MM\0+"sv);
}

Bitmap readJpeg(const std::string& path) { return decodeJpegFile(path); }

constexpr const char* kBmpExtensions[] = {".bmp"};
constexpr const char* kJpegExtensions[] = {".jpg", ".jpeg"};
constexpr const char* kPngExtensions[] = {".png"};
constexpr const char* kTiffExtensions[] = {".tif", ".tiff"};

const PictureFormat kFormats[] = {
    {FormatId::Bitmap, "MS Windows Bitmap", "MS Windows bitmap", kBmpExtensions, "image/bmp", isBmp, readBmp, writeBmp24},
    {FormatId::Jpeg, "JPEG Image", nullptr, kJpegExtensions, "image/jpeg", isJpeg, readJpeg, nullptr},
    {FormatId::Png, "PNG Image", "PNG image", kPngExtensions, "image/png", isPng, readPng, writePng},
    {FormatId::Tiff, "TIFF Image", "TIFF image", kTiffExtensions, "image/tiff", isTiff, readTiff, writeTiff},
};

const PictureFormat* claiming(const std::string& name) {
    const std::string ext = upperExtension(name);
    if (ext.empty()) return nullptr;
    for (const PictureFormat& f : kFormats)
        for (const char* e : f.extensions)
            if (upperExtension(e) == ext) return &f;
    return nullptr;
}

} // namespace

std::string filePatterns(const PictureFormat& f) {
    std::string all;
    for (const char* e : f.extensions) all += std::string(all.empty() ? "*" : " *") + e;
    return all;
}

std::span<const PictureFormat> pictureFormats() { return kFormats; }

const PictureFormat& formatOfName(const std::string& name) {
    const PictureFormat* f = claiming(name);
    return f ? *f : kFormats[0];
}

bool isPictureName(const std::string& name) { return claiming(name) != nullptr; }

std::string openFilter() {
    std::string all, each;
    for (const PictureFormat& f : kFormats) {
        all += (all.empty() ? "" : " ") + filePatterns(f);
        each += std::string(";;") + f.openName + " (" + filePatterns(f) + ")";
    }
    return "All Supported Image Types (" + all + ")" + each;
}

std::string fileExtension(const std::string& name) {
    const auto sep = name.find_last_of("/\\:");
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    return name.substr(dot);
}

std::string upperExtension(const std::string& name) {
    std::string ext = fileExtension(name);
    for (char& c : ext) c = char(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

} // namespace cw
