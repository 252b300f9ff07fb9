// PNG reading and writing through libpng.
//
// libpng reports a damaged file by calling an error function that must not return; ours jumps
// back with longjmp to the one function that called setjmp. Those functions hold no C++ object
// that needs destroying, and whatever they fill in lives in a session record of their caller,
// so a jump leaks nothing. Callbacks called from inside libpng never let an exception through.
//
// A picture is decoded into buffers of its own and handed over only when the whole file was
// read: a damaged or refused file leaves the caller's picture exactly as it was.
#include "formats/png.hpp"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "base/limits.hpp"

namespace zarvo {
namespace {

constexpr size_t kSignatureSize = 8;

[[noreturn]] void onPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void onPngWarning(png_structp, png_const_charp) {}

// The bytes libpng reads from: exactly n bytes, or an error.
struct MemorySource {
    std::string_view bytes;
    size_t pos = 0;
};

void readCallback(png_structp png, png_bytep data, size_t n) {
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (n > source->bytes.size() - source->pos) png_error(png, "unexpected end of data");
    std::memcpy(data, source->bytes.data() + source->pos, n);
    source->pos += n;
}

struct PngReadSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    MemorySource source;
    Picture out;
    std::vector<png_bytep> rows;
    bool tooLarge = false;  // set before an error for a picture past the size limits

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
    png_set_read_fn(png, &s->source, readCallback);
    png_set_sig_bytes(png, static_cast<int>(kSignatureSize));
    // Larger pictures are refused before anything is allocated for them.
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_read_info(png, info);

    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if (!pictureSizeAllowed(w, h)) {
        s->tooLarge = w != 0 && h != 0;
        png_error(png, "picture too large");
    }
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
    s->out.alphaMode = mode;
}

// The size the header declares is over the limits (which libpng reports as any other error).
bool headerTooLarge(std::string_view bytes) {
    if (bytes.size() < 24 || bytes.substr(12, 4) != "IHDR") return false;
    auto be32 = [&](size_t at) {
        uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
        return v;
    };
    const uint64_t w = be32(16), h = be32(20);
    return w != 0 && h != 0 && !pictureSizeAllowed(int64_t(w), int64_t(h));
}

bool readUnderGuard(PngReadSession* s) {
    if (setjmp(png_jmpbuf(s->png))) return false;
    readSteps(s);
    return true;
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

void writeSteps(PngWriteSession* s, const PictureView& picture) {
    png_structp png = s->png;
    const uint32_t* pixels = picture.pixels;
    const uint8_t* mask = picture.mask;
    const int32_t width = picture.width, height = picture.height;
    png_set_write_fn(png, &s->bytes, writeCallback, flushCallback);
    png_set_IHDR(png, s->info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 mask ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
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

bool writeUnderGuard(PngWriteSession* s, const PictureView& picture) {
    if (setjmp(png_jmpbuf(s->png))) return false;
    writeSteps(s, picture);
    return true;
}

}  // namespace

PngError decodePng(std::string_view bytes, Picture& result) {
    if (bytes.size() < kSignatureSize ||
        png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, kSignatureSize) != 0)
        return PngError::NotPng;
    try {
        PngReadSession session;
        if (!session.png || !session.info) return PngError::OutOfMemory;
        session.source = MemorySource{bytes, kSignatureSize};
        if (!readUnderGuard(&session))
            return session.tooLarge || headerTooLarge(bytes) ? PngError::TooLarge
                                                             : PngError::Damaged;
        Picture& out = session.out;
        // The fourth byte is not part of the colour: move it into the mask (or drop the filler).
        if (out.alphaMode != AlphaMode::None) {
            out.mask.resize(out.pixels.size());
            for (size_t i = 0; i < out.pixels.size(); ++i) {
                out.mask[i] = static_cast<uint8_t>(out.pixels[i] >> 24);
                out.pixels[i] &= 0xFFFFFFu;
            }
        }
        result = std::move(out);
        return PngError::None;
    } catch (const std::bad_alloc&) {
        return PngError::OutOfMemory;
    } catch (const std::length_error&) {
        return PngError::OutOfMemory;
    }
}

bool encodePng(const PictureView& picture, std::string& bytes) {
    if (picture.width <= 0 || picture.height <= 0 || !picture.pixels) return false;
    try {
        PngWriteSession session;
        if (!session.png || !session.info) return false;
        if (!writeUnderGuard(&session, picture)) return false;
        bytes = std::move(session.bytes);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace zarvo
