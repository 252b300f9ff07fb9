#include "backends/freetype/freetype_font_engine.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <unordered_map>
#include <vector>

#include "backends/freetype/font_locator.hpp"
#include "base/cp932.hpp"
#include "base/sjis.hpp"
#include "base/text.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::platform {
namespace {

// Faces that stories name by their Windows names, and the installed faces drawn instead.
struct FaceAlias {
    std::string_view windowsName;  // code page 932
    const char* family;            // UTF-8 family for the font locator
};
const FaceAlias kAliases[] = {
    {texts::kFaceMsGothic, "IPAGothic"},
    {texts::kFaceMsPGothic, "IPAPGothic"},
    {texts::kFaceMsMincho, "IPAMincho"},
    {texts::kFaceMsPMincho, "IPAPMincho"},
    // Windows takes the English names of these faces as well.
    {"MS Gothic", "IPAGothic"},
    {"MS PGothic", "IPAPGothic"},
    {"MS Mincho", "IPAMincho"},
    {"MS PMincho", "IPAPMincho"},
};
constexpr const char* kDefaultFamily = "IPAGothic";

// 16-bit code of the character at s[i] of byte length len: the byte, or lead << 8 | trail.
uint16_t charCode(std::string_view s, size_t i, size_t len) {
    auto b0 = static_cast<unsigned char>(s[i]);
    if (len == 1) return b0;
    return static_cast<uint16_t>(b0 << 8 | static_cast<unsigned char>(s[i + 1]));
}

// Unicode of a character code (0 when it has none: nothing to draw).
char32_t unicodeOf(uint16_t code) {
    char32_t u = cp932CodePoint(code);
    return u == kNoCodePoint ? 0 : u;
}

struct Glyph {
    int advance = 0;
    bool hasBitmap = false;
    int left = 0, top = 0, width = 0, rows = 0, pitch = 0;
    std::vector<uint8_t> bits;  // 1 bit a pixel, most significant bit first
};

// Bitmaps of glyphs up to this height are kept; larger ones are rendered on every draw so a
// few huge characters cannot hold megabytes.
constexpr int kMaxCachedBitmapHeight = 128;

using Resolved = LocatedFont;

// ASCII letters in either case, as font families compare.
bool sameFamilyName(std::string_view a, std::string_view b) {
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return fold(x) == fold(y); });
}

struct FaceAtSize {
    FT_Face face = nullptr;
    FT_Size size = nullptr;
};

// One face at one pixel height and style, with its advances and glyph bitmaps.
struct Instance {
    Instance() = default;
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    ~Instance() {
        if (primary.size) FT_Done_Size(primary.size);
        if (fallback.size) FT_Done_Size(fallback.size);
    }
    int pixelHeight = 16;
    int baseline = 13;
    bool synthBold = false, synthItalic = false;
    int boldPx = 0;
    FaceAtSize primary, fallback;
    // Advances by character code in pages of 256, allocated as characters are met.
    using AdvancePage = std::array<int32_t, 256>;
    std::array<std::unique_ptr<AdvancePage>, 256> advances;
    std::unordered_map<uint16_t, Glyph> glyphs;
};

// Instances kept before the cache starts over (a story uses a handful of sizes).
constexpr size_t kMaxInstances = 64;

int fixedAdvance(int pixelHeight, uint16_t code) {
    return code > 0xFF ? pixelHeight : pixelHeight / 2;
}

}  // namespace

char32_t cp932ToUnicode(std::string_view s, size_t i) {
    if (i >= s.size()) return 0;
    return unicodeOf(charCode(s, i, charLength(s, i)));
}

struct FreeTypeFontEngine::Impl {
    FT_Library library = nullptr;
    std::unique_ptr<FontLocator> locator;
    std::map<std::string, Resolved> resolved;  // key: face + style flags
    std::map<std::pair<std::string, int>, FT_Face> openFaces;
    // Bytes of the faces opened from memory: they must outlive the faces.
    std::vector<std::shared_ptr<const std::string>> faceBytes;
    std::unordered_map<std::string, std::unique_ptr<Instance>> instances;
    // The last instance used: layout measures one character at a time with the same font.
    FontSpec lastSpec;
    Instance* last = nullptr;
    bool facesListed = false;
    StringList faceList;

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() {
        instances.clear();
        for (auto& [key, face] : openFaces) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }

