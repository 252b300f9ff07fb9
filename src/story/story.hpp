// A story as files: it opens the project (plain script or package), the system library and save
// packages, decides the data folder (extracting package entries into it on request), owns the
// script model (script, variables, layer definitions) and answers where each file is.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "archive/package.hpp"
#include "formats/image_plugin_host.hpp"
#include "formats/picture.hpp"
#include "script/layer_definitions.hpp"
#include "script/script_file.hpp"
#include "script/variables.hpp"

namespace zarvo {

namespace platform {
class Clock;
class FileSystem;
class Host;
class NoticeSink;
}  // namespace platform

class Story {
  public:
    struct Services {
        // Asked to terminate after a fatal opening error; none where nothing runs (checking).
        platform::Host* host = nullptr;
        platform::Clock& clock;
        platform::NoticeSink& notices;
        platform::FileSystem& files;
        std::string programDir;  // where image plug-ins (*.spi) are looked for
        // Open without creating the data folder or writing package entries into it (checking
        // a story); the data folder is still chosen as for a run.
        bool readOnly = false;
    };

    explicit Story(const Services& services);
    ~Story();

    // `path` is a host path. False after a fatal problem: the user has been told, the host asked
    // to terminate and fatalError() is set.
    bool openProject(const std::string& path);
    bool openLibrary(const std::string& path);
    void closeProject();
    void closeLibrary();
    bool openSavePackage(const std::string& path);
    void closeSavePackage();
    bool isPackaged() const { return projectPackage_.isOpen(); }

    // Host path of a plain file named by the script: in the data folder, else in the project's
    // folder. Nothing when it is in neither.
    std::optional<std::string> findDataFile(std::string_view name);
    // Decodes a picture by its file name: from the save package, then the project (package or
    // data folders), then the library.
    bool loadPicture(std::string_view name, Picture& picture);
    // A text entry from the save package, the project package or the library, in that order.
    bool loadStringList(std::string_view entryName, StringList& lines);
    // Whether loadPicture would find a picture of that name, without decoding anything.
    bool pictureExists(std::string_view name);
    // Whether the music and sound commands would find a plain file of that name: on disk now,
    // or an entry that the automatic extraction writes into the data folder.
    bool dataFileExists(std::string_view name);

    // Where the story begins: the head's start book and page.
    std::string startBook() const;
    std::string startPage() const;

    ScriptFile& script() { return *script_; }
    Variables& variables() { return *variables_; }
    LayerDefinitions& layers() { return *layers_; }
    PackageReader& projectPackage() { return projectPackage_; }
    PackageReader& libraryPackage() { return libraryPackage_; }
    PackageReader& savePackage() { return savePackage_; }

    int32_t windowLeft = 0, windowTop = 0;
    int32_t windowWidth = 0, windowHeight = 0;  // 0: the size the player picks
    bool windowFullScreen = false;              // the window was in full screen when last closed
    std::string systemFont;  // fallback font face (code page 932); set at construction

    const std::string& projectPath() const { return projectPath_; }
    const std::string& projectDir() const { return projectDir_; }
    const std::string& dataDir() const { return dataDir_; }
    bool fatalError() const { return fatalError_; }
    // The user said no to making the data folder: nothing makes it unasked in this run.
    bool dataDirDeclined() const { return dataDirDeclined_; }

  private:
    bool openProjectFile();
    // A folder given as the project: the one story file at its top becomes the project.
    bool findProjectInFolder(const std::string& folder);
    bool checkVersions();
    void extractEntries();
    void fail();
    // One place a named file may be: a package, or a plain file on disk.
    struct Source {
        PackageReader* package = nullptr;
        std::string path;  // when not in a package
    };
    // The one search order of every lookup: the open save package, then the project (its
    // package, or the plain file findDataFile finds), then the system library. Stops at the
    // first source `take` accepts and says whether one did.
    bool search(std::string_view name, const std::function<bool(const Source&)>& take);
    bool loadPictureUnguarded(std::string_view name, Picture& picture);
    bool decodeFromPackage(PackageReader& package, std::string_view name, bool bmp, Picture& out);
    bool decodeFromDisk(const std::string& path, std::string_view name, bool bmp, Picture& out);
    ImagePluginHost& plugIns();

    Services services_;
    PackageReader projectPackage_;
    PackageReader libraryPackage_;
    PackageReader savePackage_;
    std::unique_ptr<ScriptFile> script_;
    std::unique_ptr<Variables> variables_;
    std::unique_ptr<LayerDefinitions> layers_;
    std::unique_ptr<ImagePluginHost> susie_;
    bool susieActive_ = false;  // plug-ins are loaded on first need, until the project closes
    std::string projectPath_;
    std::string projectDir_;  // host folder of the project file, no trailing separator
    std::string dataDir_;     // host folder searched first; empty until a project is open
    bool fatalError_ = false;
    bool dataDirDeclined_ = false;
};

}  // namespace zarvo
