// The desktop around the player: message pumping, the periodic timer, termination, caption,
// cursor and full screen. The player implements HostClient and receives events through it.
#pragma once
#include <cstdint>
#include <string_view>

namespace zarvo::platform {

enum class MouseButton { Left, Right, Middle };
// The buttons of a game controller, by their place on an Xbox-style pad.
enum class PadButton {
    A,
    B,
    X,
    Y,
    Start,
    Back,
    LeftShoulder,
    RightShoulder,
    Up,
    Down,
    Left,
    Right
};
enum class Cursor { Default, Select };

// How the story fills a window of another size, centred with its aspect ratio kept. Sharp: as
// large as fits, enlarged by a whole multiple with square pixels first and then filtered down to
// the size, so edges stay crisp without wide black bars; Whole: the largest whole multiple that
// fits; Smooth: as large as fits, filtered from the story's own pixels.
enum class WindowScaling : uint8_t { Sharp, Whole, Smooth };

// Key codes follow the Windows virtual-key values the stories were written against.
namespace keys {
inline constexpr int kBackspace = 8;
inline constexpr int kTab = 9;
inline constexpr int kEnter = 13;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kShift = 16;
inline constexpr int kControl = 17;
inline constexpr int kAlt = 18;
inline constexpr int kPageUp = 33;
inline constexpr int kPageDown = 34;
inline constexpr int kEnd = 35;
inline constexpr int kHome = 36;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
// Letters are their upper-case character: keys::kA + ('s' - 'a') is S.
inline constexpr int kA = 'A';
inline constexpr int kF1 = 112;
inline constexpr int kF2 = 113;
inline constexpr int kF5 = 116;
inline constexpr int kF9 = 120;
inline constexpr int kF11 = 122;
inline constexpr int kF12 = 123;
}  // namespace keys

class HostClient {
  public:
    virtual ~HostClient() = default;
    virtual void onTimer() = 0;  // the 200 ms main timer
    virtual void onMouseDown(MouseButton button, int x, int y) = 0;
    virtual void onMouseMove(int x, int y) = 0;
    // Held keys repeat their key-down; each release comes once.
    virtual void onKeyDown(int key) = 0;
    virtual void onKeyUp(int key) { (void)key; }
    // The wheel turned by `steps` notches: positive away from the user (up), negative down.
    virtual void onWheel(int steps) { (void)steps; }
    virtual void onPadButton(PadButton button, bool down) {
        (void)button;
        (void)down;
    }
    // The window's drawable area changed to width x height pixels.
    virtual void onResize(int width, int height) {
        (void)width;
        (void)height;
    }
    virtual void onPaint() = 0;
    // True while only input can move the story on (a wait with no timer): a headless run with no
    // input left then stops instead of ticking forever.
    virtual bool waitsForInputOnly() const { return false; }
};

class Host {
  public:
    virtual ~Host() = default;
    // Delivers pending input and timer events; handlers may run inside it.
    virtual void processMessages() = 0;
    // Ask the application to end once control returns to its message loop.
    virtual void terminate() = 0;
    virtual bool isTerminating() const = 0;
    virtual void setTimerEnabled(bool enabled) = 0;
    // One more HostClient::onTimer about `ms` from now, besides the periodic ticks, while the
    // timer is on: text typing itself out needs more than five steps a second. The earliest
    // pending request counts.
    virtual void wakeAfter(uint32_t ms) { (void)ms; }
    virtual void setCursor(Cursor cursor) = 0;
    virtual void setCaption(std::string_view sjisText) = 0;
    // The window's client area takes the main screen's size.
    virtual void setClientSize(int width, int height) = 0;
    // Full screen over the whole display, the story scaled up and centred. False when the
    // desktop refused; asking for the present state does nothing and succeeds. A host without
    // a display stays in its window.
    virtual bool setFullScreen(bool on) { return !on; }
    // How the story fills a window of another size; see WindowScaling.
    virtual void setScaling(WindowScaling scaling) { (void)scaling; }
    // The window's place on the desktop, kept between runs.
    virtual void setWindowPosition(int x, int y) {
        (void)x;
        (void)y;
    }
    virtual void windowPosition(int& x, int& y) const { x = y = 0; }
    // The window's size as the reader left it, kept per story. False when there is no window
    // size to keep (full screen, no display).
    virtual void setWindowSize(int width, int height) {
        (void)width;
        (void)height;
    }
    virtual bool windowSize(int& width, int& height) const {
        width = height = 0;
        return false;
    }
    // Puts UTF-8 text on the desktop's clipboard (for dictionary tools); nowhere without one.
    virtual void setClipboardText(std::string_view utf8) { (void)utf8; }
};

}  // namespace zarvo::platform