    Resolved matchFamily(const char* family, bool bold, bool italic, bool japanese) {
        return locator ? locator->locate(family, bold, italic, japanese) : Resolved{};
    }

    // A face name as stories write it -> the font file drawn. Names that are not installed fall
    // back to the default Japanese face, then to whatever Japanese font fontconfig offers.
    const Resolved& resolve(std::string_view face, bool bold, bool italic) {
        std::string key(face);
        key += bold ? "\x01" : "\x02";
        key += italic ? "\x01" : "\x02";
        auto it = resolved.find(key);
        if (it != resolved.end()) return it->second;
        std::string family;
        for (const auto& alias : kAliases)
            if (sameText(face, alias.windowsName)) family = alias.family;
        if (family.empty()) family = sjisToUtf8(face);
        Resolved r = matchFamily(family.c_str(), bold, italic, false);
        if (!r.familyMatched) {
            Resolved d = matchFamily(kDefaultFamily, bold, italic, false);
            if (!d.familyMatched) d = matchFamily(nullptr, bold, italic, true);
            if (d.ok) r = d;
        }
        return resolved.emplace(key, r).first->second;
    }

    FT_Face openFace(const Resolved& r) {
        auto key = std::make_pair(r.path, r.index);
        auto it = openFaces.find(key);
        if (it != openFaces.end()) return it->second;
        FT_Face face = nullptr;
        if (auto bytes = locator->fontBytes(r.path)) {
            if (FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(bytes->data()),
                                   static_cast<FT_Long>(bytes->size()), r.index, &face) == 0)
                faceBytes.push_back(std::move(bytes));
            else
                face = nullptr;
        } else if (FT_New_Face(library, r.path.c_str(), r.index, &face) != 0) {
            face = nullptr;
        }
        openFaces.emplace(key, face);
        return face;
    }

    FaceAtSize faceAtSize(const Resolved& r, int pixelHeight) {
        FaceAtSize f;
        if (!r.ok || !library) return f;
        FT_Face face = openFace(r);
        if (!face) return f;
        FT_Size size = nullptr;
        if (FT_New_Size(face, &size) != 0) return f;
        FT_Activate_Size(size);
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight)) != 0) {
            FT_Done_Size(size);
            return f;
        }
        f.face = face;
        f.size = size;
        return f;
    }

    Instance& instanceFor(const FontSpec& font) {
        int h = std::clamp(font.pixelHeight, 1, kMaxPixelHeight);
        if (last && h == last->pixelHeight && font.bold == lastSpec.bold &&
            font.italic == lastSpec.italic && font.face == lastSpec.face)
            return *last;
        std::string key = font.face;
        key += '\0';
        key += std::to_string(h);
        key += font.bold ? 'B' : '-';
        key += font.italic ? 'I' : '-';
        auto it = instances.find(key);
        if (it == instances.end()) {
            if (instances.size() >= kMaxInstances) instances.clear();
            it = instances.emplace(key, makeInstance(font, h)).first;
        }
        lastSpec = font;
        last = it->second.get();
        return *last;
    }

    std::unique_ptr<Instance> makeInstance(const FontSpec& font, int h) {
        auto inst = std::make_unique<Instance>();
        inst->pixelHeight = h;
        inst->baseline = h * 4 / 5;
        const Resolved& r = resolve(font.face, font.bold, font.italic);
        inst->primary = faceAtSize(r, h);
        if (!inst->primary.face) return inst;
        FT_Face face = inst->primary.face;
        long ascender = face->ascender, descender = -face->descender;
        if (ascender > 0 && descender >= 0 && ascender + descender > 0)
            inst->baseline =
                static_cast<int>((static_cast<long>(h) * ascender * 2 + (ascender + descender)) /
                                 (2 * (ascender + descender)));
        // The locator reports the asked style even for a face it will only embolden or slant, so
        // the face itself tells whether it has the style.
        inst->synthBold = font.bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
        inst->synthItalic = font.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
        inst->boldPx = std::max(1, (h + 12) / 24);
        // Characters the face lacks come from the default Japanese face, as the desktop's font
        // linking would show them.
        const Resolved& d = resolve(std::string_view(texts::kFaceMsGothic), font.bold, font.italic);
        if (d.ok && (d.path != r.path || d.index != r.index)) inst->fallback = faceAtSize(d, h);
        return inst;
    }

    // Loads (and for draw renders) one glyph; false when the face has no glyph for the code.
    bool loadGlyph(Instance& inst, uint16_t code, bool render, Glyph& g) {
        char32_t u = unicodeOf(code);
        g = Glyph{};
        g.advance = fixedAdvance(inst.pixelHeight, code);
        if (u == 0 || !inst.primary.face) return false;
        FaceAtSize src = inst.primary;
        FT_UInt index = FT_Get_Char_Index(src.face, u);
        if (index == 0 && inst.fallback.face) {
            src = inst.fallback;
            index = FT_Get_Char_Index(src.face, u);
        }
        if (index == 0) return false;
        FT_Activate_Size(src.size);
        FT_Int32 flags = FT_LOAD_TARGET_MONO;
        if (inst.synthBold || inst.synthItalic) flags |= FT_LOAD_NO_BITMAP;
        if (FT_Load_Glyph(src.face, index, flags) != 0 &&
            FT_Load_Glyph(src.face, index, FT_LOAD_TARGET_MONO) != 0)
            return false;
        FT_GlyphSlot slot = src.face->glyph;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            if (inst.synthBold) {
                FT_Outline_EmboldenXY(&slot->outline, inst.boldPx * 64, 0);
                g.advance += inst.boldPx;
            }
            if (inst.synthItalic) {
                // Lean about 11 degrees around the baseline.
                FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};
                FT_Outline_Transform(&slot->outline, &shear);
            }
        }
        if (!render) return true;
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return true;
        const FT_Bitmap& bm = slot->bitmap;
        if (bm.width == 0 || bm.rows == 0 || !bm.buffer) return true;
        if (bm.pixel_mode != FT_PIXEL_MODE_MONO && bm.pixel_mode != FT_PIXEL_MODE_GRAY) return true;
        g.width = static_cast<int>(bm.width);
        g.rows = static_cast<int>(bm.rows);
        g.pitch = (g.width + 7) / 8;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.bits.assign(static_cast<size_t>(g.pitch) * static_cast<size_t>(g.rows), 0);
        int srcPitch = bm.pitch < 0 ? -bm.pitch : bm.pitch;
        for (int y = 0; y < g.rows; ++y) {
            const unsigned char* in =
                bm.buffer + static_cast<ptrdiff_t>(bm.pitch < 0 ? g.rows - 1 - y : y) * srcPitch;
            uint8_t* out = g.bits.data() + static_cast<size_t>(y) * static_cast<size_t>(g.pitch);
            if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
                std::memcpy(out, in, static_cast<size_t>(g.pitch));
            } else {
                // Solid edges: half coverage or more is text.
                for (int x = 0; x < g.width; ++x)
                    if (in[x] >= 128)
                        out[x >> 3] = static_cast<uint8_t>(out[x >> 3] | (0x80 >> (x & 7)));
            }
        }
        g.hasBitmap = true;
        return true;
    }

    int advanceOf(Instance& inst, uint16_t code) {
        auto& page = inst.advances[code >> 8];
        if (!page) {
            page = std::make_unique<Instance::AdvancePage>();
            page->fill(-1);
        }
        int32_t& a = (*page)[code & 0xFF];
        if (a < 0) {
            Glyph g;
            loadGlyph(inst, code, false, g);
            a = g.advance;
        }
        return a;
    }

    // The glyph with its bitmap; `scratch` holds it when it is too large to keep.
    const Glyph& glyphOf(Instance& inst, uint16_t code, Glyph& scratch) {
        if (inst.pixelHeight > kMaxCachedBitmapHeight) {
            loadGlyph(inst, code, true, scratch);
            return scratch;
        }
        auto it = inst.glyphs.find(code);
        if (it == inst.glyphs.end()) {
            Glyph g;
            loadGlyph(inst, code, true, g);
            it = inst.glyphs.emplace(code, std::move(g)).first;
        }
        return it->second;
    }
};

