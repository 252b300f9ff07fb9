// Saved games and the settings kept between runs. A save file is a package whose entries hold
// each controller's state (call stack with the run state, layers, variables, a thumbnail and an
// information list); AutoSave writes the whole state and AutoLoad restores it. Open, Create,
// Append and Close open a save file so that single keys of its information list can be read and
// written. The system settings are a Name=Value list in the data folder's "c_save00.svi".
//
// Nothing here ever replaces a good file with a damaged one: packages are written beside their
// target and moved over it only when complete, and a save file is read and checked in full
// before any of the running story is touched.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/package.hpp"
#include "base/string_list.hpp"

namespace zarvo {

namespace platform {
class Clock;
class FileSystem;
class NoticeSink;
}  // namespace platform

class Execution;
class MusicControl;
class Screen;
class Story;

class SaveFiles {
  public:
    static constexpr std::string_view kMagic = "QZ7SAVE";
    static constexpr std::string_view kSettingsFile = "c_save00.svi";
    static constexpr std::string_view kInfoEntry = "savefile.info";
    static constexpr std::string_view kThumbnailEntry = "_smallimage.bmp";
    static constexpr int32_t kVersion = 1;
    static constexpr int32_t kThumbnailWidth = 80;
    static constexpr int32_t kThumbnailHeight = 60;

    enum class OpenMode : uint8_t { None = 0, Read = 1, Write = 2 };
    // Read an existing save, write a new one, or write one that keeps the entries already there.
    enum class FileMode : uint8_t { Read, Create, Append };

    struct Services {
        Story& story;
        Execution& execution;
        Screen& screen;
        MusicControl& music;
        platform::NoticeSink& notices;
        platform::FileSystem& files;
        platform::Clock& clock;
    };

    // Failures and questions about save files go to `notices`.
    explicit SaveFiles(const Services& services);
    // A file still open for writing is abandoned: its old contents stay as they were.
    ~SaveFiles();
    SaveFiles(const SaveFiles&) = delete;
    SaveFiles& operator=(const SaveFiles&) = delete;

    // Host path of a save file named by the script: in the data folder.
    std::string saveFilePath(std::string_view scriptName) const;
    std::string settingsPath() const;

    // Opens a save file for its information list. A file still open for writing is finished
    // first. Read: the file becomes the save package slot (its pictures are found first) and
    // its list is loaded. Create: an empty list. Append: the list it has, and the file keeps
    // its entries; a save whose entries cannot be read is refused, never replaced. False when
    // the file cannot be opened (said in a box, except for a slot never saved to); until the
    // next Open, Create, Append or Close, values then go nowhere and read as empty, so that
    // one slot's values never mix with another's or with the settings.
    bool openSaveFile(const std::string& path, FileMode mode);
    // Writes the list into a file open for writing and closes it. False when that failed; the
    // file then keeps what it had.
    bool closeSaveFile();

    bool autoSave(const std::string& path);
    // False, with the story as it was, when the file is missing, of a newer version, refused at
    // the compatibility question, or damaged (with a message; a save without a place to resume
    // is damaged too).
    bool autoLoad(const std::string& path);

    std::string getInfoValue(std::string_view key) const;
    void setInfoValue(std::string_view key, std::string_view value);
    std::string getSettingValue(std::string_view key) const;
    void setSettingValue(std::string_view key, std::string_view value);
    // "LoadValue" and "SaveValue": the open file's list, or the settings when none is open.
    std::string loadValue(std::string_view key) const;
    void saveValue(std::string_view key, std::string_view value);

    // A missing file changes nothing. True when the file was read.
    bool loadSystemSettings(const std::string& path);
    // Makes the data folder (one level) when it is missing. False when the file could not be
    // written; a folder the reader refused is no failure (nothing is written there).
    bool saveSystemSettings(const std::string& path);

    OpenMode openMode() const { return openMode_; }
    const StringList& info() const { return info_; }
    // The reader's message history (the backlog), one message a line, oldest first: every
    // AutoSave keeps it under an entry the original program does not read, AutoLoad brings it
    // back (a save without one, or with a damaged one, loads with no history).
    StringList& messageHistory() { return history_; }
    const StringList& settings() const { return settings_; }

  private:
    // Asks before making the missing folder of a save; false when there is none to write in.
    bool ensureSaveFolder(const std::string& path);
    bool openFailed();
    bool finishWriter();
    void abandonWriter();
    // `replaced`: the new file took the old one's place, but could not be made sure of.
    void reportWriteFailure(const std::string& path, bool replaced = false);
    void reportDamaged(const std::string& path, std::string_view entry);

    Services services_;
    platform::NoticeSink& notices_;
    StringList settings_;
    StringList info_;
    StringList history_;
    OpenMode openMode_ = OpenMode::None;
    // The last Open, Create or Append failed: values neither come from nor go anywhere.
    bool openFailed_ = false;
    PackageWriter writer_;
    // An append goes to a copy beside the file, moved over it when finished.
    std::string appendCopy_;
    std::string appendTarget_;
};

}  // namespace zarvo
