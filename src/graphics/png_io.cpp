// PNG reading and writing through libpng.
//
// libpng reports a damaged file by calling an error function that must not return; ours jumps
// back with longjmp to the one function that called setjmp. Those functions hold no C++ object
// that needs destroying, and whatever they fill in lives in a session record of their caller,
// so a jump leaks nothing. Callbacks called from inside libpng never let an exception through.
//
// A picture is decoded into buffers of its own and replaces the surface only when the whole
// file was read: a damaged or refused file leaves the surface exactly as it was.
#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "base/text.hpp"
#include "archive/package.hpp"
#include "graphics/surface.hpp"
#include "backends/posix/local_file_system.hpp"

namespace zarvo {
namespace {

// Larger pictures are refused before anything is allocated for them.
constexpr uint32_t kMaxPngSide = 16384;
constexpr uint64_t kMaxPngPixels = uint64_t{256} << 20;
constexpr size_t kSignatureSize = 8;

[[noreturn]] void onPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onPngWarning(png_structp, png_const_charp) {}

// Where the PNG bytes come from: exactly n bytes, or false.
class PngSource {
public:
    virtual ~PngSource() = default;
    virtual bool read(uint8_t* data, size_t n) = 0;
};

class MemorySource final : public PngSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    bool read(uint8_t* data, size_t n) override {
        if (n > bytes_.size() - pos_) return false;
        std::memcpy(data, bytes_.data() + pos_, n);
        pos_ += n;
        return true;
    }

private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

class FileSource final : public PngSource {
public:
    explicit FileSource(const std::string& path) {
        // Non-blocking open and a regular-file test, so a pipe or device named *.png cannot
        // hang the player.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return;
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !(file_ = ::fdopen(fd, "rb")))
            ::close(fd);
    }
    ~FileSource() override {
        if (file_) std::fclose(file_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool isOpen() const { return file_ != nullptr; }
    bool read(uint8_t* data, size_t n) override {
        return file_ && std::fread(data, 1, n, file_) == n;
    }

private:
    FILE* file_ = nullptr;
};

class PackageSource final : public PngSource {
public:
    explicit PackageSource(PackageReader& reader) : reader_(reader) {}
    bool read(uint8_t* data, size_t n) override {
        try {
            return readEntry(data, 1, n, reader_) == n;
        } catch (...) {
            return false;
        }
    }

private:
    PackageReader& reader_;
};

void readCallback(png_structp png, png_bytep data, size_t n) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (!source->read(data, n)) png_error(png, "unexpected end of data");
}

struct DecodedPng {
    int32_t width = 0, height = 0;
    AlphaMode mode = AlphaMode::None;
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> mask;
};

struct PngReadSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngSource* source = nullptr;
    DecodedPng out;
    std::vector<png_bytep> rows;

