// A desktop run of the demo, played by hand in real time (input pushed from another thread),
// recorded, and replayed headless: the replay must do exactly what the run did.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "backends/headless/headless_run.hpp"
#include "desktop_run.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
using test::readFile;

class HandInput {
  public:
    // Waits until the window exists (the record has begun).
    bool waitForWindow(const std::string& recordPath) {
        for (int i = 0; i < 200; ++i) {
            std::this_thread::sleep_for(50ms);
            if (std::filesystem::exists(recordPath) && std::filesystem::file_size(recordPath) > 0) {
                for (Uint32 id = 1; id < 8; ++id)
                    if (SDL_GetWindowFromID(id)) {
                        window_ = id;
                        return true;
                    }
            }
        }
        return false;
    }
    void click(int x, int y) {
        SDL_Event ev{};
        ev.type = SDL_MOUSEMOTION;
        ev.motion.windowID = window_;
        ev.motion.x = x;
        ev.motion.y = y;
        SDL_PushEvent(&ev);
        ev = {};
        ev.type = SDL_MOUSEBUTTONDOWN;
        ev.button.windowID = window_;
        ev.button.button = SDL_BUTTON_LEFT;
        ev.button.x = x;
        ev.button.y = y;
        SDL_PushEvent(&ev);
    }
    void key(SDL_Keycode sym, bool down = true) {
        SDL_Event ev{};
        ev.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        ev.key.windowID = window_;
        ev.key.keysym.sym = sym;
        SDL_PushEvent(&ev);
    }
    void quit() {
        SDL_Event ev{};
        ev.type = SDL_QUIT;
        SDL_PushEvent(&ev);
    }

  private:
    Uint32 window_ = 0;
};

TEST(RecordedRun, HeadlessReplayOfTheDemoMatchesTheDesktopRun) {
    // Never a real display or sound card: CI has none, and a developer's desktop must stay quiet.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    test::TempDir dir;
    // Each run on a fresh copy: a run leaves settings behind that the next would read.
    std::filesystem::copy(ZARVO_DEMO_DIR, dir.file("desktop"));
    std::filesystem::copy(ZARVO_DEMO_DIR, dir.file("replay"));

    DesktopOptions desktop;
    desktop.projectPath = dir.file("desktop/demo.zp7");
    desktop.programDir = ZARVO_PROGRAM_DIR;
    desktop.scale = 1;
    desktop.recordPath = dir.file("record.txt");
    desktop.tracePath = dir.file("desktop-trace.txt");
    desktop.shotPath = dir.file("desktop.png");

    std::atomic<bool> handsReady{false};
    std::thread hands([&] {
        HandInput input;
        if (!input.waitForWindow(desktop.recordPath)) {
            input.quit();
            return;
        }
        handsReady = true;
        // Through the opening's two key waits, the menu's first button, keys through the
        // guide's messages, Ctrl held over more of them, the choice that follows, and away.
        auto at = [start = std::chrono::steady_clock::now()](int ms) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(ms));
        };
        at(2000), input.click(320, 190);
        at(2600), input.key(SDLK_SPACE);
        at(4500), input.click(320, 190);
        for (int ms : {7500, 8300, 9100}) at(ms), input.key(SDLK_SPACE);
        at(9400), input.key(SDLK_LCTRL);
        at(10900), input.key(SDLK_LCTRL, false);
        at(11200), input.click(320, 180);
        at(12200), input.click(320, 180);
        at(13200);
        input.quit();
    });
    int status = runDesktop(desktop);
    hands.join();
    if (status < 0) GTEST_SKIP() << "no window could be opened";
    ASSERT_TRUE(handsReady) << "the story never started";
    EXPECT_EQ(status, kExitEnded);

    HeadlessOptions replay;
    replay.projectPath = dir.file("replay/demo.zp7");
    replay.programDir = ZARVO_PROGRAM_DIR;
    replay.tracePath = dir.file("replay-trace.txt");
    replay.shotPath = dir.file("replay.png");
    replay.quiet = true;
    std::string record = readFile(desktop.recordPath), error;
    ASSERT_TRUE(platform::parseEvents(record, replay.events, error)) << error;
    EXPECT_EQ(runHeadless(replay), kExitEnded);

    std::string trace = readFile(desktop.tracePath);
    EXPECT_GT(std::count(trace.begin(), trace.end(), '\n'), 20) << trace;
    EXPECT_EQ(readFile(replay.tracePath), trace) << record;
    std::string shot = readFile(desktop.shotPath);
    EXPECT_FALSE(shot.empty());
    EXPECT_TRUE(readFile(replay.shotPath) == shot) << "the final screens differ";
}

}  // namespace
}  // namespace zarvo
