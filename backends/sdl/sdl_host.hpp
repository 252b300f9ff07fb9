// The desktop host: one resizable SDL window showing the story's picture centred, scaled as the
// reader chooses (WindowScaling), the
// 200 ms timer delivered on the main thread, mouse and keyboard input mapped to story pixels and
// Windows key codes, the selection cursor, the caption and full screen.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "backends/headless/events.hpp"
#include "backends/sdl/window_geometry.hpp"
#include "platform/host.hpp"

struct SDL_Window;
struct _SDL_GameController;
struct SDL_Renderer;
struct SDL_Cursor;
union SDL_Event;

namespace zarvo::platform {

class ReplayClock;
class SdlCanvas;

// Another window of the program on this host's event loop (the debug window): it takes the
// events that are its own and may draw after every round of messages.
class SdlSideWindow {
  public:
    virtual ~SdlSideWindow() = default;
    // True when the event was for this window and has been handled.
    virtual bool takeEvent(const SDL_Event& ev) = 0;
    virtual void afterMessages() = 0;
};

class SdlHost final : public Host {
  public:
    static constexpr uint32_t kTimerInterval = 200;
    // Largest factor picked automatically; --scale may ask for more.
    static constexpr int kMaxAutoScale = 4;
    static constexpr int kMaxScale = 8;

    // Starts SDL's video and creates the main window, hidden until it gets its size
    // (setClientSize) or the first frame. `scale` 0 picks the largest whole factor up to
    // kMaxAutoScale at which the window fits the display's usable area; 1..kMaxScale fixes it.
    // Check ok(): without a display the host does nothing and error() tells why.
    explicit SdlHost(int scale = 0);
    ~SdlHost() override;
    SdlHost(const SdlHost&) = delete;
    SdlHost& operator=(const SdlHost&) = delete;

    // False too once the desktop's connection is lost.
    bool ok() const { return renderer_ != nullptr && !displayLost(); }
    // The desktop went away under the window: the story has been stopped.
    bool displayLost() const;
    const std::string& error() const { return error_; }

    void setClient(HostClient* client) { client_ = client; }
    // None: only the main window. Not owned; unset it before it goes.
    void setSideWindow(SdlSideWindow* window) { side_ = window; }
    // The window's canvas (owned by the host, valid while it lives).
    SdlCanvas& canvas() { return *canvas_; }
    SDL_Window* window() const { return window_; }

    // Records the run: the timer and every input go by `clock`, and each input reaches
    // `onInput` with its moment on that clock before the client sees it. Set before run().
    void record(ReplayClock& clock, std::function<void(const HeadlessEvent&)> onInput);

    // Delivers input, paints and timer ticks to the client, waiting for them, until terminate()
    // is called: by the client (end of the story), by closing the window, or by SIGINT/SIGTERM.
    void run();

    void processMessages() override;
    void terminate() override { terminating_ = true; }
    bool isTerminating() const override { return terminating_ || displayLost(); }
    void setTimerEnabled(bool enabled) override;
    void wakeAfter(uint32_t ms) override;
    void setClipboardText(std::string_view utf8) override;
    void setCursor(Cursor cursor) override;
    void setCaption(std::string_view sjisText) override;
    // The story picture's size; the window becomes that times the scale and is shown.
    void setClientSize(int width, int height) override;

    // Full screen over the whole desktop (the display mode is not changed; the picture is drawn
    // at the largest whole factor that fits, centred on black). False when the desktop refused;
    // asking for the present state does nothing and succeeds.
    bool setFullScreen(bool on) override;
    bool isFullScreen() const { return fullScreen_; }

    // 0 = automatic. Applies at once when the window already has its size.
    void setScale(int scale);
    int scale() const { return scale_; }
    // How the picture fills a window of any size (full screen too).
    void setScaling(WindowScaling scaling) override;
    // The size the reader left the window at, unless --scale asked for one.
    void setWindowSize(int width, int height) override;
    bool windowSize(int& width, int& height) const override;
    WindowScaling scaling() const { return scaling_; }

    // Window position on the desktop (the position kept between runs): the client area's, as the
    // window manager reports it. Both this and the size are the window's own in full screen too.
    void setWindowPosition(int x, int y) override;
    void windowPosition(int& x, int& y) const override;

    int clientWidth() const { return clientW_; }
    int clientHeight() const { return clientH_; }
    bool isShown() const { return shown_; }
    // Shows the window at its present size (used before modal boxes that need it).
    void show();

    // Story pixel under a window position, as mouse events are delivered.
    StoryPoint toStory(int windowX, int windowY) const;

    // Drops keyboard and mouse input already queued: it was aimed at the window before a modal
    // box opened, or at the window while a desktop box had it disabled.
    void discardPendingInput();

    // Asks the client to paint (its picture was lost or uncovered).
    void paintClient();

    // The window's icon: 0x00RRGGBB pixels with their opacity (null: opaque).
    void setIcon(const uint32_t* pixels, const uint8_t* alpha, int width, int height);

    // Caption as last set (code page 932).
    const std::string& caption() const { return caption_; }
    Cursor cursor() const { return cursor_; }

  private:
    // `idle`: the player is waiting in run(), not pumping messages inside its own work.
    void dispatch(const SDL_Event& ev, bool idle);
    void handleMessages(bool idle);
    void deliverTimer();
    uint32_t timerNow() const;
    // The next tick or requested wake, whichever comes first.
    uint32_t nextDue() const;
    // Tells the recorder about an input about to be delivered, with its moment.
    void recordInput(HeadlessEvent ev, bool idle);
    int automaticScale() const;
    void applySize();
    // The frame's sizes once the window manager has told them (briefly waited for, the first
    // time): a position is set for the client area, and SDL can only place it so knowing them.
    Frame frame();
    // Moves and shrinks the window onto a display's usable area.
    void keepOnDisplay();

    std::string error_;
    bool videoStarted_ = false;
    bool padsStarted_ = false;
    // Game controllers open now, by instance id; plugged in and out while the story runs.
    std::vector<std::pair<int, _SDL_GameController*>> pads_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    std::unique_ptr<SdlCanvas> canvas_;
    uint32_t windowId_ = 0;
    HostClient* client_ = nullptr;
    SdlSideWindow* side_ = nullptr;
    ReplayClock* replay_ = nullptr;
    std::function<void(const HeadlessEvent&)> onInput_;

    bool terminating_ = false;
    bool timerEnabled_ = false;
    uint32_t nextTick_ = 0;
    bool wakePending_ = false;
    uint32_t wakeAt_ = 0;
    int requestedScale_ = 0;
    int scale_ = 1;
    int clientW_ = 0, clientH_ = 0;
    bool shown_ = false;
    bool fullScreen_ = false;
    // The window's client place and size before full screen, for leaving it and for keeping.
    Rect windowed_;
    bool frameAsked_ = false;
    WindowScaling scaling_ = WindowScaling::Sharp;
    Cursor cursor_ = Cursor::Default;
    SDL_Cursor* selectCursor_ = nullptr;
    std::string caption_;
};

}  // namespace zarvo::platform
