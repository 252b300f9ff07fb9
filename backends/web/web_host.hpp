// The page around the player: the story's canvas on the page, input queued by the page's
// script, the 200 ms timer, and the page's visibility. Everything that waits (the host's own
// loop, the pumps inside effects and sound waits, boxes) hands control back to the browser, so
// the page never freezes; the build unwinds and rewinds the stack for it (Asyncify).
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.hpp"
#include "platform/clock.hpp"
#include "platform/host.hpp"

namespace zarvo::platform {

// The page's real time without the moments the page was hidden: a story's clock stands still
// while nobody can see it, as its music does.
class WebClock final : public Clock {
  public:
    uint32_t ticks() override;
    // Sleeps yield to the browser for their length.
    void sleep(uint32_t ms) override;
    LocalTime localTime() override { return system_.localTime(); }

    void pause();
    void resume();

  private:
    double now() const;
    SystemClock system_;
    double pausedTotal_ = 0;
    double pausedAt_ = -1;
};

// Frames go to the page, which draws them on its canvas at its next animation frame.
class WebCanvas final : public Canvas {
  public:
    void present(const uint32_t* pixels, int width, int height, int stride) override;

  private:
    std::vector<uint32_t> rgba_;
};

// What the page's script queues for the player; the numbers of kind are the page's too.
struct PageEvent {
    enum class Kind : int32_t {
        MouseDown = 1,  // a = button (0 left, 1 right, 2 middle), b, c = story x, y
        MouseMove = 2,  // b, c = story x, y
        KeyDown = 3,    // a = Windows virtual-key code
        KeyUp = 4,
        Wheel = 5,       // a = steps, positive up
        Visibility = 6,  // a = 1 hidden, 0 shown
        Quit = 7,
        Paint = 8,
    };
    Kind kind;
    int32_t a = 0, b = 0, c = 0;
};

class WebHost final : public Host {
  public:
    static constexpr uint32_t kTimerInterval = 200;

    explicit WebHost(WebClock& clock);
    ~WebHost() override;
    WebHost(const WebHost&) = delete;
    WebHost& operator=(const WebHost&) = delete;

    void setClient(HostClient* client) { client_ = client; }
    WebCanvas& canvas() { return canvas_; }

    // Delivers input, paints and ticks, waiting for them in the browser, until terminate().
    void run();

    // Called by the page's script (through the exported entry) for each input.
    void push(const PageEvent& ev);
    // The page was hidden: it may be closed next without the run ending, so what the run keeps
    // is written now.
    std::function<void()> onHidden;

    void processMessages() override;
    void terminate() override { terminating_ = true; }
    bool isTerminating() const override { return terminating_; }
    void setTimerEnabled(bool enabled) override;
    void wakeAfter(uint32_t ms) override;
    void setCursor(Cursor cursor) override;
    void setCaption(std::string_view sjisText) override;
    void setClientSize(int width, int height) override;
    // The browser grants full screen only inside the reader's own gesture: the page asks for it
    // there (F11, Alt+Enter, its button) and this answers whether the page now has it.
    bool setFullScreen(bool on) override;
    void setScaling(WindowScaling scaling) override;
    void setClipboardText(std::string_view utf8) override;

  private:
    void handleMessages();
    void dispatch(const PageEvent& ev);
    void deliverTimer();
    uint32_t nextDue() const;
    // Gives the browser its turn when the player has held it for a slice: a story running many
    // commands between waits keeps the page drawing and answering.
    void yieldIfDue();
    // While the page is hidden everything stands still, the clock included.
    void holdWhileHidden();

    WebClock& clock_;
    WebCanvas canvas_;
    HostClient* client_ = nullptr;
    std::deque<PageEvent> queue_;
    bool terminating_ = false;
    bool hidden_ = false;
    bool timerEnabled_ = false;
    uint32_t nextTick_ = 0;
    bool wakePending_ = false;
    uint32_t wakeAt_ = 0;
    double lastYield_ = 0;
    Cursor cursor_ = Cursor::Default;
};

}  // namespace zarvo::platform
