#include "formats/bmp.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "base/byte_order.hpp"

namespace zarvo {
namespace {

// Pixel rows are moved with whole-word loads and stores.
static_assert(std::endian::native == std::endian::little);

bool fail(std::string* error, const char* text) {
    if (error) *error = text;
    return false;
}

constexpr size_t kFileHeader = 14;

// One colour channel of a masked pixel: (pixel & mask) >> shift >> down indexes a table that
// widens it to 8 bits, so the pixel loop has no branches.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int down = 0;
    std::array<uint8_t, 256> scale{};

    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        shift = std::countr_zero(m);
        int bits = 32 - std::countl_zero(m >> shift);  // span, for masks with holes too
        down = bits > 8 ? bits - 8 : 0;
        uint32_t top = bits >= 8 ? 255 : (1u << bits) - 1;
        for (uint32_t v = 0; v <= top; ++v) scale[v] = uint8_t((v * 255 + top / 2) / top);
    }
    uint32_t operator()(uint32_t px) const { return scale[((px & mask) >> shift) >> down]; }
};

struct Layout {
    BmpInfo info;
    std::array<uint32_t, 256> palette{};  // entries the file lacks stay black
    uint32_t masks[3] = {0, 0, 0};
    const uint8_t* data = nullptr;  // pixel data up to the end of the file (RLE: of the image)
    size_t dataSize = 0;
    size_t stride = 0;
};

