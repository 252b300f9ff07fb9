// The headless host: no window, a virtual clock, input from an events list. Time moves only when
// the player waits: between timer ticks the clock jumps to the next tick or event; processing
// messages advances it by 1 ms and a sleep by its length, delivering whatever falls due.
#pragma once
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "backends/headless/events.hpp"
#include "backends/headless/virtual_clock.hpp"
#include "platform/host.hpp"
#include "platform/recording_dialogs.hpp"

namespace zarvo::platform {

class HeadlessHost final : public Host {
  public:
    static constexpr uint32_t kTimerInterval = 200;

    // Answer and input events go to `dialogs`, due from their time on.
    HeadlessHost(VirtualClock& clock, RecordingDialogs& dialogs, std::vector<HeadlessEvent> events);

    void setClient(HostClient* client) { client_ = client; }
    // Called for "shot FILE" events.
    std::function<void(const std::string& path)> onShot;
    // When set, follows elapsed() as the host delivers, so that a watchdog on another thread
    // can tell a run whose virtual clock stands still (a hang) from a slow one.
    std::atomic<uint32_t>* progress = nullptr;

    enum class RunEnd { Terminated, MaxTime, Idle };
    // Runs until the application terminates, `maxTime` virtual ms have passed (0 = no limit),
    // or nothing can happen any more: no events left and the timer off or the client waiting
    // for input only.
    RunEnd run(uint32_t maxTime);

    // Virtual milliseconds since the host was created: the clock of the events list.
    uint32_t elapsed() const { return clock_.ticks() - start_; }

    void processMessages() override;
    void terminate() override { terminating_ = true; }
    bool isTerminating() const override { return terminating_; }
    void setTimerEnabled(bool enabled) override;
    void wakeAfter(uint32_t ms) override;
    void setCursor(Cursor cursor) override { cursor_ = cursor; }
    void setCaption(std::string_view text) override { caption_ = text; }
    void setClientSize(int width, int height) override {
        clientWidth_ = width;
        clientHeight_ = height;
    }
    // No display to switch: the state and each real change are recorded.
    bool setFullScreen(bool on) override {
        if (on != fullScreen_) ++fullScreenChanges_;
        fullScreen_ = on;
        return true;
    }
    void setWindowPosition(int x, int y) override {
        windowX_ = x;
        windowY_ = y;
    }
    void windowPosition(int& x, int& y) const override {
        x = windowX_;
        y = windowY_;
    }
    // Set by "resize W H" events; none before the first.
    void setWindowSize(int width, int height) override {
        windowW_ = width;
        windowH_ = height;
    }
    bool windowSize(int& width, int& height) const override {
        width = windowW_;
        height = windowH_;
        return windowW_ > 0 && windowH_ > 0;
    }

    // No desktop: the text is kept for whoever looks (the player traces it).
    void setClipboardText(std::string_view utf8) override { clipboard_ = utf8; }
    const std::string& clipboard() const { return clipboard_; }

    Cursor cursor() const { return cursor_; }
    const std::string& caption() const { return caption_; }
    int clientWidth() const { return clientWidth_; }
    int clientHeight() const { return clientHeight_; }
    bool fullScreen() const { return fullScreen_; }
    int fullScreenChanges() const { return fullScreenChanges_; }

  private:
    void deliverDue();
    void deliver(const HeadlessEvent& ev);

    VirtualClock& clock_;
    HostClient* client_ = nullptr;
    uint32_t start_;
    std::vector<HeadlessEvent> events_;  // input events only, sorted by time
    size_t nextEvent_ = 0;
    bool timerEnabled_ = false;
    uint32_t nextTimer_ = 0;  // elapsed() of the next tick
    bool wakePending_ = false;
    uint32_t wakeAt_ = 0;  // elapsed() of the requested wake
    bool terminating_ = false;
    uint32_t maxTime_ = 0;
    bool maxTimeReached_ = false;
    Cursor cursor_ = Cursor::Default;
    std::string caption_;
    std::string clipboard_;
    int clientWidth_ = 0, clientHeight_ = 0;
    bool fullScreen_ = false;
    int fullScreenChanges_ = 0;
    int windowX_ = 0, windowY_ = 0;
    int windowW_ = 0, windowH_ = 0;
};

}  // namespace zarvo::platform
