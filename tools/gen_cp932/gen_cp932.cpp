// Build-time generator: asks the build machine's own code page 932 converter (glibc iconv) how
// every code maps, both ways, and writes the tables of the engine's converter as a header. The
// engine then converts alike on every platform, including those whose C library has no code
// page 932.
//
// The header holds:
//   kSingle[256]       code point of each single byte (kNone when it has none);
//   kDouble[60 * 189]  code point of each two-byte code, one row of trail bytes 0x40..0xFC per
//                      lead byte (0x81..0x9F, then 0xE0..0xFC);
//   kPageOf[256]       for each 256-code-point page of the BMP, its index in kPages (0: none);
//   kPages[N][256]     the code page 932 code of each code point of a page (kNone when none),
//                      a single byte below 0x100, else lead << 8 | trail.
// The generator checks that the converter fits that shape and fails the build otherwise.
#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kNone = 0xFFFF;

bool isLead(unsigned b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Outcome of one conversion: ok, and the bytes written.
struct Result {
    bool ok = false;
    std::string out;
};

Result convert(iconv_t cd, const std::string& in) {
    std::string buffer = in;
    char* src = buffer.data();
    size_t srcLeft = buffer.size();
    char out[16];
    char* dst = out;
    size_t dstLeft = sizeof out;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    Result result;
    result.ok = r != static_cast<size_t>(-1) && srcLeft == 0;
    result.out.assign(out, sizeof out - dstLeft);
    return result;
}

std::string utf32(char32_t u) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(u >> (8 * i) & 0xFF);
    return s;
}

bool fail(const std::string& why) {
    std::cerr << "gen_cp932: " << why << "\n";
    return false;
}

// Code point of every single byte and every two-byte code, or kNone.
bool decodeAll(iconv_t cd, std::array<uint16_t, 256>& single, std::vector<uint16_t>& pairs) {
    auto codePoint = [&](const std::string& in, uint16_t& u) {
        Result r = convert(cd, in);
        u = kNone;
        if (!r.ok) return true;
        if (r.out.size() != 4) return fail("a code did not give exactly one code point");
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(r.out[i]);
        if (v >= kNone) return fail("a code maps outside the BMP");
        u = static_cast<uint16_t>(v);
        return true;
    };
    for (unsigned b = 0; b < 256; ++b) {
        if (!codePoint(std::string(1, static_cast<char>(b)), single[b])) return false;
        if (isLead(b) && single[b] != kNone) return fail("a lead byte decodes on its own");
    }
    pairs.assign(60 * 189, kNone);
    for (unsigned lead = 0; lead < 256; ++lead) {
        for (unsigned trail = 0; trail < 256; ++trail) {
            if (!isLead(lead)) continue;  // two single bytes, checked above
            std::string in{static_cast<char>(lead), static_cast<char>(trail)};
            uint16_t u;
            if (!codePoint(in, u)) return false;
            if (u == kNone) continue;
            if (trail < 0x40 || trail > 0xFC) return fail("a trail byte outside 0x40..0xFC maps");
            unsigned row = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31;
            pairs[row * 189 + (trail - 0x40)] = u;
        }
    }
    return true;
}

// Code of each BMP code point, or kNone; checks that above the BMP only the language tags
// (dropped by the converter, giving no bytes) convert.
bool encodeAll(iconv_t cd, std::vector<uint16_t>& codes) {
    codes.assign(0x10000, kNone);
    for (char32_t u = 0; u < 0x110000; ++u) {
        if (u >= 0xD800 && u < 0xE000) continue;
        Result r = convert(cd, utf32(u));
        bool tag = u >= 0xE0000 && u <= 0xE007F;
        if (tag != (r.ok && r.out.empty()))
            return fail("code points other than the language tags convert to no bytes");
        if (!r.ok || tag) continue;
        if (u > 0xFFFF) return fail("a code point above the BMP has a code");
        auto b0 = static_cast<unsigned char>(r.out[0]);
        if (r.out.size() == 1 && !isLead(b0)) {
            codes[u] = b0;
        } else if (r.out.size() == 2 && isLead(b0)) {
            codes[u] = static_cast<uint16_t>(b0 << 8 | static_cast<unsigned char>(r.out[1]));
        } else {
            return fail("a code point converts to an unexpected byte sequence");
        }
    }
    return true;
}

void writeArray(std::ostream& o, const uint16_t* v, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%04X,", v[i]);
        o << (i % 12 == 0 ? "\n    " : " ") << buf;
    }
    o << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: gen_cp932 OUTPUT.hpp\n";
        return 2;
    }
    iconv_t dec = iconv_open("UTF-32LE", "CP932");
    iconv_t enc = iconv_open("CP932", "UTF-32LE");
    if (dec == reinterpret_cast<iconv_t>(-1) || enc == reinterpret_cast<iconv_t>(-1)) {
        std::cerr << "gen_cp932: this machine's iconv has no CP932 converter; build the tables "
                     "on a machine with glibc\n";
        return 1;
    }
    std::array<uint16_t, 256> single{};
    std::vector<uint16_t> pairs, codes;
    if (!decodeAll(dec, single, pairs) || !encodeAll(enc, codes)) return 1;
    iconv_close(dec);
    iconv_close(enc);

    // Pages of the encoding table, identical pages shared (page 0 is the empty one).
    std::vector<std::vector<uint16_t>> pages{std::vector<uint16_t>(256, kNone)};
    std::map<std::vector<uint16_t>, size_t> pageIndex{{pages[0], 0}};
    std::array<uint8_t, 256> pageOf{};
    for (unsigned p = 0; p < 256; ++p) {
        std::vector<uint16_t> page(codes.begin() + p * 256, codes.begin() + p * 256 + 256);
        auto [it, fresh] = pageIndex.emplace(page, pages.size());
        if (fresh) pages.push_back(page);
        if (pages.size() > 256) {
            fail("too many distinct pages for a byte index");
            return 1;
        }
        pageOf[p] = static_cast<uint8_t>(it->second);
    }

    std::ostringstream out;
    out << "// Generated by gen_cp932 from this machine's code page 932 converter; do not edit.\n"
        << "#pragma once\n#include <cstdint>\n\nnamespace zarvo::cp932_tables {\n\n"
        << "inline constexpr uint16_t kNone = 0xFFFF;\n\n"
        << "inline constexpr uint16_t kSingle[256] = {";
    writeArray(out, single.data(), single.size());
    out << "};\n\ninline constexpr uint16_t kDouble[" << pairs.size() << "] = {";
    writeArray(out, pairs.data(), pairs.size());
    out << "};\n\ninline constexpr uint8_t kPageOf[256] = {";
    for (unsigned p = 0; p < 256; ++p) out << (p % 16 == 0 ? "\n    " : " ") << +pageOf[p] << ",";
    out << "\n};\n\ninline constexpr uint16_t kPages[" << pages.size() << "][256] = {\n";
    for (const auto& page : pages) {
        out << "  {";
        writeArray(out, page.data(), page.size());
        out << "  },\n";
    }
    out << "};\n\n}  // namespace zarvo::cp932_tables\n";

    // Rewrite only on change so dependants are not rebuilt needlessly.
    std::string fresh = out.str();
    std::ifstream old(argv[1], std::ios::binary);
    std::string previous((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
    if (previous != fresh) {
        std::ofstream o(argv[1], std::ios::binary);
        o << fresh;
        if (!o) {
            std::cerr << "gen_cp932: cannot write " << argv[1] << "\n";
            return 1;
        }
    }
    return 0;
}
