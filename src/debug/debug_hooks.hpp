// What the main loop sees of the debug window: a gate before each step and a refresh after it.
// The window itself (desktop or none) is made by whoever runs the player; the main window only
// asks for it when a packaged story turns debug mode on, and owns what it gets.
#pragma once
#include <functional>
#include <memory>

namespace zarvo {

class Execution;
class Screen;
class Story;

class DebugHooks {
  public:
    virtual ~DebugHooks() = default;
    // Before each main-loop step: pumps messages and, while paused, holds the step back.
    virtual void debugGate() = 0;
    // After each step that ran a command: rebuilds the lists shown.
    virtual void refreshDebugInfo() = 0;
};

// Where the main window wants its debug window and what it shows.
struct DebugWindowRequest {
    Story* story = nullptr;
    Execution* execution = nullptr;
    Screen* screen = nullptr;
    int left = 0, top = 0;  // desktop position: right of the main window
    int imageWidth = 640;   // the main screen's width the position was taken from
};

using DebugWindowFactory = std::function<std::unique_ptr<DebugHooks>(const DebugWindowRequest&)>;

}  // namespace zarvo
