// A MAG writer for tests and benchmarks: it makes pictures the decoder must reproduce exactly.
// Every unit that equals one at a copy position (counted through line ends, as the decoder
// does) becomes a copy; flag lines are stored as their difference to the line above.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zarvo::test {

struct MagImage {
    bool colors256 = true;
    // The whole area in units: width a multiple of 4 (256 colours) or 8 (16 colours).
    int32_t width = 0, height = 0;
    std::vector<uint8_t> indices;   // width * height palette indices, top row first
    std::vector<uint32_t> palette;  // 16 or 256 colours 0x00RRGGBB
    // Header corners; endX < 0 means the last column of the area.
    uint16_t startX = 0, startY = 0;
    int32_t endX = -1;
    std::string comment = "zarvo test picture";
    bool useCopies = true;
    // Non-zero: each unit starts its search for a copy at a different position (seeded), so
    // that every kind of copy gets used, not just the nearest.
    uint32_t copySeed = 0;
    size_t flagAPadding = 0;  // extra bytes after flag A, as some writers leave
};

struct MagEncoded {
    std::string bytes;
    size_t headerPos = 0;  // the header's first byte; offsets below are absolute
    size_t flagAPos = 0, flagBPos = 0, flagBSize = 0, pixelPos = 0, pixelSize = 0;
    size_t copies = 0;  // units written as copies
    bool usedNibble[16] = {};
};

inline void magPut16(std::string& s, uint32_t v) {
    s += char(v & 255);
    s += char(v >> 8 & 255);
}
inline void magPut32(std::string& s, uint32_t v) {
    magPut16(s, v & 0xFFFF);
    magPut16(s, v >> 16);
}
inline void magSet32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char(v >> 8 * i & 255);
}

inline MagEncoded encodeMag(const MagImage& img) {
    static constexpr uint8_t dx[16] = {0, 2, 4, 8, 0, 2, 0, 2, 4, 0, 2, 4, 0, 2, 4, 0};
    static constexpr uint8_t dy[16] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16};
    const int32_t g = img.colors256 ? 4 : 8;
    const size_t stride = img.colors256 ? size_t(img.width) : size_t(img.width) / 2;
    const size_t upl = stride / 2, fpl = stride / 4;
    const size_t units = upl * size_t(img.height);

    std::vector<uint16_t> unit(units);
    for (size_t u = 0; u < units; ++u) {
        const uint8_t* p = img.indices.data() + u * (img.colors256 ? 2 : 4);
        unit[u] = img.colors256 ? uint16_t(p[0] | p[1] << 8)
                                : uint16_t((p[0] << 4 | p[1]) | (p[2] << 4 | p[3]) << 8);
    }
    MagEncoded out;
    std::vector<uint8_t> nibble(units, 0);
    uint32_t seed = img.copySeed;
    if (img.useCopies)
        for (size_t u = 0; u < units; ++u) {
            seed = seed * 1103515245u + 12345u;
            const int first = img.copySeed ? int(seed >> 16) % 15 : 0;
            for (int i = 0; i < 15; ++i) {
                const int n = 1 + (first + i) % 15;
                const size_t d = dy[n] * upl + dx[n] / 2;
                if (u >= d && unit[u - d] == unit[u]) {
                    nibble[u] = uint8_t(n);
                    out.usedNibble[n] = true;
                    ++out.copies;
                    break;
                }
            }
        }

    std::string flagA((units / 2 + 7) / 8 + img.flagAPadding, '\0'), flagB, pixels;
    std::vector<uint8_t> above(fpl, 0);
    size_t bit = 0;
    for (int32_t y = 0; y < img.height; ++y)
        for (size_t k = 0; k < fpl; ++k, ++bit) {
            const size_t u = size_t(y) * upl + 2 * k;
            const uint8_t f = uint8_t(nibble[u] << 4 | nibble[u + 1]);
            if (const uint8_t diff = f ^ above[k]) {
                flagA[bit / 8] = char(flagA[bit / 8] | 0x80 >> bit % 8);
                flagB += char(diff);
            }
            above[k] = f;
            for (size_t v : {u, u + 1})
                if (!nibble[v]) magPut16(pixels, unit[v]);
        }

    std::string& s = out.bytes;
    s = "MAKI02  ";
    s += "TEST";
    s += std::string("zarvo test writer  ").substr(0, 19);
    s += img.comment;
    s += char(0x1A);
    out.headerPos = s.size();
    const uint16_t left = uint16_t(g * (img.startX / g));
    s += char(0);
    s += char(0);
    s += char(0);
    s += char(img.colors256 ? 0x80 : 0);
    magPut16(s, img.startX);
    magPut16(s, img.startY);
    magPut16(s, uint32_t(img.endX >= 0 ? img.endX : left + img.width - 1));
    magPut16(s, uint32_t(img.startY + img.height - 1));
    const size_t offsets = s.size();
    s.append(20, '\0');
    for (uint32_t c : img.palette) {
        s += char(c >> 8 & 255);  // green, red, blue
        s += char(c >> 16 & 255);
        s += char(c & 255);
    }
    out.flagAPos = s.size();
    s += flagA;
    out.flagBPos = s.size();
    out.flagBSize = flagB.size();
    s += flagB;
    out.pixelPos = s.size();
    out.pixelSize = pixels.size();
    s += pixels;
    const size_t h = out.headerPos;
    magSet32(s, offsets, uint32_t(out.flagAPos - h));
    magSet32(s, offsets + 4, uint32_t(out.flagBPos - h));
    magSet32(s, offsets + 8, uint32_t(out.flagBSize));
    magSet32(s, offsets + 12, uint32_t(out.pixelPos - h));
    magSet32(s, offsets + 16, uint32_t(out.pixelSize));
    return out;
}

}  // namespace zarvo::test
