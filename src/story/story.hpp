// The hub through which the player reaches a story: it opens the project (plain script or
// package), the system library and save packages, resolves data files by name, decides the data
// folder (extracting package entries into it on request), owns the script model and the
// interpreter state, and moves the position with jump, call and return.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "archive/package.hpp"
#include "formats/image_plugin_host.hpp"
#include "graphics/layers.hpp"
#include "interp/call_stack.hpp"
#include "interp/run_state.hpp"
#include "script/command_cache.hpp"
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
    // What ResolveDataFile answers for a file found nowhere.
    static constexpr std::string_view kNoEntry = "No Entry";

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

    // Host path of a data file named by the script (data folder first, then the project's
    // folder), or kNoEntry.
    std::string resolveDataFile(std::string_view name);
    // Loads a picture by its file name: PNG through the surface itself, BMP decoded and taken
    // over; from the save package, then the project (package or data folders), then the library.
    bool loadGraphic(std::string_view name, Surface& surface);
    // A text entry from the save package, the project package or the library, in that order.
    bool loadStringList(std::string_view entryName, StringList& lines);
    // Whether LoadGraphic would find a picture of that name, searching in its order without
    // decoding anything.
    bool pictureExists(std::string_view name);
    // Whether the music and sound commands would find a plain file of that name: on disk now,
    // or an entry that the automatic extraction writes into the data folder.
    bool dataFileExists(std::string_view name);

    void jumpTo(std::string_view book, std::string_view page);
    void callPage(std::string_view book, std::string_view page);
    void callPageKeepState(std::string_view book, std::string_view page);
    bool returnFromCall();
    void writeStackInfo(StringList& list);

    ScriptFile& script() { return *script_; }
    CallStack& stack() { return *stack_; }
    RunState& process() { return *process_; }
    CommandCache& commands() { return *commands_; }
    Variables& variables() { return *variables_; }
    LayerDefinitions& layers() { return *layers_; }
    PackageReader& projectPackage() { return projectPackage_; }
    PackageReader& libraryPackage() { return libraryPackage_; }
    PackageReader& savePackage() { return savePackage_; }

    int32_t commandIndex = 0;  // index of the next command of the current page
    int32_t windowLeft = 0, windowTop = 0;
    std::string systemFont;  // fallback font face (code page 932); set at construction

    const std::string& projectPath() const { return projectPath_; }
    const std::string& projectDir() const { return projectDir_; }
    const std::string& dataDir() const { return dataDir_; }
    bool fatalError() const { return fatalError_; }
    // The user said no to making the data folder: nothing makes it unasked in this run.
    bool dataDirDeclined() const { return dataDirDeclined_; }

  private:
    bool openProjectFile();
    bool checkVersions();
    void extractEntries();
    void fail();
    bool loadGraphicUnguarded(std::string_view name, Surface& surface);
    bool decodeFromPackage(PackageReader& package, std::string_view name, bool bmp, Picture& out);
    bool decodeFromDisk(std::string_view name, bool bmp, Picture& out);
    ImagePluginHost& plugIns();
    void callPage(std::string_view book, std::string_view page, bool keepState);

    Services services_;
    PackageReader projectPackage_;
    PackageReader libraryPackage_;
    PackageReader savePackage_;
    std::unique_ptr<ScriptFile> script_;
    std::unique_ptr<CallStack> stack_;
    std::unique_ptr<RunState> process_;
    std::unique_ptr<CommandCache> commands_;
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
