// Where the text engine finds the font file for a family: fontconfig on a desktop, a fixed map
// of the IPA fonts where there is no fontconfig (the web build, which ships those files).
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace zarvo::platform {

// A font file found for a family.
struct LocatedFont {
    bool ok = false;
    bool familyMatched = false;  // of the family asked for, not a stand-in
    std::string path;
    std::string family;  // UTF-8
    int index = 0;       // the face within a collection
};

class FontLocator {
  public:
    virtual ~FontLocator() = default;
    // The file for `family` (UTF-8; null: any face with Japanese characters) in the style asked.
    virtual LocatedFont locate(const char* family, bool bold, bool italic, bool japanese) = 0;
    // Every family (UTF-8) there is a file for, in no particular order.
    virtual std::vector<std::string> families() = 0;
    // The bytes of a located file when faces are opened from memory, shared by every face of
    // it; null when FreeType is to open the file itself.
    virtual std::shared_ptr<const std::string> fontBytes(const std::string& path) {
        (void)path;
        return nullptr;
    }
};

// fontconfig's view of the installed fonts; null when it cannot start or the program was built
// without it.
std::unique_ptr<FontLocator> makeFontconfigLocator();

inline constexpr const char* kFixedFontRoot = "/usr/share/fonts/opentype";

// The four IPA faces as files under `root` (Debian's fonts-ipafont-gothic and -mincho
// layout): IPAGothic, IPAPGothic, IPAMincho, IPAPMincho (and their Japanese names); any other
// family is a stand-in from IPAGothic. Files are read into memory once per process.
std::unique_ptr<FontLocator> makeFixedFontLocator(const std::string& root = kFixedFontRoot);

// fontconfig where the program has it, else the fixed map.
std::unique_ptr<FontLocator> makeDefaultFontLocator();

}  // namespace zarvo::platform
