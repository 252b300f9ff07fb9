// Playing a story in a desktop window (SDL2). Returns the exit status, or -1 when no window can
// be opened (no display), so the caller can play headless instead.
#pragma once
#include <string>

#include "backends/headless/headless_run.hpp"

namespace zarvo {

struct DesktopOptions {
    std::string projectPath;
    std::string programDir;
    int scale = 0;  // whole-number picture scale; 0 = the largest that fits the display
    // Every input and dialog answer in the events format, timed so that a headless run with
    // these events replays this one exactly. Empty: not recorded.
    std::string recordPath;
    std::string tracePath;  // as a headless run writes them; empty: none
    std::string shotPath;
    std::string dumpPath;
    ReaderSettings settings;  // the reader's settings file, read messages, --text-speed
    bool english = false;     // the player's own texts in English
    // The files the story is read through (an archive's); none: the local ones.
    platform::FileSystem* files = nullptr;
};

int runDesktop(const DesktopOptions& options);

}  // namespace zarvo
