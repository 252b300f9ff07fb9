#include <fontconfig/fontconfig.h>

#include "backends/freetype/font_locator.hpp"

namespace zarvo::platform {
namespace {

class FontconfigLocator final : public FontLocator {
  public:
    explicit FontconfigLocator(FcConfig* config) : config_(config) {}
    ~FontconfigLocator() override { FcConfigDestroy(config_); }
    FontconfigLocator(const FontconfigLocator&) = delete;
    FontconfigLocator& operator=(const FontconfigLocator&) = delete;

    LocatedFont locate(const char* family, bool bold, bool italic, bool japanese) override {
        LocatedFont r;
        FcPattern* pattern = FcPatternCreate();
        if (!pattern) return r;
        if (family)
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
        if (japanese) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcConfigSubstitute(config_, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config_, pattern, &result);
        FcPatternDestroy(pattern);
        if (!match) return r;
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
            r.ok = true;
            r.path = reinterpret_cast<const char*>(file);
            FcPatternGetInteger(match, FC_INDEX, 0, &r.index);
            FcChar8* name = nullptr;
            for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
                if (i == 0) r.family = reinterpret_cast<const char*>(name);
                if (family &&
                    FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family)) == 0) {
                    r.familyMatched = true;
                    r.family = reinterpret_cast<const char*>(name);
                }
            }
        }
        FcPatternDestroy(match);
        return r;
    }

    std::vector<std::string> families() override {
        std::vector<std::string> out;
        FcPattern* pattern = FcPatternCreate();
        FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, static_cast<char*>(nullptr));
        FcFontSet* set = pattern && objects ? FcFontList(config_, pattern, objects) : nullptr;
        if (set) {
            for (int i = 0; i < set->nfont; ++i) {
                FcChar8* name = nullptr;
                for (int k = 0;
                     FcPatternGetString(set->fonts[i], FC_FAMILY, k, &name) == FcResultMatch; ++k)
                    out.emplace_back(reinterpret_cast<const char*>(name));
            }
            FcFontSetDestroy(set);
        }
        if (objects) FcObjectSetDestroy(objects);
        if (pattern) FcPatternDestroy(pattern);
        return out;
    }

  private:
    FcConfig* config_;
};

}  // namespace

std::unique_ptr<FontLocator> makeFontconfigLocator() {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return nullptr;
    return std::make_unique<FontconfigLocator>(config);
}

}  // namespace zarvo::platform