FreeTypeFontEngine::FreeTypeFontEngine(bool useInstalledFonts)
    : FreeTypeFontEngine(useInstalledFonts ? makeDefaultFontLocator() : nullptr) {}

FreeTypeFontEngine::FreeTypeFontEngine(std::unique_ptr<FontLocator> locator)
    : impl_(std::make_unique<Impl>()) {
    if (!locator) return;
    if (FT_Init_FreeType(&impl_->library) != 0) {
        impl_->library = nullptr;
        return;
    }
    impl_->locator = std::move(locator);
}

FreeTypeFontEngine::~FreeTypeFontEngine() = default;

StringList FreeTypeFontEngine::faces() {
    Impl& m = *impl_;
    if (m.facesListed) return m.faceList;
    m.facesListed = true;
    if (!m.locator) return m.faceList;
    std::vector<std::string> utf8Families = m.locator->families();
    std::sort(utf8Families.begin(), utf8Families.end());
    utf8Families.erase(std::unique(utf8Families.begin(), utf8Families.end()), utf8Families.end());
    for (const auto& family : utf8Families) {
        std::string cp932;
        if (utf8ToSjis(family, cp932)) m.faceList.push_back(std::move(cp932));
    }
    for (const auto& alias : kAliases) {
        bool installed =
            std::any_of(utf8Families.begin(), utf8Families.end(),
                        [&](const std::string& f) { return sameFamilyName(f, alias.family); });
        if (installed) m.faceList.emplace_back(alias.windowsName);
    }
    return m.faceList;
}

