#include "formats/mag_decoder.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "base/byte_order.hpp"
#include "formats/bmp.hpp"

namespace zarvo {
namespace {

bool fail(std::string* error, const char* text) {
    if (error) *error = text;
    return false;
}

constexpr char kSignature[] = "MAKI02  ";
constexpr size_t kHeaderSize = 32;
constexpr size_t kBmpHeaders = 54;

// Where a flag nibble copies its unit from: bytes to the left and lines up.
constexpr uint8_t kDx[16] = {0, 2, 4, 8, 0, 2, 0, 2, 4, 0, 2, 4, 0, 2, 4, 0};
constexpr uint8_t kDy[16] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16};

// Stands in for a stream that has ended, where nothing more may be taken from it.
constexpr uint8_t kNoBytes[2] = {0, 0};

const uint8_t* bytesOf(std::string_view s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

// Walks the flag and pixel streams unit by unit (units counted from the top line, left to
// right) and has the sink store unit u: the two bytes at `pixels` when `fresh`, else a copy of
// unit `from` (which is u itself when fresh). Returns null or the reason for stopping.
template <class Sink>
const char* expand(const uint8_t* file, const MagLayout& L, Sink& sink) {
    const uint64_t unitsPerLine = L.stride / 2;
    const uint32_t flagsPerLine = L.stride / 4;
    uint64_t dist[16];
    for (int n = 0; n < 16; ++n) dist[n] = kDy[n] * unitsPerLine + kDx[n] / 2;

    std::vector<uint8_t> flags(flagsPerLine, 0);
    // The header check made sure the file holds every flag A bit of the picture.
    const uint8_t* flagA = file + L.flagAPos;
    const uint8_t* flagB = file + L.flagBPos;
    const uint8_t* const flagBEnd = flagB + L.flagBSize;
    const uint8_t* pix = file + L.pixelPos;
    const uint8_t* const pixEnd = pix + L.pixelSize;

    uint64_t farthest = 0;
    for (uint64_t d : dist) farthest = std::max(farthest, d);

    // New and copied units, and flag bytes with and without a flag B byte, are mixed at
    // random in real pictures: both sides are worked out and one is kept by a mask, instead
    // of branches the processor cannot predict. Only the checks for damage branch, and a line
    // that cannot run out of data or reach before the first line skips them.
    uint8_t aByte = 0, aMask = 0;
    uint64_t u = 0;
    auto line = [&](auto checked) -> const char* {
        for (uint32_t k = 0; k < flagsPerLine; ++k, u += 2) {
            if (!aMask) {
                aByte = *flagA++;
                aMask = 0x80;
            }
            const bool changed = (aByte & aMask) != 0;
            aMask >>= 1;
            const bool haveB = !checked || flagB != flagBEnd;
            if (checked && (changed & !haveB)) return "MAG flag B data runs past its size";
            flags[k] ^= (haveB ? *flagB : 0) & uint8_t(-int(changed));
            flagB += uint32_t(changed);
            const uint8_t f = flags[k];
            for (uint32_t half = 0; half < 2; ++half) {
                const uint8_t nib = half ? f & 15 : f >> 4;
                const uint64_t at = u + half;
                if (checked && dist[nib] > at) return "MAG copy reaches before the first line";
                const bool fresh = nib == 0;
                const bool have = !checked || pixEnd - pix >= 2;
                if (checked && (fresh & !have)) return "MAG pixel data runs past its size";
                sink.unit(at, at - dist[nib], have ? pix : kNoBytes, fresh);
                pix += 2 * uint32_t(fresh);
            }
        }
        return nullptr;
    };
    for (int32_t y = 0; y < L.height; ++y) {
        const bool safe = u >= farthest && uint64_t(pixEnd - pix) >= 4 * uint64_t(flagsPerLine) &&
                          uint64_t(flagBEnd - flagB) >= flagsPerLine;
        const char* why = safe ? line(std::false_type{}) : line(std::true_type{});
        if (why) return why;
    }
    return nullptr;
}

// Palette indices, two bytes a unit, top line first.
struct ByteSink {
    uint8_t* out;
    void unit(uint64_t u, uint64_t from, const uint8_t* pixels, bool fresh) {
        uint16_t copied, added;
        std::memcpy(&copied, out + 2 * from, 2);
        std::memcpy(&added, pixels, 2);
        const uint16_t keep = uint16_t(-int(fresh));
        const uint16_t v = uint16_t(copied ^ ((copied ^ added) & keep));
        std::memcpy(out + 2 * u, &v, 2);
    }
};

// Colours straight into the picture: a unit is two pixels of 256 colours.
struct Pixel256Sink {
    uint32_t* out;
    const uint32_t* palette;
    void unit(uint64_t u, uint64_t from, const uint8_t* pixels, bool fresh) {
        uint64_t copied;
        std::memcpy(&copied, out + 2 * from, 8);
        const uint64_t added = palette[pixels[0]] | uint64_t(palette[pixels[1]]) << 32;
        const uint64_t v = copied ^ ((copied ^ added) & -uint64_t(fresh));
        std::memcpy(out + 2 * u, &v, 8);
    }
};

// ... or four pixels of 16 colours, high nibble first.
struct Pixel16Sink {
    uint32_t* out;
    const uint32_t* palette;
    void unit(uint64_t u, uint64_t from, const uint8_t* pixels, bool fresh) {
        uint64_t copied[2];
        std::memcpy(copied, out + 4 * from, 16);
        const uint64_t added[2] = {
            palette[pixels[0] >> 4] | uint64_t(palette[pixels[0] & 15]) << 32,
            palette[pixels[1] >> 4] | uint64_t(palette[pixels[1] & 15]) << 32};
        const uint64_t keep = -uint64_t(fresh);
        const uint64_t v[2] = {copied[0] ^ ((copied[0] ^ added[0]) & keep),
                               copied[1] ^ ((copied[1] ^ added[1]) & keep)};
        std::memcpy(out + 4 * u, v, 16);
    }
};

// The palette follows the header as green, red, blue; false when the file is too short.
bool readPalette(std::string_view bytes, const MagLayout& L, uint8_t (*rgb)[3]) {
    const uint64_t start = uint64_t(L.headerPos) + kHeaderSize;
    if (bytes.size() < start + 3 * L.paletteEntries()) return false;
    const uint8_t* p = bytesOf(bytes) + start;
    for (uint32_t i = 0; i < L.paletteEntries(); ++i, p += 3) {
        rgb[i][0] = p[1];
        rgb[i][1] = p[0];
        rgb[i][2] = p[2];
    }
    return true;
}

const char* checkText(MagCheck check) {
    switch (check) {
        case kMagIncomplete:
            return "MAG data reaches past the end of the file";
        case kMagNoTextEnd:
            return "MAG text part has no end";
        case kMagNotMag:
            return "not a MAG picture";
        case kMagBadHeader:
            return "bad MAG header";
        default:
            return "";
    }
}

}  // namespace

MagCheck checkMagHeader(std::string_view bytes, MagLayout& L) {
    const uint8_t* b = bytesOf(bytes);
    const size_t size = bytes.size();
    const void* end = size ? std::memchr(b, 0x1A, size) : nullptr;
    if (!end) return kMagNoTextEnd;
    const uint64_t h = uint64_t(static_cast<const uint8_t*>(end) - b) + 1;
    if (size < h + kHeaderSize) return kMagNoTextEnd;
    if (std::memcmp(b, kSignature, 8) != 0) return kMagNotMag;

    const uint8_t* H = b + h;
    L = MagLayout{};
    L.headerPos = uint32_t(h);
    L.colors256 = (H[3] & 0x80) != 0;
    const uint32_t sx = readLe16(H + 4), sy = readLe16(H + 6), ex = readLe16(H + 8),
                   ey = readLe16(H + 10);
    // Reversed corners would wrap the sizes around to nonsense.
    if (H[0] != 0 || sx > ex || sy > ey) return kMagBadHeader;
    const uint32_t g = L.colors256 ? 4 : 8;
    const uint32_t left = g * (sx / g);
    const uint32_t right = g * (ex / g + 1) - 1;
    L.left = int32_t(left);
    L.top = int32_t(sy);
    L.width = int32_t(right - left + 1);
    L.height = int32_t(ey - sy + 1);
    if (!pictureSizeAllowed(L.width, L.height)) return kMagBadHeader;
    L.stride = L.colors256 ? uint32_t(L.width) : uint32_t(L.width) / 2;
    L.flagAPos = h + readLe32(H + 12);
    L.flagBPos = h + readLe32(H + 16);
    L.flagBSize = readLe32(H + 20);
    L.pixelPos = h + readLe32(H + 24);
    L.pixelSize = readLe32(H + 28);

    // Flag A is one bit per flag byte, running on from line to line.
    const uint64_t flagABytes = (uint64_t(L.height) * (L.stride / 4) + 7) / 8;
    if (size < L.flagAPos + flagABytes) return kMagIncomplete;
    if (size < L.flagBPos + L.flagBSize || size < L.pixelPos + L.pixelSize) return kMagIncomplete;
    return kMagGood;
}

namespace {

bool decodeMagPicture(std::string_view bytes, Picture& out, std::string* error) {
    MagLayout L;
    const MagCheck check = checkMagHeader(bytes, L);
    if (check != kMagGood) return fail(error, checkText(check));
    uint8_t rgb[256][3];
    if (!readPalette(bytes, L, rgb))
        return fail(error, "MAG palette reaches past the end of the file");
    uint32_t palette[256];
    for (uint32_t i = 0; i < L.paletteEntries(); ++i)
        palette[i] = uint32_t(rgb[i][0]) << 16 | uint32_t(rgb[i][1]) << 8 | rgb[i][2];

    Picture pic;
    pic.width = L.width;
    pic.height = L.height;
    pic.pixels.resize(size_t(L.width) * size_t(L.height));
    const char* why;
    if (L.colors256) {
        Pixel256Sink sink{pic.pixels.data(), palette};
        why = expand(bytesOf(bytes), L, sink);
    } else {
        Pixel16Sink sink{pic.pixels.data(), palette};
        why = expand(bytesOf(bytes), L, sink);
    }
    if (why) return fail(error, why);
    out = std::move(pic);
    return true;
}

int decodeMagToBmp(std::string_view bytes, std::string& out) {
    MagLayout L;
    if (checkMagHeader(bytes, L) != kMagGood) return -1;
    uint8_t rgb[256][3];
    if (!readPalette(bytes, L, rgb)) return -1;
    const size_t rows = size_t(L.stride) * size_t(L.height);
    std::vector<uint8_t> topDown(rows);
    ByteSink sink{topDown.data()};
    if (expand(bytesOf(bytes), L, sink)) return -1;

    const uint32_t paletteBytes = 4 * L.paletteEntries();
    out.assign(kBmpHeaders + paletteBytes + rows, '\0');
    auto* o = reinterpret_cast<uint8_t*>(out.data());
    o[0] = 'B';
    o[1] = 'M';
    writeLe32(o + 2, uint32_t(out.size()));
    writeLe32(o + 10, uint32_t(kBmpHeaders + paletteBytes));
    writeLe32(o + 14, 40);
    writeLe32(o + 18, uint32_t(L.width));
    writeLe32(o + 22, uint32_t(L.height));
    writeLe16(o + 26, 1);
    writeLe16(o + 28, L.colors256 ? 8 : 4);
    uint8_t* p = o + kBmpHeaders;
    for (uint32_t i = 0; i < L.paletteEntries(); ++i, p += 4) {
        p[0] = rgb[i][2];
        p[1] = rgb[i][1];
        p[2] = rgb[i][0];
    }
    for (int32_t y = 0; y < L.height; ++y)
        std::memcpy(p + size_t(L.height - 1 - y) * L.stride, topDown.data() + size_t(y) * L.stride,
                    L.stride);
    return 0;
}

}  // namespace

bool decodeMag(std::string_view bytes, Picture& out, std::string* error) {
    try {
        return decodeMagPicture(bytes, out, error);
    } catch (const std::bad_alloc&) {
        return fail(error, "not enough memory for the MAG picture");
    }
}

int MagDecoder::magToBmp(std::string_view bytes, std::string& out) {
    try {
        return decodeMagToBmp(bytes, out);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

uint32_t MagDecoder::bitmapSize(std::string_view bytes) {
    MagLayout L;
    const MagCheck check = checkMagHeader(bytes, L);
    if (check != kMagGood && check != kMagIncomplete) return 0;
    return uint32_t(kBmpHeaders + 4 * L.paletteEntries() + uint64_t(L.stride) * L.height);
}

MagLoad MagDecoder::loadMagBytes(std::string_view bytes, Picture& out) {
    if (bitmapSize(bytes) == 0) return MagLoad::NotMag;
    return decodeMag(bytes, out) ? MagLoad::Loaded : MagLoad::Damaged;
}

}  // namespace zarvo
