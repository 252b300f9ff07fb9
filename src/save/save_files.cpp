#include "save/save_files.hpp"

#include <unistd.h>

#include <algorithm>
#include <array>

#include "audio/music_control.hpp"
#include "base/limits.hpp"
#include "base/name_value.hpp"
#include "base/save_container.hpp"
#include "base/sjis.hpp"
#include "base/text.hpp"
#include "formats/bmp.hpp"
#include "graphics/screen.hpp"
#include "interp/execution.hpp"
#include "platform/clock.hpp"
#include "platform/file_system.hpp"
#include "platform/notice_sink.hpp"
#include "story/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

using platform::BoxAnswer;
using platform::Notice;

namespace {

constexpr std::string_view kZarvo = "Zarvo";
constexpr std::string_view kStackEntry = "stack.info";
constexpr std::string_view kValueEntry = "valuevar.info";
constexpr std::string_view kTextEntry = "stringvar.info";
constexpr std::string_view kBackgroundEntry = "_background.bmp";
// The player's own entry: the original program reads entries by their names only.
constexpr std::string_view kHistoryEntry = "_zarvoplay.backlog";
constexpr size_t kHistoryLimit = 500;
// Every text section AutoLoad reads; each is checked before anything is restored.
constexpr std::array<std::string_view, 5> kTextSections{
    kStackEntry, "layer.info", "dynamiclayer.info", kValueEntry, kTextEntry};

// The sections of a save being written, straight into its package.
class PackageSections final : public SaveContainer {
  public:
    explicit PackageSections(PackageWriter& writer) : writer_(writer) {}
    bool writeSection(std::string_view name, const StringList& lines) override {
        return note(writeStringsEntry(writer_, lines, name));
    }
    bool readSection(std::string_view, StringList&) override { return false; }
    bool writeBytes(std::string_view name, std::string_view bytes) override {
        return note(writeStreamEntry(writer_, bytes, name));
    }
    bool ok() const { return ok_; }