bool FreeTypeFontEngine::hasFace(std::string_view face) {
    faces();
    for (const auto& f : impl_->faceList)
        if (sameText(f, face)) return true;
    return false;
}

TextExtent FreeTypeFontEngine::measure(const FontSpec& font, std::string_view text) {
    Instance& inst = impl_->instanceFor(font);
    TextExtent e;
    e.cy = inst.pixelHeight;
    for (size_t i = 0; i < text.size();) {
        size_t len = charLength(text, i);
        e.cx += impl_->advanceOf(inst, charCode(text, i, len));
        i += len;
    }
    return e;
}

void FreeTypeFontEngine::draw(const FontSpec& font, std::string_view text, int x, int y,
                              uint32_t colour, const GlyphTarget& target) {
    if (!target.pixels || target.width <= 0 || target.height <= 0) return;
    Instance& inst = impl_->instanceFor(font);
    if (!inst.primary.face) return;
    const uint32_t pixel = colour & 0xFFFFFF;
    int64_t pen = x;
    const int64_t baseline = static_cast<int64_t>(y) + inst.baseline;
    Glyph scratch;
    for (size_t i = 0; i < text.size();) {
        size_t len = charLength(text, i);
        uint16_t code = charCode(text, i, len);
        i += len;
        const Glyph& g = impl_->glyphOf(inst, code, scratch);
        const int64_t left = pen + g.left, top = baseline - g.top;
        pen += g.advance;
        if (!g.hasBitmap) continue;
        const int64_t x0 = std::max<int64_t>(0, left),
                      x1 = std::min<int64_t>(target.width, left + g.width);
        const int64_t y0 = std::max<int64_t>(0, top),
                      y1 = std::min<int64_t>(target.height, top + g.rows);
        for (int64_t ty = y0; ty < y1; ++ty) {
            const uint8_t* bits =
                g.bits.data() + static_cast<size_t>(ty - top) * static_cast<size_t>(g.pitch);
            uint32_t* row =
                target.pixels + static_cast<size_t>(ty) * static_cast<size_t>(target.stride);
            uint8_t* maskRow =
                target.mask
                    ? target.mask + static_cast<size_t>(ty) * static_cast<size_t>(target.maskStride)
                    : nullptr;
            for (int64_t tx = x0; tx < x1; ++tx) {
                const int64_t bx = tx - left;
                if (!(bits[bx >> 3] & (0x80 >> (bx & 7)))) continue;
                row[tx] = pixel;
                if (maskRow) maskRow[tx] = 255;
            }
        }
    }
}

std::string FreeTypeFontEngine::resolvedFamily(std::string_view face) {
    if (!impl_->library) return {};
    const Resolved& r = impl_->resolve(face, false, false);
    return r.ok ? r.family : std::string();
}

}  // namespace zarvo::platform
