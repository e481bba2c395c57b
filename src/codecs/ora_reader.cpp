#include "codecs/ora_file.h"

#include "codecs/ora_stack.h"
#include "codecs/png_codec.h"
#include "core/image_error.h"
#include "core/regular_file.h"

#include <algorithm>
#include <optional>

#include <zip.h>

namespace cw {
namespace {

// A deflate stream expands at most about 1032 times; an entry that claims
// more than this many times its compressed size is lying.
constexpr uint64_t kMaxInflation = 1032;
constexpr size_t kPieceBytes = size_t(1) << 16;
constexpr size_t kMaxStackBytes = size_t(1) << 20;

[[noreturn]] void refuse(const std::string& why) { throw InvalidImage("OpenRaster: " + why); }

// The archive read through pread, so that the file is neither copied whole
// into memory nor mapped (a mapped file cut short kills its reader).
struct FileSource {
    const RegularFile* file = nullptr;
    uint64_t size = 0, at = 0;
    zip_error_t error;
};

zip_int64_t fileCommand(void* user, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto& s = *static_cast<FileSource*>(user);
    switch (cmd) {
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_SEEKABLE | zip_source_make_command_bitmap(ZIP_SOURCE_ACCEPT_EMPTY, -1);
    case ZIP_SOURCE_ACCEPT_EMPTY:
        return 0;
    case ZIP_SOURCE_OPEN:
        s.at = 0;
        return 0;
    case ZIP_SOURCE_READ:
        try {
            const uint64_t left = s.size - std::min(s.at, s.size);
            const size_t got = s.file->read(data, size_t(std::min<uint64_t>(len, left)), s.at);
            s.at += got;
            return zip_int64_t(got);
        } catch (const FileReadError&) {
            zip_error_set(&s.error, ZIP_ER_READ, 0);
            return -1;
        }
    case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &s.error);
        if (!st) return -1;
        zip_stat_init(st);
        st->valid |= ZIP_STAT_SIZE;
        st->size = s.size;
        return sizeof *st;
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&s.error, data, len);
    case ZIP_SOURCE_SEEK: {
        const zip_int64_t to = zip_source_seek_compute_offset(s.at, s.size, data, len, &s.error);
        if (to < 0) return -1;
        s.at = uint64_t(to);
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return zip_int64_t(s.at);
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
        return 0;
    default:
        zip_error_set(&s.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

// One entry open for reading; its length is what its header claims, held to
// as it is read.
class Entry final : public PngInput {
public:
    Entry(zip_t* za, const std::string& name) : name_(name) {
        const zip_int64_t i = zip_name_locate(za, name.c_str(), 0);
        zip_stat_t st;
        if (i < 0 || zip_stat_index(za, zip_uint64_t(i), 0, &st) != 0) refuse("the file holds no " + name);
        size_ = st.size;
        file_ = zip_fopen_index(za, zip_uint64_t(i), 0);
        if (!file_) refuse(name + ": " + zip_strerror(za));
    }
    ~Entry() override { zip_fclose(file_); }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    uint64_t size() const { return size_; }

    void read(uint8_t* to, size_t n) override {
        for (size_t done = 0; done < n;) done += piece(to + done, n - done);
    }
    // Between one and n of the bytes the header says are left; none left is a damaged file here.
    size_t piece(uint8_t* to, size_t n) {
        const zip_int64_t got = got_ == size_ ? 0 : zip_fread(file_, to, std::min<uint64_t>(n, size_ - got_));
        if (got < 0) refuse(name_ + ": " + zip_file_strerror(file_));
        if (got == 0)
            refuse(name_ + (got_ == size_ ? " ends before its contents do" : " holds less than its header says"));
        got_ += uint64_t(got);
        return size_t(got);
    }
    // What follows the contents, read to the entry's end, where libzip checks
    // the CRC; a byte past the header's length is enough to know it lies.
    void finish() {
        uint8_t rest[4096];
        for (zip_int64_t got; got_ <= size_ && (got = zip_fread(file_, rest, sizeof rest)) != 0; got_ += uint64_t(got))
            if (got < 0) refuse(name_ + ": " + zip_file_strerror(file_));
        if (got_ != size_) refuse(name_ + " does not hold the " + std::to_string(size_) + " bytes its header says");
    }

private:
    std::string name_;
    zip_file_t* file_ = nullptr;
    uint64_t size_ = 0, got_ = 0;
};

} // namespace

struct OraReader::Archive {
    std::optional<RegularFile> file;
    FileSource source;
    zip_t* zip = nullptr;

    Archive() { zip_error_init(&source.error); }
    ~Archive() {
        if (zip) zip_discard(zip);
        zip_error_fini(&source.error);
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // Takes `src` over, whatever happens.
    void open(zip_source_t* src, zip_error_t* error) {
        if (src) zip = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, error);
        if (!zip) {
            zip_source_free(src);
            const std::string why = zip_error_strerror(error);
            const bool memory = zip_error_code_zip(error) == ZIP_ER_MEMORY;
            zip_error_fini(error);
            if (memory) throw std::bad_alloc();
            refuse("not a zip archive that can be read: " + why);
        }
        zip_error_fini(error);
    }
};

OraReader::OraReader(const std::string& path) : zip_(std::make_unique<Archive>()) {
    try {
        zip_->file.emplace(path);
    } catch (const FileReadError& e) {
        throw InvalidImage(e.what());
    }
    zip_->source.size = zip_->file->size();
    zip_->source.file = &*zip_->file;
    zip_error_t error;
    zip_error_init(&error);
    zip_->open(zip_source_function_create(fileCommand, &zip_->source, &error), &error);
    check();
}

OraReader::OraReader(const uint8_t* data, size_t size) : zip_(std::make_unique<Archive>()) {
    zip_error_t error;
    zip_error_init(&error);
    zip_->open(zip_source_buffer_create(data, size, 0, &error), &error);
    check();
}

OraReader::~OraReader() = default;

void OraReader::check() {
    zip_t* za = zip_->zip;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, zip_uint64_t(i), 0, &st) != 0) refuse(zip_strerror(za));
        const std::string name = st.name;
        if (st.encryption_method != ZIP_EM_NONE) refuse(name + " is encrypted");
        if (st.comp_method != ZIP_CM_STORE && st.comp_method != ZIP_CM_DEFLATE)
            refuse(name + " is compressed by a method OpenRaster does not use");
        // libzip checked that the compressed data lies within the file (and, with ZIP_CHECKCONS, that no
        // two entries share a name); how much it inflates to is still only what the headers claim.
        if (st.comp_method == ZIP_CM_STORE ? st.size != st.comp_size : st.size / kMaxInflation > st.comp_size)
            refuse(name + " claims " + std::to_string(st.size) + " bytes, more than its " +
                   std::to_string(st.comp_size) + " compressed bytes can hold");
    }
    if (count <= 0 || zip_get_name(za, 0, 0) != std::string(ora::kMimeEntry)) refuse("the first entry is not mimetype");
    if (readFile(ora::kMimeEntry, 64) != ora::kMimeType) refuse("mimetype does not say image/openraster");
    if (!has(ora::kStackEntry)) refuse("the file holds no stack.xml");
    ora::Stack stack = ora::parseStack(readFile(ora::kStackEntry, kMaxStackBytes));
    for (const OraLayerIn& layer : stack.layers)
        if (!has(layer.src)) refuse("layer " + layer.name + " names " + layer.src + ", which the file does not hold");
    width_ = stack.width;
    height_ = stack.height;
    layers_ = std::move(stack.layers);
}

