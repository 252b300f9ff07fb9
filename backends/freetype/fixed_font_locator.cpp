#include <cstdio>
#include <map>
#include <mutex>

#include "backends/freetype/font_locator.hpp"

namespace zarvo::platform {
namespace {

struct FixedFace {
    const char* family;  // UTF-8, as the font itself names its family
    const char* file;    // under the root
};
const FixedFace kFixedFaces[] = {
    {"IPAGothic", "ipafont-gothic/ipag.ttf"},   {"IPAゴシック", "ipafont-gothic/ipag.ttf"},
    {"IPAPGothic", "ipafont-gothic/ipagp.ttf"}, {"IPA Pゴシック", "ipafont-gothic/ipagp.ttf"},
    {"IPAMincho", "ipafont-mincho/ipam.ttf"},   {"IPA明朝", "ipafont-mincho/ipam.ttf"},
    {"IPAPMincho", "ipafont-mincho/ipamp.ttf"}, {"IPA P明朝", "ipafont-mincho/ipamp.ttf"},
};
// Stands in for every other family, as fontconfig's best Japanese match would.
const FixedFace& kStandIn = kFixedFaces[0];

bool sameFamily(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool fileExists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

// Font files read whole, kept while any face opened from them lives.
std::shared_ptr<const std::string> readShared(const std::string& path) {
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<const std::string>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    if (auto kept = cache[path].lock()) return kept;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
    auto bytes = std::make_shared<std::string>();
    char chunk[1 << 16];
    while (size_t n = std::fread(chunk, 1, sizeof chunk, f)) bytes->append(chunk, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed || bytes->empty()) return nullptr;
    cache[path] = bytes;
    return bytes;
}

class FixedFontLocator final : public FontLocator {
  public:
    explicit FixedFontLocator(std::string root) : root_(std::move(root)) {}

    LocatedFont locate(const char* family, bool, bool, bool) override {
        LocatedFont r;
        const FixedFace* face = nullptr;
        if (family)
            for (const auto& f : kFixedFaces)
                if (sameFamily(family, f.family)) face = &f;
        r.familyMatched = face && present(*face);
        if (!r.familyMatched) face = &kStandIn;
        if (!present(*face)) return LocatedFont{};
        r.ok = true;
        r.path = pathOf(*face);
        r.family = face->family;
        return r;
    }

    std::vector<std::string> families() override {
        std::vector<std::string> out;
        for (const auto& f : kFixedFaces)
            if (present(f)) out.emplace_back(f.family);
        return out;
    }

    std::shared_ptr<const std::string> fontBytes(const std::string& path) override {
        return readShared(path);
    }

  private:
    std::string pathOf(const FixedFace& face) const { return root_ + "/" + face.file; }
    bool present(const FixedFace& face) {
        auto [it, fresh] = present_.emplace(face.file, false);
        if (fresh) it->second = fileExists(pathOf(face));
        return it->second;
    }

    std::string root_;
    std::map<std::string, bool> present_;
};

}  // namespace

std::unique_ptr<FontLocator> makeFixedFontLocator(const std::string& root) {
    return std::make_unique<FixedFontLocator>(root);
}

std::unique_ptr<FontLocator> makeDefaultFontLocator() {
    if (auto locator = makeFontconfigLocator()) return locator;
    return makeFixedFontLocator();
}

#ifndef ZARVO_HAVE_FONTCONFIG
// Built without fontconfig: the fixed map is all there is.
std::unique_ptr<FontLocator> makeFontconfigLocator() {
    return nullptr;
}
#endif

}  // namespace zarvo::platform