  private:
    bool note(bool written) {
        ok_ = ok_ && written;
        return written;
    }
    PackageWriter& writer_;
    bool ok_ = true;
};

std::string forDisplay(const std::string& hostPath) {
    std::string sjis;
    return utf8ToSjis(hostPath, sjis) ? sjis : hostPath;
}

std::string folderOf(const std::string& path) {
    return platform::parentPath(path);
}

// The decoded bytes of an entry, which must come out whole. The data checksum is not compared:
// saves written elsewhere are not refused over how they computed it, and the checks of each
// section's contents tell damage from a good save. A section longer than `most` is damage too.
bool readWholeEntry(PackageReader& reader, int index, std::string& bytes,
                    uint64_t most = kMaxTextBytes) {
    bytes.clear();
    return readEntryIndexToStream(
        [&bytes, most](const char* data, size_t size) {
            if (bytes.size() + size > most) return false;
            bytes.append(data, size);
            return true;
        },
        index, reader);
}

std::string thumbnailBmp(Screen& screen) {
    Surface picture;
    if (LayerStack* s = screen.screen(0)) {
        picture.setSize(s->width(), s->height());
        // Everything but the topmost layer, which holds the message text.
        s->drawWithLower(s->layerAt(std::max(s->layerCount() - 2, 0)), picture);
    }
    return encodeBmp(
        shrinkPicture(picture, SaveFiles::kThumbnailWidth, SaveFiles::kThumbnailHeight));
}

std::string twoDigits(int v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

// The date as the stories' home systems showed it: short date, then the long time.
std::string saveDate(const platform::LocalTime& t) {
    return std::to_string(t.year) + "/" + twoDigits(t.month) + "/" + twoDigits(t.day) + " " +
           std::to_string(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
}

bool intLine(std::string_view value, bool required, int32_t min) {
    int32_t v;
    return value.empty() ? !required : tryParseInt(value, v) && v >= min;
}

// One frame of a saved stack: it must say where to go back to. Only the place resumed at once
// must exist; a deeper one that is missing is reported when a return reaches it.
bool frameIsSound(const StringList& frame, ScriptFile& script, bool resumed) {
    std::string_view book, page, index, value;
    if (!findNameValue(frame, CallStack::kBookName, book) ||
        !findNameValue(frame, CallStack::kPageName, page) ||
        !findNameValue(frame, CallStack::kCommandIndex, index) || !intLine(index, true, 0))
        return false;
    int32_t start, end;
    if (resumed && !script.findPage(book, page, start, end)) return false;
    for (std::string_view key :
         {RunState::kPlayerMode, RunState::kWaitTime, RunState::kActiveClick,
          RunState::kAnykeyClick, RunState::kTimer, RunState::kWindowIndex}) {
        if (findNameValue(frame, key, value) && !intLine(value, true, INT32_MIN)) return false;
    }
    return true;
}

// The stack section, top line first: frames of Name=Value lines, each closed by its border.
// At least one frame, the place to resume; anything that does not hold is damage.
bool stackIsSound(const StringList& lines, ScriptFile& script) {
    StringList frame;
    bool top = true;
    for (const std::string& line : lines) {
        if (line == CallStack::kBorder) {
            if (frame.empty() || !frameIsSound(frame, script, top)) return false;
            frame.clear();
            top = false;
        } else if (line.find('=') == std::string::npos) {
            return false;
        } else {
            frame.push_back(line);
        }
    }
    return !top && frame.empty();  // a last frame without its border was cut short
}

// A name may hold "=" (such a variable is set but never found), so a value is what follows the
// last one.
bool variablesAreSound(const StringList& lines, bool values) {
    for (const std::string& line : lines) {
        size_t eq = line.rfind('=');
        if (eq == std::string::npos) return false;
        int32_t v;
        if (values && !tryParseInt(std::string_view(line).substr(eq + 1), v)) return false;
    }
    return true;
}

// A copy of `path` beside it under a fresh hidden name, so that a rename can later replace it.
bool copyBeside(platform::FileSystem& files, const std::string& path, std::string& copy) {
    static unsigned counter = 0;
    std::string dir = folderOf(path);
    if (!dir.empty()) dir += '/';
    for (int attempt = 0; attempt < 16; ++attempt) {
        copy = dir + ".zarvo-save-" + std::to_string(getpid()) + "-" + std::to_string(++counter) +
               ".part";
        if (files.copyFile(path, copy)) return true;
        if (!files.exists(path)) break;
    }
    copy.clear();
    return false;
}

}  // namespace

SaveFiles::SaveFiles(const Services& services) : services_(services), notices_(services.notices) {}

SaveFiles::~SaveFiles() {
    abandonWriter();
}

std::string SaveFiles::saveFilePath(std::string_view scriptName) const {
    return services_.files.resolve(services_.story.dataDir(), scriptName);
}

std::string SaveFiles::settingsPath() const {
    return platform::joinPath(services_.story.dataDir(), kSettingsFile);
}

void SaveFiles::abandonWriter() {
    initWriter(writer_);  // an unfinished package is rolled back or removed
    if (!appendCopy_.empty()) {
        services_.files.remove(appendCopy_);
        appendCopy_.clear();
    }
}

bool SaveFiles::finishWriter() {
    if (!writer_.file) return true;
    std::string target = appendCopy_.empty() ? writer_.path : appendTarget_;
    bool ok = writeStringsEntry(writer_, info_, kInfoEntry) && finishPackage(writer_);
    bool replaced = writer_.replaced;
    if (ok && !appendCopy_.empty()) {
        ok = services_.files.rename(appendCopy_, target);
        replaced = !services_.files.exists(appendCopy_);
    }
    if (ok)
        appendCopy_.clear();
    else
        abandonWriter();
    if (!ok) reportWriteFailure(target, replaced);
    return ok;
}

void SaveFiles::reportWriteFailure(const std::string& path, bool replaced) {
    notices_.tell(replaced ? Notice::SaveNotFlushed : Notice::SaveWriteFailed,
                  {forDisplay(services_.files.placeOf(path))});
}

void SaveFiles::reportDamaged(const std::string& path, std::string_view entry) {
    notices_.tell(Notice::SaveDamaged, {forDisplay(services_.files.placeOf(path)), entry});
}

bool SaveFiles::ensureSaveFolder(const std::string& path) {
    platform::FileSystem& files = services_.files;
    std::string dir = folderOf(path);
    if (dir.empty() || files.directoryExists(dir)) return true;
    if (notices_.tell(Notice::AskCreateSaveFolder, {forDisplay(files.placeOf(dir))}) !=
        BoxAnswer::Yes)
        return false;
    if (!files.makeDirectory(dir)) {
        notices_.tell(Notice::FolderCreateFailed);
        return false;
    }
    return true;
}

bool SaveFiles::openFailed() {
    openFailed_ = true;
    return false;
}

bool SaveFiles::openSaveFile(const std::string& path, FileMode mode) {
    Story& story = services_.story;
    // Re-opening must not leave the earlier file without its end.
    if (writer_.file) finishWriter();
    story.closeSavePackage();
    openMode_ = OpenMode::None;
    openFailed_ = false;
    info_.clear();
    if (mode == FileMode::Read) {
        if (!story.openSavePackage(path)) {
            // A slot never saved to is no damage: nothing is said.
            if (services_.files.exists(path)) reportDamaged(path, "");
            return openFailed();
        }
        openMode_ = OpenMode::Read;
        return readEntryToStrings(kInfoEntry, info_, story.savePackage());
    }
    if (!ensureSaveFolder(path)) return openFailed();

    initWriter(writer_);
    setMagic(writer_, kMagic);
    // The file itself is touched only by the rename that ends a complete append. A save whose
    // entries cannot be read, or that cannot be copied, is never replaced by a new one holding
    // nothing but the list.
    if (mode == FileMode::Append && hasMagic(services_.files, path, kMagic)) {
        if (!copyBeside(services_.files, path, appendCopy_)) {
            reportWriteFailure(path);
            return openFailed();
        }
        PackageReader old;
        bool readable = openPackage(services_.files, appendCopy_, old);
        if (readable) readEntryToStrings(kInfoEntry, info_, old);
        closePackage(old);
        if (!readable || !appendPackage(services_.files, writer_, appendCopy_)) {
            info_.clear();
            abandonWriter();
            notices_.tell(Notice::SaveAppendUnreadable,
                          {forDisplay(services_.files.placeOf(path))});
            return openFailed();
        }
        appendTarget_ = path;
    } else if (!createPackage(services_.files, writer_, path)) {
        reportWriteFailure(path);
        return openFailed();
    }
    openMode_ = OpenMode::Write;
    return true;
}

bool SaveFiles::closeSaveFile() {
    services_.story.closeSavePackage();
    bool ok = finishWriter();
    info_.clear();
    openMode_ = OpenMode::None;
    openFailed_ = false;
    return ok;
}

bool SaveFiles::autoSave(const std::string& path) {
    Story& story = services_.story;
    Execution& execution = services_.execution;
    if (!ensureSaveFolder(path)) return false;
    ScriptFile& script = story.script();
    bool legacy = script.readHeadBool(kZarvo, "LegacyMode", false);

    // Written beside the old save and moved over it only when every entry is in.
    PackageWriter writer;
    initWriter(writer);
    setMagic(writer, kMagic);
    if (!createPackage(services_.files, writer, path)) {
        reportWriteFailure(path);
        return false;
    }
    PackageSections sections(writer);
    sections.writeBytes(kThumbnailEntry, thumbnailBmp(services_.screen));
    if (execution.stack().lineCount() > 0) {
        execution.state().saveInfo(sections);
    } else {
        // Saved in the main flow, with no call to return to: the command after this one is the
        // place to resume, ready to run.
        CallStack resume;
        resume.setFrameText(CallStack::kBookName, execution.bookName());
        resume.setFrameText(CallStack::kPageName, execution.pageName());
        resume.setFrameValue(CallStack::kCommandIndex, execution.nextIndex());
        resume.push();
        resume.saveInfo(sections);
    }
    if (!services_.screen.saveInfo(sections, legacy) && sections.ok())
        notices_.tell(Notice::ScreenSaveFailed);
    services_.music.writeMusicInfo(info_);
    story.variables().saveInfo(sections);
    sections.writeSection(kHistoryEntry, history_);
    writeListInt(info_, "SaveSystem.Version", kVersion);
    writeListString(info_, "SaveSystem.ZarvoID", script.readHeadString(kZarvo, "ZarvoID", ""));
    writeListString(info_, "SaveSystem.BuildID", script.readHeadString(kZarvo, "BuildID", ""));
    writeListString(info_, "Supplement.SaveDate", saveDate(services_.clock.localTime()));
    sections.writeSection(kInfoEntry, info_);
    if (!sections.ok() || !finishPackage(writer)) {
        const bool replaced = writer.replaced;
        initWriter(writer);
        reportWriteFailure(path, replaced);
        return false;
    }
    return true;
}

bool SaveFiles::autoLoad(const std::string& path) {
    Story& story = services_.story;
    Execution& execution = services_.execution;
    ScriptFile& script = story.script();
    bool legacy = script.readHeadBool(kZarvo, "LegacyMode", false);

    PackageReader reader;
    if (!openPackage(services_.files, path, reader)) {
        // No file is no save; a file that does not open as a package is a damaged one.
        if (services_.files.exists(path)) reportDamaged(path, "");
        return false;
    }
    int infoIndex = findEntry(reader, kInfoEntry);
    if (infoIndex < 0) return false;
    std::string bytes;
    if (!readWholeEntry(reader, infoIndex, bytes)) {
        reportDamaged(path, kInfoEntry);
        return false;
    }
    info_ = splitLines(bytes);
    if (readListInt(info_, "SaveSystem.Version", kVersion) > kVersion) {
        info_.clear();
        return false;
    }
    if (script.readHeadString(kZarvo, "BuildID", "") !=
            readListString(info_, "SaveSystem.BuildID", "") &&
        notices_.tell(Notice::IncompatibleSave) == BoxAnswer::Abort) {
        info_.clear();
        return false;
    }

    // Everything is read and looked over before the first change to the running story.
    MemorySaveContainer sections;
    std::string_view damaged;
    for (std::string_view name : kTextSections) {
        int index = findEntry(reader, name);
        if (index < 0) continue;
        if (!readWholeEntry(reader, index, bytes)) {
            damaged = name;
            break;
        }
        sections.writeSection(name, splitLines(bytes));
    }
    if (damaged.empty() && legacy) {
        int index = findEntry(reader, kBackgroundEntry);
        if (index >= 0 && readWholeEntry(reader, index, bytes, kMaxPictureFileBytes))
            sections.writeBytes(kBackgroundEntry, bytes);
        else if (index >= 0)
            damaged = kBackgroundEntry;
    }
    // The history is the player's, not the story's: a damaged one costs only itself.
    StringList history;
    if (int index = findEntry(reader, kHistoryEntry);
        index >= 0 && readWholeEntry(reader, index, bytes))
        history = splitLines(bytes);
    if (history.size() > kHistoryLimit)
        history.erase(history.begin(), history.begin() + static_cast<std::ptrdiff_t>(
                                                             history.size() - kHistoryLimit));
    closePackage(reader);
    // A save that cannot say where to go on is refused like any other damage.
    StringList lines;
    if (damaged.empty() &&
        (!sections.readSection(kStackEntry, lines) || !stackIsSound(lines, script)))
        damaged = kStackEntry;
    std::string screenSection;
    if (damaged.empty() && !Screen::checkInfo(sections, legacy, screenSection))
        damaged = screenSection;
    if (damaged.empty() && sections.readSection(kValueEntry, lines) &&
        !variablesAreSound(lines, true))
        damaged = kValueEntry;
    if (damaged.empty() && sections.readSection(kTextEntry, lines) &&
        !variablesAreSound(lines, false))
        damaged = kTextEntry;
    if (!damaged.empty()) {
        info_.clear();
        reportDamaged(path, damaged);
        return false;
    }

    RunState& process = execution.state();
    if (!process.loadInfo(sections)) {  // the check above leaves nothing that fails here
        info_.clear();
        return false;
    }
    std::string messageLayer = process.layerName();
    execution.resumeFromFrame();
    // "_reload" runs first and its Return resumes the saved place. Without the system library
    // the story resumes there at once instead of stopping at a page that does not exist.
    int32_t start, end;
    if (script.findPage("_system", "_reload", start, end))
        execution.callPageKeepState("_system", "_reload");

    Screen& screen = services_.screen;
    if (!screen.loadInfo(sections, legacy)) notices_.tell(Notice::ScreenLoadFailed);
    services_.music.readMusicInfo(info_);
    story.variables().loadInfo(sections);
    history_ = std::move(history);
    info_.clear();

    // A message in progress is shown again from its start: the screen shows what lies under it.
    bool hasMessageLayer = false;
    if (LayerStack* s = screen.screen(0); s && !messageLayer.empty())
        for (int32_t i = 1; i < s->layerCount(); ++i)
            hasMessageLayer = hasMessageLayer || s->layerAt(i)->name == messageLayer;
    if (hasMessageLayer) screen.setLayerVisible(0, messageLayer, false);
    screen.compose(0);
    if (hasMessageLayer) screen.setLayerVisible(0, messageLayer, true);
    screen.paint(0);
    return true;
}

std::string SaveFiles::getInfoValue(std::string_view key) const {
    return readListString(info_, key, "");
}

void SaveFiles::setInfoValue(std::string_view key, std::string_view value) {
    writeListString(info_, key, value);
}

std::string SaveFiles::getSettingValue(std::string_view key) const {
    return readListString(settings_, key, "");
}

void SaveFiles::setSettingValue(std::string_view key, std::string_view value) {
    writeListString(settings_, key, value);
}

std::string SaveFiles::loadValue(std::string_view key) const {
    if (openFailed_) return {};
    return openMode_ == OpenMode::None ? getSettingValue(key) : getInfoValue(key);
}

void SaveFiles::saveValue(std::string_view key, std::string_view value) {
    if (openFailed_) return;
    if (openMode_ == OpenMode::None)
        setSettingValue(key, value);
    else
        setInfoValue(key, value);
}

bool SaveFiles::loadSystemSettings(const std::string& path) {
    std::string bytes;
    if (!services_.files.exists(path) ||
        !platform::readFileAtMost(services_.files, path, kMaxTextBytes, bytes))
        return false;
    settings_ = splitLines(bytes);
    MusicControl& music = services_.music;
    Story& story = services_.story;
    music.setMusicEnabled(readListBool(settings_, "System.UseMusic", true));
    music.setSoundEnabled(readListBool(settings_, "System.UseSound", true));
    int32_t musicVolume = readListInt(settings_, "System.MusicVolume", 100);
    int32_t soundVolume = readListInt(settings_, "System.SoundVolume", 100);
    music.setMusicVolume(musicVolume);
    music.setSoundVolume(soundVolume);
    story.variables().setValue("%_musicvolume%", musicVolume);
    story.variables().setValue("%_soundvolume%", soundVolume);
    story.windowLeft = readListInt(settings_, "System.Left", 0);
    story.windowTop = readListInt(settings_, "System.Top", 0);
    story.windowWidth = readListInt(settings_, "System.Width", 0);
    story.windowHeight = readListInt(settings_, "System.Height", 0);
    story.windowFullScreen = readListBool(settings_, "System.FullScreen", false);
    story.systemFont = readListString(settings_, "System.Font", texts::kDefaultSystemFont);
    return true;
}

bool SaveFiles::saveSystemSettings(const std::string& path) {
    // A story that never had a data folder gets one here, as its first save would: without
    // it, values, volumes and the window position would be lost at every shutdown. Nobody is
    // asked, the program is closing; a folder the user refused at the start is not made.
    std::string dir = folderOf(path);
    if (!dir.empty() && !services_.files.directoryExists(dir)) {
        if (services_.story.dataDirDeclined()) return true;
        if (!services_.files.makeDirectory(dir)) return false;
    }
    const MusicControl& music = services_.music;
    const Story& story = services_.story;
    writeListBool(settings_, "System.UseMusic", music.musicEnabled());
    writeListBool(settings_, "System.UseSound", music.soundEnabled());
    writeListInt(settings_, "System.MusicVolume", music.getMusicVolume());
    writeListInt(settings_, "System.SoundVolume", music.getSoundVolume());
    writeListInt(settings_, "System.Left", story.windowLeft);
    writeListInt(settings_, "System.Top", story.windowTop);
    // Only once the reader has had a window: a file from elsewhere keeps its own lines.
    if (story.windowWidth > 0 && story.windowHeight > 0) {
        writeListInt(settings_, "System.Width", story.windowWidth);
        writeListInt(settings_, "System.Height", story.windowHeight);
    }
    // Only once set: a file from elsewhere keeps its own lines.
    if (story.windowFullScreen || findNameLine(settings_, "System.FullScreen") >= 0)
        writeListBool(settings_, "System.FullScreen", story.windowFullScreen);
    writeListString(settings_, "System.Font", story.systemFont);
    return services_.files.writeFile(path, joinLines(settings_));
}

}  // namespace zarvo
