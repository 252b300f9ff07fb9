#include "player/save_states.hpp"

#include <cstdio>
#include <utility>

#include "base/name_value.hpp"
#include "base/sjis.hpp"
#include "base/text.hpp"
#include "graphics/surface.hpp"
#include "platform/file_system.hpp"
#include "player/read_messages.hpp"

namespace zarvo {
namespace {

constexpr std::string_view kSlotEntry = "slot.info";
constexpr std::string_view kThumbnailEntry = "thumbnail";

}  // namespace

std::string SaveStates::folderFor(const platform::FileSystem& files, const std::string& dataFolder,
                                  const std::string& projectPath) {
    if (dataFolder.empty() || projectPath.empty()) return {};
    // The same key as the story's read messages.
    const std::string key =
        platform::fileStem(ReadMessages::fileFor(files, dataFolder, projectPath));
    return platform::joinPath(platform::joinPath(dataFolder, "states"), key);
}

std::string SaveStates::pathOf(int slot) const {
    char name[32];
    std::snprintf(name, sizeof name, "slot-%02d.state", slot);
    return platform::joinPath(folder_, name);
}

bool SaveStates::makeFolders() {
    // The data folder and "states" may be missing too; one level at a time.
    const std::string states = platform::parentPath(folder_);
    for (const std::string& dir : {platform::parentPath(states), states, folder_})
        if (!dir.empty() && !files_.directoryExists(dir) && !files_.makeDirectory(dir))
            return false;
    return true;
}

bool SaveStates::write(int slot, PlayerState state, const Surface& screen, const std::string& date,
                       const std::string& message) {
    if (!kept() || slot < 0 || slot > kSlots || !makeFolders()) return false;
    StringList info;
    writeListString(info, "Slot.Date", date);
    writeListString(info, "Slot.Message", messageSummary(message, kMessageChars));
    state.put(kSlotEntry, joinLines(info));
    Surface thumbnail;
    thumbnail.assignPicture(shrinkPicture(screen, kThumbnailWidth, kThumbnailHeight));
    state.put(kThumbnailEntry, encodeStatePicture(thumbnail));
    return writeStateFile(files_, pathOf(slot), state);
}

bool SaveStates::read(int slot, PlayerState& state) const {
    return kept() && readStateFile(files_, pathOf(slot), state);
}

bool SaveStates::exists(int slot) const {
    return kept() && files_.exists(pathOf(slot));
}

bool SaveStates::remove(int slot) {
    return kept() && files_.remove(pathOf(slot));
}

SaveStates::Slot SaveStates::slot(int number) const {
    Slot s;
    s.used = exists(number);
    PlayerState state;
    if (!s.used || !read(number, state)) return s;
    s.readable = true;
    if (const std::string* bytes = state.find(kSlotEntry)) {
        const StringList info = splitLines(*bytes);
        s.date = readListString(info, "Slot.Date", "");
        s.message = readListString(info, "Slot.Message", "");
    }
    decodeStatePicture(state.find(kThumbnailEntry), s.thumbnail);
    return s;
}

std::string messageSummary(const std::string& sjis, size_t chars) {
    std::string plain;
    size_t count = 0;
    for (size_t i = 0; i < sjis.size() && count < chars;) {
        const size_t length = charLength(sjis, i);
        if (sjis[i] == '<') {
            const size_t close = sjis.find('>', i);
            if (close != std::string::npos) {
                i = close + 1;
                continue;
            }
        }
        const bool lineBreak = sjis[i] == '#' || sjis[i] == '\r' || sjis[i] == '\n';
        if (!(lineBreak && (plain.empty() || plain.back() == ' '))) {
            plain += lineBreak ? std::string(" ") : sjis.substr(i, length);
            ++count;
        }
        i += length;
    }
    return plain;
}

}  // namespace zarvo
