// The layering of the source tree: each folder includes only from folders below it, and the
// engine under src/ touches files only through platform::FileSystem. A wrong arrow fails here
// instead of waiting for a review.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace zarvo::test {
namespace {

namespace fs = std::filesystem;

// Rank of each folder, lowest first: a folder may include its own headers and those of folders
// of a lower rank. Debug sits below the player that owns it, check above the player, whose
// notices it reports; the backends implement the seam and may use one another.
const std::map<std::string, int>& ranks() {
    static const std::map<std::string, int> r{
        {"base", 0},    {"platform", 1}, {"formats", 2},   {"archive", 3},
        {"script", 4},  {"story", 5},    {"interp", 6},    {"graphics", 7},
        {"audio", 8},   {"save", 9},     {"commands", 10}, {"debug", 11},
        {"player", 12}, {"check", 13},   {"backends", 14}, {"app", 15}};
    return r;
}

// "src/story/story.cpp" -> "story", "backends/sdl/x.cpp" -> "backends", "app/main.cpp" -> "app".
std::string folderOf(const std::string& relative) {
    auto slash = relative.find('/');
    std::string top = relative.substr(0, slash);
    if (top != "src") return top;
    auto next = relative.find('/', slash + 1);
    return relative.substr(slash + 1, next - slash - 1);
}

std::vector<std::string> sourcesUnder(const fs::path& root) {
    std::vector<std::string> out;
    for (const char* top : {"src", "backends", "app"}) {
        if (!fs::exists(root / top)) continue;
        for (const auto& e : fs::recursive_directory_iterator(root / top)) {
            auto ext = e.path().extension();
            if (e.is_regular_file() && (ext == ".cpp" || ext == ".hpp"))
                out.push_back(fs::relative(e.path(), root).generic_string());
        }
    }
    return out;
}

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// "FILE: includes FOLDER/..." for every include that points up or sideways.
std::vector<std::string> wrongIncludes(const fs::path& root) {
    static const std::regex include(R"re(^\s*#\s*include\s*"([a-z_]+)/)re");
    std::vector<std::string> out;
    for (const std::string& file : sourcesUnder(root)) {
        auto from = ranks().find(folderOf(file));
        if (from == ranks().end()) {
            out.push_back(file + ": a folder with no place in the order");
            continue;
        }
        std::istringstream lines(contents(root / file));
        for (std::string line; std::getline(lines, line);) {
            std::smatch m;
            if (!std::regex_search(line, m, include)) continue;
            std::string to = m[1];
            if (to == "zarvo") continue;  // the generated tables, part of base
            auto target = ranks().find(to);
            bool same = to == from->first;
            bool lower = target != ranks().end() && target->second < from->second;
            bool backends = from->first == "backends" && to == "backends";
            if (!same && !lower && !backends) out.push_back(file + ": includes " + to + "/");
        }
    }
    return out;
}

// Files under src/ that open, write or list files themselves instead of through FileSystem.
// Loading image plug-ins (dlopen) is the one exception, and it is no file function here.
std::vector<std::string> directFileAccess(const fs::path& root) {
    static const std::regex call(
        R"re(\bfopen\(|(^|[^A-Za-z0-9_])::open\(|std::filesystem|std::[io]?fstream|\bunlink\(|std::rename\(|\bopendir\()re");
    std::vector<std::string> out;
    for (const std::string& file : sourcesUnder(root)) {
        if (file.rfind("src/", 0) != 0) continue;
        if (std::regex_search(contents(root / file), call)) out.push_back(file);
    }
    return out;
}

// Files of the player that call iconv: the web build's C library has no code page 932, so the
// engine's own converter (base/cp932.hpp) is the only one.
std::vector<std::string> iconvUsers(const fs::path& root) {
    static const std::regex call(R"re(\biconv(_open)?\s*\(|<iconv\.h>)re");
    std::vector<std::string> out;
    for (const std::string& file : sourcesUnder(root))
        if (std::regex_search(contents(root / file), call)) out.push_back(file);
    return out;
}

fs::path sourceRoot() {
    return fs::path(ZARVO_SOURCE_DIR);
}

TEST(Layering, EveryIncludePointsDownTheOrder) {
    EXPECT_THAT(wrongIncludes(sourceRoot()), ::testing::IsEmpty());
}

TEST(Layering, TheEngineTouchesFilesOnlyThroughTheFileSystem) {
    EXPECT_THAT(directFileAccess(sourceRoot()), ::testing::IsEmpty());
}

TEST(Layering, NothingButTheOwnConverterConvertsCodePage932) {
    EXPECT_THAT(iconvUsers(sourceRoot()), ::testing::IsEmpty());
}

TEST(Layering, AWrongArrowADirectFileCallAndIconvAreCaught) {
    TempDir dir;
    fs::path root = dir.path();
    fs::create_directories(root / "src/script");
    fs::create_directories(root / "src/graphics");
    fs::create_directories(root / "src/shell");
    std::ofstream(root / "src/script/a.cpp")
        << "#include \"script/a.hpp\"\n#include \"graphics/surface.hpp\"\n";
    std::ofstream(root / "src/graphics/b.cpp")
        << "#include \"script/a.hpp\"\n#include \"base/text.hpp\"\n"
           "void f() { auto* f = fopen(\"x\", \"rb\"); }\n";
    std::ofstream(root / "src/shell/c.cpp") << "// nothing\n";
    fs::create_directories(root / "backends/sdl");
    std::ofstream(root / "backends/sdl/d.cpp") << "auto cd = iconv_open(\"UTF-8\", \"CP932\");\n";
    EXPECT_THAT(wrongIncludes(root), ::testing::UnorderedElementsAre(
                                         "src/script/a.cpp: includes graphics/",
                                         "src/shell/c.cpp: a folder with no place in the order"));
    EXPECT_THAT(directFileAccess(root), ::testing::ElementsAre("src/graphics/b.cpp"));
    EXPECT_THAT(iconvUsers(root), ::testing::ElementsAre("backends/sdl/d.cpp"));
}

}  // namespace
}  // namespace zarvo::test