    PngReadSession() {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
        if (png) info = png_create_info_struct(png);
    }
    ~PngReadSession() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
    PngReadSession(const PngReadSession&) = delete;
    PngReadSession& operator=(const PngReadSession&) = delete;
};

// Everything libpng does while reading, after the signature. Runs under the jump target set by
// readUnderGuard; keeps its results in the session only.
void readSteps(PngReadSession* s) {
    png_structp png = s->png;
    png_infop info = s->info;
    png_set_read_fn(png, s->source, readCallback);
    png_set_sig_bytes(png, static_cast<int>(kSignatureSize));
    png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
    png_read_info(png, info);

    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if (w == 0 || h == 0 || w > kMaxPngSide || h > kMaxPngSide ||
        uint64_t{w} * h > kMaxPngPixels)
        png_error(png, "picture too large");
    const int depth = png_get_bit_depth(png, info), type = png_get_color_type(png, info);

    // Every colour type and depth ends as 8-bit blue, green, red and a fourth byte: alpha when
    // the picture has transparency, else a filler.
    AlphaMode mode = AlphaMode::None;
    if (depth == 16) png_set_strip_16(png);
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(png);
        mode = AlphaMode::Mask;
    }
    if (type & PNG_COLOR_MASK_ALPHA) mode = AlphaMode::Alpha;
    if (!(type & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (mode == AlphaMode::None) png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t{w} * 4 || png_get_bit_depth(png, info) != 8 ||
        png_get_channels(png, info) != 4)
        png_error(png, "unexpected row layout");

    s->out.pixels.resize(size_t{w} * h);
    s->rows.resize(h);
    for (size_t y = 0; y < h; ++y)
        s->rows[y] = reinterpret_cast<png_bytep>(s->out.pixels.data() + y * w);
    png_read_image(png, s->rows.data());
    png_read_end(png, nullptr);
    s->out.width = static_cast<int32_t>(w);
    s->out.height = static_cast<int32_t>(h);
    s->out.mode = mode;
}

bool readUnderGuard(PngReadSession* s) {
    if (setjmp(png_jmpbuf(s->png))) return false;
    readSteps(s);
    return true;
}

// Decodes a whole PNG from the source; false when it is not a PNG or is damaged.
bool decodePng(PngSource& source, DecodedPng& result) {
    uint8_t signature[kSignatureSize];
    if (!source.read(signature, kSignatureSize) || png_sig_cmp(signature, 0, kSignatureSize) != 0)
        return false;
    try {
        PngReadSession session;
        if (!session.png || !session.info) return false;
        session.source = &source;
        if (!readUnderGuard(&session)) return false;
        DecodedPng& out = session.out;
        // The fourth byte is not part of the colour: move it into the mask (or drop the filler).
        if (out.mode != AlphaMode::None) {
            out.mask.resize(out.pixels.size());
            for (size_t i = 0; i < out.pixels.size(); ++i) {
                out.mask[i] = static_cast<uint8_t>(out.pixels[i] >> 24);
                out.pixels[i] &= 0xFFFFFFu;
            }
        }
        result = std::move(out);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

void writeCallback(png_structp png, png_bytep data, size_t n) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    bool stored = true;
    try {
        out->append(reinterpret_cast<const char*>(data), n);
    } catch (...) {
        stored = false;
    }
    if (!stored) png_error(png, "out of memory");
}
void flushCallback(png_structp) {}

struct PngWriteSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::string bytes;

    PngWriteSession() {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
        if (png) info = png_create_info_struct(png);
    }
    ~PngWriteSession() {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    }
    PngWriteSession(const PngWriteSession&) = delete;
    PngWriteSession& operator=(const PngWriteSession&) = delete;
};

void writeSteps(PngWriteSession* s, const uint32_t* pixels, const uint8_t* mask, int32_t width,
                int32_t height) {
    png_structp png = s->png;
    png_set_write_fn(png, &s->bytes, writeCallback, flushCallback);
    png_set_IHDR(png, s->info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 8, mask ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, s->info);
    // Screenshots are written while the player waits: about 3.5 times faster than the default
    // settings for a file some 15% larger.
    png_set_compression_level(png, 3);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    // Rows are 0x00RRGGBB words: blue first in memory, and a fourth byte to leave out.
    png_set_bgr(png);
    if (!mask) {
        png_set_filler(png, 0, PNG_FILLER_AFTER);
        for (int32_t y = 0; y < height; ++y)
            png_write_row(png, reinterpret_cast<png_const_bytep>(pixels + size_t(y) * width));
    } else {
        // The mask becomes the alpha channel: the fourth byte of each pixel.
        std::vector<uint32_t> row(static_cast<size_t>(width));
        for (int32_t y = 0; y < height; ++y) {
            const uint32_t* p = pixels + size_t(y) * width;
            const uint8_t* m = mask + size_t(y) * width;
            for (int32_t x = 0; x < width; ++x)
                row[size_t(x)] = (p[x] & 0xFFFFFFu) | (uint32_t(m[x]) << 24);
            png_write_row(png, reinterpret_cast<png_const_bytep>(row.data()));
        }
    }
    png_write_end(png, nullptr);
}

bool writeUnderGuard(PngWriteSession* s, const uint32_t* pixels, const uint8_t* mask,
                     int32_t width, int32_t height) {
    if (setjmp(png_jmpbuf(s->png))) return false;
    writeSteps(s, pixels, mask, width, height);
    return true;
}

bool hasPngExtension(const std::string& path) {
    return path.size() >= 4 && sameText(std::string_view(path).substr(path.size() - 4), ".png");
}

}  // namespace

bool Surface::loadPngFile(const std::string& path) {
    if (!hasPngExtension(path)) return false;
    FileSource source(path);
    DecodedPng png;
    if (!source.isOpen() || !decodePng(source, png)) return false;
    adoptPicture(png.width, png.height, std::move(png.pixels), std::move(png.mask), png.mode);
    return true;
}

bool Surface::loadPngFromPackage(std::string_view entryName, PackageReader& package) {
    if (!selectEntryByName(package, entryName)) return false;
    PackageSource source(package);
    DecodedPng png;
    if (!decodePng(source, png)) return false;
    adoptPicture(png.width, png.height, std::move(png.pixels), std::move(png.mask), png.mode);
    return true;
}

bool Surface::loadPngFromMemory(std::string_view bytes) {
    MemorySource source(bytes);
    DecodedPng png;
    if (!decodePng(source, png)) return false;
    adoptPicture(png.width, png.height, std::move(png.pixels), std::move(png.mask), png.mode);
    return true;
}

void Surface::adoptPicture(int32_t width, int32_t height, std::vector<uint32_t>&& pixels,
                               std::vector<uint8_t>&& mask, AlphaMode mode) {
    width_ = width;
    height_ = height;
    picture_ = std::move(pixels);
    mask_ = std::move(mask);
    alphaMode_ = mode;
}

bool Surface::savePngFile(const std::string& path) const {
    if (width_ <= 0 || height_ <= 0) return false;
    try {
        PngWriteSession session;
        if (!session.png || !session.info) return false;
        const uint8_t* mask = hasMask() ? mask_.data() : nullptr;
        if (!writeUnderGuard(&session, picture_.data(), mask, width_, height_)) return false;
        platform::LocalFileSystem files;
        return files.writeFile(path, session.bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace zarvo
