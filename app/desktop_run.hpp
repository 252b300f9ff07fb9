// Playing a story in a desktop window (SDL2). Returns the exit status, or -1 when no window can
// be opened (no display), so the caller can play headless instead.
#pragma once
#include <string>

namespace zarvo {

struct DesktopOptions {
    std::string projectPath;
    std::string programDir;
    int scale = 0;  // whole-number picture scale; 0 = the largest that fits the display
};

int runDesktop(const DesktopOptions& options);

}  // namespace zarvo
