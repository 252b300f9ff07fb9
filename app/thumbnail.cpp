#include "thumbnail.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#include "base/name_value.hpp"
#include "base/string_list.hpp"
#include "base/text.hpp"
#include "formats/png.hpp"
#include "platform/clock.hpp"
#include "platform/file_system.hpp"
#include "platform/recording_dialogs.hpp"
#include "player/notices.hpp"
#include "story/story.hpp"
#include "story/story_finder.hpp"

namespace zarvo {
namespace {

constexpr std::string_view kLibraryName = "zarvoplay.zvl";

// A file manager hands us whatever file it meets: opening it must leave no trace, so every
// write is refused here, whatever the story asks for.
class ReadOnlyFiles final : public platform::FileSystem {
  public:
    explicit ReadOnlyFiles(platform::FileSystem& files) : files_(files) {}
    bool exists(const std::string& path) const override { return files_.exists(path); }
    bool directoryExists(const std::string& path) const override {
        return files_.directoryExists(path);
    }
    bool readFile(const std::string& path, std::string& bytes) const override {
        return files_.readFile(path, bytes);
    }
    bool makeDirectory(const std::string&) override { return false; }
    bool listDirectory(const std::string& path, std::vector<std::string>& names) const override {
        return files_.listDirectory(path, names);
    }
    std::unique_ptr<platform::ReadableFile> openRead(const std::string& path) const override {
        return files_.openRead(path);
    }
    std::unique_ptr<platform::WritableFile> createFile(const std::string&) override {
        return nullptr;
    }
    std::unique_ptr<platform::WritableFile> openForUpdate(const std::string&) override {
        return nullptr;
    }
    bool rename(const std::string&, const std::string&) override { return false; }
    bool remove(const std::string&) override { return false; }
    bool copyFile(const std::string&, const std::string&) override { return false; }
    std::string absolutePath(const std::string& path) const override {
        return files_.absolutePath(path);
    }

  private:
    platform::FileSystem& files_;
};

// A name built from variables is only known to a running story.
bool isFixedName(std::string_view name) {
    return !name.empty() && name.find('%') == std::string_view::npos &&
           name.find('$') == std::string_view::npos;
}

// The picture the first @GraphicDraw of the start page draws: the parameters gathered since the
// command before it name it.
std::string firstDrawnPicture(Story& story) {
    ScriptFile& script = story.script();
    const std::string book = story.startBook(), page = story.startPage();
    const int32_t count = script.getPageLineCount(book, page);
    StringList parameters;
    for (int32_t i = 0; i < count; ++i) {
        const std::string text = script.getPageLine(book, page, i);
        std::string_view line = trimBlanks(text);
        if (line.empty() || line[0] != '@') {
            if (line.find('=') != std::string_view::npos) parameters.emplace_back(line);
            continue;
        }
        if (sameAsciiText(line.substr(1), "GraphicDraw")) {
            std::string name = readListString(parameters, "GraphicDraw.FileName", "");
            if (isFixedName(name)) return name;
        }
        parameters.clear();
    }
    return {};
}

}  // namespace

Picture fitPicture(const Picture& picture, int32_t size) {
    const int32_t w = picture.width, h = picture.height;
    if (size < 1 || w <= 0 || h <= 0 || (w <= size && h <= size)) return picture;
    Picture out;
    // The longer side becomes `size`; the other keeps the ratio, rounded, at least one pixel.
    const int64_t longer = std::max(w, h);
    out.width =
        static_cast<int32_t>(std::max<int64_t>(1, (int64_t{w} * size + longer / 2) / longer));
    out.height =
        static_cast<int32_t>(std::max<int64_t>(1, (int64_t{h} * size + longer / 2) / longer));
    out.alphaMode = picture.alphaMode;
    const bool masked =
        picture.alphaMode != AlphaMode::None && picture.mask.size() == static_cast<size_t>(w) * h;
    if (!masked) out.alphaMode = AlphaMode::None;
    out.pixels.resize(static_cast<size_t>(out.width) * out.height);
    if (masked) out.mask.resize(out.pixels.size());
    for (int32_t oy = 0; oy < out.height; ++oy) {
        const int32_t y0 = static_cast<int32_t>(int64_t{oy} * h / out.height);
        const int32_t y1 = std::max(y0 + 1, static_cast<int32_t>(int64_t{oy + 1} * h / out.height));
        for (int32_t ox = 0; ox < out.width; ++ox) {
            const int32_t x0 = static_cast<int32_t>(int64_t{ox} * w / out.width);
            const int32_t x1 =
                std::max(x0 + 1, static_cast<int32_t>(int64_t{ox + 1} * w / out.width));
            uint64_t r = 0, g = 0, b = 0, m = 0, n = 0;
            for (int32_t y = y0; y < y1; ++y)
                for (int32_t x = x0; x < x1; ++x) {
                    const size_t at = static_cast<size_t>(y) * w + x;
                    const uint32_t p = picture.pixels[at];
                    r += (p >> 16) & 0xFF;
                    g += (p >> 8) & 0xFF;
                    b += p & 0xFF;
                    if (masked) m += picture.mask[at];
                    ++n;
                }
            const size_t to = static_cast<size_t>(oy) * out.width + ox;
            out.pixels[to] = static_cast<uint32_t>(((r + n / 2) / n) << 16 |
                                                   ((g + n / 2) / n) << 8 | (b + n / 2) / n);
            if (masked) out.mask[to] = static_cast<uint8_t>((m + n / 2) / n);
        }
    }
    return out;
}

bool renderThumbnail(platform::FileSystem& files, const std::string& projectPath,
                     const std::string& programDir, int32_t size, std::string& png,
                     std::string& why) {
    ReadOnlyFiles readOnly(files);
    platform::RecordingDialogs dialogs;  // boxes are answered by default and never shown
    Notices notices(dialogs);
    platform::SystemClock clock;
    Story story(Story::Services{.clock = clock,
                                .notices = notices,
                                .files = readOnly,
                                .programDir = programDir,
                                .readOnly = true});
    // A folder, archive or image shows the first of the stories nearest its top.
    std::string path = projectPath;
    if (readOnly.directoryExists(path)) {
        const StorySearch found = findStories(readOnly, path);
        if (found.stories.empty()) {
            why = "holds no story";
            return false;
        }
        path = found.stories[0];
    }
    if (!readOnly.exists(path) || !story.openProject(path) || story.fatalError()) {
        why = "not a story that can be opened";
        return false;
    }
    // Pictures may come from the system library too; a story plays without it, so may we.
    if (!programDir.empty()) story.openLibrary(platform::joinPath(programDir, kLibraryName));

    std::string name = story.script().readHeadString("Zarvo", "Opening", "");
    if (name == "Default" || !isFixedName(name)) name = firstDrawnPicture(story);
    if (name.empty()) {
        why = "the story names no opening picture and its start page draws none";
        return false;
    }
    Picture picture;
    if (!story.loadPicture(name, picture) || picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != static_cast<size_t>(picture.width) * picture.height) {
        why = "the picture it shows first cannot be read";
        return false;
    }
    Picture fitted = fitPicture(picture, size);
    PictureView view{fitted.pixels.data(),
                     fitted.alphaMode != AlphaMode::None ? fitted.mask.data() : nullptr,
                     fitted.width, fitted.height};
    std::string bytes;
    if (!encodePng(view, bytes)) {
        why = "out of memory";
        return false;
    }
    png = std::move(bytes);
    return true;
}

}  // namespace zarvo