bool parse(std::string_view bytes, Layout& L, std::string* error) {
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t size = bytes.size();
    if (size < kFileHeader + 4) return fail(error, "file too short for a BMP header");
    if (b[0] != 'B' || b[1] != 'M') return fail(error, "not a BMP image");
    const uint32_t offBits = readLe32(b + 10);
    const uint32_t hs = readLe32(b + 14);
    if (hs != 12 && hs != 40 && hs != 52 && hs != 56 && hs != 108 && hs != 124)
        return fail(error, "unsupported BMP header size");
    if (size < kFileHeader + hs) return fail(error, "truncated BMP header");
    const uint8_t* h = b + kFileHeader;
    const bool core = hs == 12;

    int64_t width, height;
    uint32_t bpp, comp = kBmpRgb, sizeImage = 0, clrUsed = 0;
    if (core) {
        width = readLe16(h + 4);
        height = readLe16(h + 6);
        bpp = readLe16(h + 10);
    } else {
        width = int32_t(readLe32(h + 4));
        height = int32_t(readLe32(h + 8));
        bpp = readLe16(h + 14);
        comp = readLe32(h + 16);
        sizeImage = readLe32(h + 20);
        clrUsed = readLe32(h + 32);
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;  // 64-bit, so INT32_MIN is safe
    if (width <= 0 || height == 0) return fail(error, "BMP image has no pixels");
    // Larger images are taken for damaged headers; nothing is allocated for them.
    if (!pictureSizeAllowed(width, height)) return fail(error, "BMP image too large");
    if (core ? (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)
             : (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
        return fail(error, "unsupported BMP bit count");
    switch (comp) {
        case kBmpRgb:
            break;
        case kBmpRle8:
            if (bpp != 8) return fail(error, "RLE8 needs 8 bits per pixel");
            break;
        case kBmpRle4:
            if (bpp != 4) return fail(error, "RLE4 needs 4 bits per pixel");
            break;
        case kBmpBitfields:
        case kBmpAlphaBitfields:
            if (bpp != 16 && bpp != 32) return fail(error, "colour masks need 16 or 32 bits");
            break;
        default:
            return fail(error, "unsupported BMP compression");
    }
    const bool rle = comp == kBmpRle8 || comp == kBmpRle4;
    if (rle && topDown) return fail(error, "compressed BMP images must be bottom-up");

    size_t pos = kFileHeader + hs;
    if (comp == kBmpBitfields || comp == kBmpAlphaBitfields) {
        const uint8_t* m = h + 40;  // inside the larger headers
        if (hs == 40) {
            const size_t n = comp == kBmpBitfields ? 12 : 16;
            if (size - pos < n) return fail(error, "truncated BMP colour masks");
            m = b + pos;
            pos += n;
        }
        for (int i = 0; i < 3; ++i) L.masks[i] = readLe32(m + 4 * i);
    } else if (bpp == 16) {
        L.masks[0] = 0x7C00, L.masks[1] = 0x03E0, L.masks[2] = 0x001F;
    } else if (bpp == 32) {
        L.masks[0] = 0xFF0000, L.masks[1] = 0xFF00, L.masks[2] = 0xFF;
    }

    // The colour table follows the headers; images of more than 8 bits may carry one too.
    const size_t entry = core ? 3 : 4;
    uint64_t count = clrUsed;
    // A core header has no count and always carries a full table.
    if (bpp <= 8 && (count == 0 || count > (1u << bpp))) count = 1u << bpp;
    const uint64_t tableEnd = pos + count * entry;
    if (offBits != 0 && offBits < pos)
        return fail(error, "BMP pixel offset points into the headers");
    // Some writers leave the offset 0: the pixels then follow the table.
    const uint64_t dataOffset = offBits != 0 ? offBits : tableEnd;
    if (dataOffset > size) return fail(error, "BMP pixel offset lies outside the file");
    if (bpp <= 8) {
        // Entries that would overlap the pixel data are not part of the table.
        const size_t present = std::min<uint64_t>(count, (dataOffset - pos) / entry);
        for (size_t i = 0; i < present; ++i) {
            const uint8_t* t = b + pos + i * entry;  // blue, green, red [, unused]
            L.palette[i] = uint32_t(t[0]) | uint32_t(t[1]) << 8 | uint32_t(t[2]) << 16;
        }
    }

    L.data = b + dataOffset;
    L.dataSize = size - dataOffset;
    const uint64_t rowBits = uint64_t(width) * bpp;
    L.stride = size_t((rowBits + 31) / 32 * 4);
    if (rle) {
        if (sizeImage != 0 && sizeImage < L.dataSize) L.dataSize = sizeImage;
    } else {
        const uint64_t need = uint64_t(L.stride) * uint64_t(height - 1) + (rowBits + 7) / 8;
        if (L.dataSize < need) return fail(error, "BMP pixel data is truncated");
    }

    L.info.width = int32_t(width);
    L.info.height = int32_t(height);
    L.info.topDown = topDown;
    L.info.headerSize = hs;
    L.info.bitCount = uint16_t(bpp);
    L.info.compression = comp;
    return true;
}

void decodeRows(const Layout& L, Picture& pic) {
    const size_t w = size_t(L.info.width), h = size_t(L.info.height);
    const uint32_t* pal = L.palette.data();
    const Channel cr(L.masks[0]), cg(L.masks[1]), cb(L.masks[2]);
    const bool plain32 = L.masks[0] == 0xFF0000 && L.masks[1] == 0xFF00 && L.masks[2] == 0xFF;
    for (size_t r = 0; r < h; ++r) {
        const uint8_t* __restrict s = L.data + r * L.stride;
        uint32_t* __restrict d = pic.pixels.data() + (L.info.topDown ? r : h - 1 - r) * w;
        switch (L.info.bitCount) {
            case 1:
                for (size_t x = 0; x < w; ++x) d[x] = pal[(s[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                for (size_t x = 0; x < w; ++x) d[x] = pal[(s[x >> 1] >> (x & 1 ? 0 : 4)) & 15];
                break;
            case 8:
                for (size_t x = 0; x < w; ++x) d[x] = pal[s[x]];
                break;
            case 16:
                for (size_t x = 0; x < w; ++x) {
                    const uint32_t px = readLe16(s + 2 * x);
                    d[x] = cr(px) << 16 | cg(px) << 8 | cb(px);
                }
                break;
            case 24: {
                // Four pixels from three whole words, then single pixels; the last pixel may
                // sit at the very end of the file, so it is read by bytes.
                size_t x = 0;
                for (; x + 4 < w; x += 4) {
                    uint32_t v[3];
                    std::memcpy(v, s + 3 * x, 12);
                    d[x] = v[0] & 0xFFFFFF;
                    d[x + 1] = v[0] >> 24 | (v[1] & 0xFFFF) << 8;
                    d[x + 2] = v[1] >> 16 | (v[2] & 0xFF) << 16;
                    d[x + 3] = v[2] >> 8;
                }
                for (; x + 1 < w; ++x) {
                    uint32_t v;
                    std::memcpy(&v, s + 3 * x, 4);
                    d[x] = v & 0xFFFFFF;
                }
                d[x] =
                    uint32_t(s[3 * x]) | uint32_t(s[3 * x + 1]) << 8 | uint32_t(s[3 * x + 2]) << 16;
                break;
            }
            case 32:
                if (plain32) {
                    for (size_t x = 0; x < w; ++x) {
                        uint32_t v;
                        std::memcpy(&v, s + 4 * x, 4);
                        d[x] = v & 0xFFFFFF;
                    }
                } else {
                    for (size_t x = 0; x < w; ++x) {
                        const uint32_t px = readLe32(s + 4 * x);
                        d[x] = cr(px) << 16 | cg(px) << 8 | cb(px);
                    }
                }
                break;
        }
    }
}

// Run-length data: pairs (count, colour) or escapes 0 0 (end of line), 0 1 (end of image),
// 0 2 dx dy (move) and 0 n (n literal pixels, padded to 2 bytes). Rows go bottom-up.
void decodeRle(const Layout& L, Picture& pic) {
    const bool four = L.info.compression == kBmpRle4;
    const size_t w = size_t(L.info.width), h = size_t(L.info.height);
    const uint32_t* pal = L.palette.data();
    const uint8_t* p = L.data;
    const uint8_t* const end = L.data + L.dataSize;
    size_t x = 0, y = 0;
    while (end - p >= 2 && y < h) {
        const uint8_t n = p[0], c = p[1];
        p += 2;
        uint32_t* row = pic.pixels.data() + (h - 1 - y) * w;
        if (n != 0) {
            // Pixels past the row's end are dropped, not written into the next row.
            const size_t inRow = x < w ? std::min<size_t>(n, w - x) : 0;
            if (four) {
                const uint32_t even = pal[c >> 4], odd = pal[c & 15];
                for (size_t i = 0; i < inRow; ++i) row[x + i] = i & 1 ? odd : even;
            } else {
                std::fill_n(row + x, inRow, pal[c]);
            }
            x += n;
        } else if (c == 0) {
            x = 0;
            ++y;
        } else if (c == 1) {
            break;
        } else if (c == 2) {
            if (end - p < 2) break;
            x += p[0];
            y += p[1];
            p += 2;
        } else {
            const size_t bytes = four ? (c + 1u) / 2 : c;
            const size_t have = std::min<size_t>(bytes, size_t(end - p));
            const size_t pixels = std::min<size_t>(four ? have * 2 : have, c);
            const size_t inRow = x < w ? std::min(pixels, w - x) : 0;
            for (size_t i = 0; i < inRow; ++i)
                row[x + i] = pal[four ? (p[i >> 1] >> (i & 1 ? 0 : 4)) & 15 : p[i]];
            if (have < bytes) break;
            p += std::min<size_t>((bytes + 1) & ~size_t(1), size_t(end - p));
            x += c;
        }
    }
}

}  // namespace

bool readBmpInfo(std::string_view bytes, BmpInfo& info, std::string* error) {
    Layout L;
    if (!parse(bytes, L, error)) return false;
    info = L.info;
    return true;
}

uint64_t bmpSizeLimit(std::string_view head) {
    const auto* b = reinterpret_cast<const uint8_t*>(head.data());
    if (head.size() < kFileHeader + 12 || b[0] != 'B' || b[1] != 'M') return UINT64_MAX;
    const uint32_t hs = readLe32(b + 14);
    const bool core = hs == 12;
    if ((!core && hs < 40) || head.size() < kFileHeader + (core ? 12 : 40)) return UINT64_MAX;
    const uint8_t* h = b + kFileHeader;
    int64_t width = core ? readLe16(h + 4) : int32_t(readLe32(h + 4));
    int64_t height = core ? readLe16(h + 6) : int32_t(readLe32(h + 8));
    const uint64_t bpp = core ? readLe16(h + 10) : readLe16(h + 14);
    const uint32_t comp = core ? kBmpRgb : readLe32(h + 16);
    if (height < 0) height = -height;
    if (!pictureSizeAllowed(width, height) || bpp > 32) return UINT64_MAX;
    // Headers, colour masks and a full colour table, or up to the pixel offset.
    const uint64_t headers =
        std::max<uint64_t>(readLe32(b + 10), kFileHeader + uint64_t(hs) + 16 + 4 * 256);
    // Run-length data takes at most two bytes a pixel and an end of line a row; twice that
    // leaves room for writers that move or pad.
    const uint64_t pixels = comp == kBmpRle8 || comp == kBmpRle4
                                ? 4 * (uint64_t(width) + 2) * uint64_t(height) + 16
                                : (uint64_t(width) * bpp + 31) / 32 * 4 * uint64_t(height);
    return headers + pixels;
}

bool decodeBmp(std::string_view bytes, Picture& out, std::string* error) {
    Layout L;
    if (!parse(bytes, L, error)) return false;
    const size_t count = size_t(L.info.width) * size_t(L.info.height);
    // The only allocation: when it fails, the caller's picture is left as it was. Nothing fails
    // past it, so the caller's buffer is reused when it is large enough.
    try {
        if (out.pixels.capacity() < count) {
            std::vector<uint32_t> fresh;
            fresh.reserve(count);
            out.pixels.swap(fresh);
        }
    } catch (const std::bad_alloc&) {
        return fail(error, "not enough memory for the BMP image");
    }
    const bool rle = L.info.compression == kBmpRle8 || L.info.compression == kBmpRle4;
    // Pixels the runs skip keep colour index 0, as in a Windows bitmap.
    if (rle)
        out.pixels.assign(count, L.palette[0]);
    else
        out.pixels.resize(count);  // every pixel is written
    out.width = L.info.width;
    out.height = L.info.height;
    if (rle)
        decodeRle(L, out);
    else
        decodeRows(L, out);
    return true;
}

std::string encodeBmp(const Picture& picture) {
    const int64_t w = picture.width, h = picture.height;
    if (!pictureSizeAllowed(w, h) || picture.pixels.size() != size_t(w * h)) return {};
    const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
    const size_t headers = kFileHeader + 40;
    const size_t dataSize = stride * size_t(h);
    std::string file(headers + dataSize, '\0');
    auto* b = reinterpret_cast<uint8_t*>(file.data());
    b[0] = 'B';
    b[1] = 'M';
    writeLe32(b + 2, uint32_t(file.size()));
    writeLe32(b + 10, uint32_t(headers));
    uint8_t* i = b + kFileHeader;
    writeLe32(i, 40);
    writeLe32(i + 4, uint32_t(w));
    writeLe32(i + 8, uint32_t(h));
    writeLe16(i + 12, 1);
    writeLe16(i + 14, 24);
    writeLe32(i + 20, uint32_t(dataSize));
    for (size_t r = 0; r < size_t(h); ++r) {
        const uint32_t* __restrict s = picture.pixels.data() + (size_t(h) - 1 - r) * size_t(w);
        uint8_t* __restrict d = b + headers + r * stride;
        // Overlapping 4-byte stores; the last pixel's fourth byte would pass the row's end when
        // there is no padding, so it is written by bytes.
        size_t x = 0;
        for (; x + 1 < size_t(w); ++x) std::memcpy(d + 3 * x, &s[x], 4);
        d[3 * x] = uint8_t(s[x]);
        d[3 * x + 1] = uint8_t(s[x] >> 8);
        d[3 * x + 2] = uint8_t(s[x] >> 16);
    }
    return file;
}

}  // namespace zarvo