bool OraReader::has(const std::string& entry) const { return zip_name_locate(zip_->zip, entry.c_str(), 0) >= 0; }

std::string OraReader::readFile(const std::string& entry, size_t maxBytes) const {
    Entry e(zip_->zip, entry);
    if (e.size() > maxBytes)
        refuse(entry + " claims " + std::to_string(e.size()) + " bytes, more than the " + std::to_string(maxBytes) +
               " it may have");
    ensureMemoryFor(e.size());
    std::string out;
    // Grown by what arrives, not by what the header claims.
    while (out.size() < e.size()) {
        const size_t at = out.size();
        out.resize(at + size_t(std::min<uint64_t>(kPieceBytes, e.size() - at)));
        out.resize(at + e.piece(reinterpret_cast<uint8_t*>(out.data() + at), out.size() - at));
    }
    e.finish();
    return out;
}

Bitmap OraReader::readRgb(const std::string& src) const {
    Entry e(zip_->zip, src);
    Bitmap b = decodePng(e, e.size(), width_, height_);
    e.finish();
    return b;
}

std::vector<uint8_t> OraReader::readGray8(const std::string& src) const {
    Entry e(zip_->zip, src);
    std::vector<uint8_t> gray = decodeGray8Png(e, e.size(), width_, height_);
    e.finish();
    return gray;
}

Bitmap OraReader::readMerged() const {
    Entry e(zip_->zip, ora::kMergedEntry);
    Bitmap b = decodePng(e, e.size());
    e.finish();
    return b;
}

} // namespace cw
