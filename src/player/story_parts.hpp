// The story and everything that runs and shows it — its boxes and notices, the script and its
// position, the screen, music and sound, the save files, the interpreter and, in debug mode, the
// debug window — built together, each handed the ones before it.
#pragma once
#include <memory>
#include <string>

#include "commands/interpreter.hpp"
#include "debug/debug_hooks.hpp"
#include "graphics/screen.hpp"
#include "interp/execution.hpp"
#include "player/ending_dialogs.hpp"
#include "story/reader_copy_file_system.hpp"
#include "story/story.hpp"

namespace zarvo {

namespace platform {
class Clock;
class FileSystem;
class FontEngine;
class MediaPlayerFactory;
}  // namespace platform

class MusicControl;
class Notices;
class SaveFiles;

struct StoryParts {
    struct Services {
        platform::Host& host;
        platform::Clock& clock;
        platform::Dialogs& dialogs;
        platform::FileSystem& files;
        platform::FontEngine* fonts;
        platform::MediaPlayerFactory* players;
    };

    // `programDir` holds the system library; `program` ends the program and changes the window.
    StoryParts(const Services& services, const std::string& programDir, ProgramControl& program);
    StoryParts(const StoryParts&) = delete;
    StoryParts& operator=(const StoryParts&) = delete;
    ~StoryParts();

    // Before the story at `path` opens (opening may extract files already): when its own folder
    // cannot be written (an archive, a read-only folder), its writes go to the reader's data
    // folder under a key of its content instead.
    void keepWritesOf(const std::string& path);

    // Every file the pieces below touch goes through it.
    std::unique_ptr<ReaderCopyFileSystem> files;
    std::string programDir;        // holds the system library
    std::string readerDataFolder;  // empty: a story writes only beside itself
    std::unique_ptr<EndingDialogs> dialogs;
    std::unique_ptr<Notices> notices;  // the engine's boxes, shown through `dialogs`
    std::unique_ptr<Story> story;
    std::unique_ptr<Execution> execution;
    std::unique_ptr<Screen> screen;
    std::unique_ptr<MusicControl> music;
    std::unique_ptr<SaveFiles> save;
    std::unique_ptr<Interpreter> interpreter;
    std::unique_ptr<DebugHooks> debug;  // only in debug mode
    bool legacyMode = false;
};

}  // namespace zarvo
