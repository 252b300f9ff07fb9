// Story tests: a small script written as readable UTF-8, converted to code page 932 with CR LF,
// run on the headless host; the trace, dialogs and variable dump come back for assertions.
#pragma once
#include <string>
#include <vector>

#include "backends/headless/headless_run.hpp"
#include "graphics/surface.hpp"
#include "support/png_files.hpp"
#include "support/temp_dir.hpp"

namespace zarvo::test {

// A script with a Zarvo head (FileType QZ7 unless `head` says otherwise), and `body` after it.
std::string storyScript(const std::string& body, const std::string& head = "FileType=QZ7\n");

struct StoryRun {
    int status = -1;
    std::vector<std::string> trace;  // every line of the trace, UTF-8
    std::vector<std::string>
        commands;  // trace lines of commands without their time: "BOOK/PAGE#I KEYWORD"
    std::vector<std::string> boxes;  // trace lines of dialogs without their time: "box KIND: TEXT"
    std::vector<std::string> cursors;  // cursor changes with their time: "MS cursor select"
    std::vector<std::string> player;   // the player's own modes with their time: "MS player ..."
    std::vector<std::string> dump;
    // The dump without the volume variables that the settings written by an earlier run set.
    std::vector<std::string> userDump() const;
    Surface shot;  // screen 0 at the end of the run (10 x 10 white when none was written)
    bool hasCommand(const std::string& line) const;
    // The time of the first trace line ending in `command` ("@Wait", "cursor select"), or -1.
    long timeOf(const std::string& command) const;
};

class StoryBuilder {
  public:
    // The program folder starts with a system library whose pages only return.
    StoryBuilder();
    // Writes the project file (code page 932, CR LF) and returns its path.
    std::string writeScript(const std::string& utf8Body, const std::string& name = "story.zp7");
    // Adds a system library with the given "_system" book pages to the program folder.
    void writeLibrary(const std::string& utf8SystemScript);
    // A picture file in the project's folder: `width` x `height` of one colour (0x00BBGGRR).
    void writePicture(const std::string& name, int32_t width, int32_t height, uint32_t color);
    // Events in the --events syntax, UTF-8.
    StoryRun run(const std::string& projectPath, const std::string& events = "",
                 uint32_t maxTime = 0);

    // The reader's settings file the runs share, inside `dir`.
    std::string settingsPath() const { return dir.file("config/zarvoplay/settings.ini"); }

    TempDir dir;
    std::string programDir;
    bool english = false;     // the player's own texts in English
    ReaderSettings settings;  // of every run
};

}  // namespace zarvo::test
