#include "story/story_finder.hpp"

#include <algorithm>

#include "archive/package_reader.hpp"
#include "base/limits.hpp"
#include "base/sjis.hpp"
#include "base/text.hpp"
#include "platform/file_system.hpp"
#include "platform/notice_sink.hpp"
#include "script/script_file.hpp"

namespace zarvo {
namespace {

// Folders are many in an unpacked disc; this bounds what a search lists before it gives up.
constexpr size_t kMaxEntriesLooked = 20000;

bool hasStoryExtension(const std::string& name) {
    if (name.size() < 4) return false;
    const std::string_view ext = std::string_view(name).substr(name.size() - 4);
    return sameText(ext, ".zp7") || sameText(ext, ".exe");
}

// A title is looked up without telling anybody about a damaged script: the story itself says
// so when it is opened.
class QuietNotices final : public platform::NoticeSink {
  public:
    platform::BoxAnswer tell(platform::Notice, std::initializer_list<std::string_view>) override {
        return platform::BoxAnswer::Ok;
    }
    using NoticeSink::tell;
};

}  // namespace

bool isStoryFile(const platform::FileSystem& files, const std::string& path) {
    if (hasMagic(files, path, "///") || hasMagic(files, path, "QZ7PKG")) return true;
    if (!hasMagic(files, path, "MZ")) return false;
    // A program is a story only with a package behind its stub.
    PackageReader package;
    return openPackage(files, path, package) &&
           std::string_view(package.header.magic.data(), 6) == "QZ7PKG";
}

StorySearch findStories(const platform::FileSystem& files, const std::string& folder) {
    StorySearch search;
    std::vector<std::string> level{folder};
    size_t looked = 0;
    for (int depth = 0; depth <= kMaxStoryDepth && !level.empty(); ++depth) {
        std::vector<std::string> below;
        for (const std::string& dir : level) {
            std::vector<std::string> names;
            if (!files.listDirectory(dir, names)) continue;
            std::sort(names.begin(), names.end());
            for (const std::string& name : names) {
                if (++looked > kMaxEntriesLooked) break;
                const std::string path = platform::joinPath(dir, name);
                const bool isFolder = files.directoryExists(path);
                if (depth == 0) search.topNames.push_back(isFolder ? name + "/" : name);
                if (isFolder)
                    below.push_back(path);
                else if (hasStoryExtension(name) && isStoryFile(files, path))
                    search.stories.push_back(path);
            }
        }
        if (!search.stories.empty()) {
            search.topNames.clear();
            return search;
        }
        level = std::move(below);
    }
    return search;
}

std::string storyTitle(const platform::FileSystem& files, const std::string& path) {
    std::string bytes;
    if (hasMagic(files, path, "///")) {
        platform::readFileAtMost(files, path, kMaxTextBytes, bytes);
    } else {
        PackageReader package;
        if (openPackage(files, path, package))
            readEntryToStream(bytes, "zarvo.zf7", package, kMaxTextBytes);
    }
    QuietNotices quiet;
    ScriptFile script(quiet);
    script.loadFromStream(bytes);
    std::string title = script.readHeadString("Zarvo", "Title", "");
    if (!title.empty()) return title;
    std::string sjis;
    const std::string name = platform::fileName(path);
    return utf8ToSjis(name, sjis) ? sjis : name;
}

std::vector<std::string> storyTitles(const platform::FileSystem& files,
                                     const std::vector<std::string>& paths) {
    std::vector<std::string> titles;
    for (const std::string& path : paths) titles.push_back(storyTitle(files, path));
    const std::vector<std::string> alone = titles;
    for (size_t i = 0; i < titles.size(); ++i) {
        if (std::count(alone.begin(), alone.end(), alone[i]) < 2) continue;
        const std::string where = platform::joinPath(
            platform::fileName(platform::parentPath(paths[i])), platform::fileName(paths[i]));
        std::string sjis;
        titles[i] += " (" + (utf8ToSjis(where, sjis) ? sjis : where) + ")";
    }
    return titles;
}

}  // namespace zarvo
