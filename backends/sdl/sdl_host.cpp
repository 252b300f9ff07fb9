#include "backends/sdl/sdl_host.hpp"

#include <SDL.h>

#include <algorithm>
#include <vector>

#include "backends/headless/replay_clock.hpp"
#include "backends/sdl/display_loss.hpp"
#include "backends/sdl/key_map.hpp"
#include "backends/sdl/sdl_canvas.hpp"
#include "backends/sdl/select_cursor.hpp"
#include "base/sjis.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::platform {
namespace {

// Room left for the window frame and title bar when the automatic scale is chosen.
constexpr int kFrameAllowanceW = 16;
constexpr int kFrameAllowanceH = 64;
// The window's size before the story gives its own.
constexpr int kInitialW = 640, kInitialH = 480;
// How long a newly shown window waits for the window manager's frame before it is placed.
constexpr uint32_t kFrameWaitMs = 200;

bool tickDue(uint32_t now, uint32_t due) {
    return static_cast<int32_t>(now - due) >= 0;
}

}  // namespace

SdlHost::SdlHost(int scale) : requestedScale_(std::clamp(scale, 0, kMaxScale)) {
    // Square pixels unless a texture asks for filtering; a full-screen player keeps its window when
    // focus moves away; the desktop's compositor stays on for a windowed program.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
    SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error_ = std::string("cannot start the desktop video: ") + SDL_GetError();
        return;
    }
    videoStarted_ = true;
    // Controllers are welcome but not needed: without the subsystem the keyboard still works.
    // Those present now arrive as "added" events, like those plugged in later.
    padsStarted_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    std::string title = sjisToUtf8(texts::kApplicationTitle);
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               kInitialW, kInitialH,
                               SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window_) {
        error_ = std::string("cannot create the window: ") + SDL_GetError();
        return;
    }
    windowId_ = SDL_GetWindowID(window_);
    watchDisplayLoss(window_);
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
        error_ = std::string("cannot draw into the window: ") + SDL_GetError();
        return;
    }
    canvas_ = std::make_unique<SdlCanvas>(*this, renderer_);
    // Desktop SDL starts with text input on; with an input method active that would swallow
    // Space and Enter. Only the input box turns it on.
    SDL_StopTextInput();
    scale_ = requestedScale_ > 0 ? requestedScale_ : 1;
}

SdlHost::~SdlHost() {
    // A dead connection can hang SDL's teardown; the program is ending, the desktop is gone.
    if (displayLost()) {
        (void)canvas_.release();
        return;
    }
    canvas_.reset();
    if (selectCursor_) SDL_FreeCursor(selectCursor_);
    for (auto& [id, pad] : pads_) SDL_GameControllerClose(pad);
    if (padsStarted_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool SdlHost::displayLost() const {
    return platform::displayLost();
}

void SdlHost::record(ReplayClock& clock, std::function<void(const HeadlessEvent&)> onInput) {
    replay_ = &clock;
    onInput_ = std::move(onInput);
}

uint32_t SdlHost::timerNow() const {
    return replay_ ? replay_->ticks() : SDL_GetTicks();
}

void SdlHost::setTimerEnabled(bool enabled) {
    if (enabled && !timerEnabled_) nextTick_ = timerNow() + kTimerInterval;
    timerEnabled_ = enabled;
}

void SdlHost::wakeAfter(uint32_t ms) {
    uint32_t at = timerNow() + ms;
    if (!wakePending_ || tickDue(wakeAt_, at)) wakeAt_ = at;
    wakePending_ = true;
}

uint32_t SdlHost::nextDue() const {
    return wakePending_ && tickDue(nextTick_, wakeAt_) ? wakeAt_ : nextTick_;
}

void SdlHost::setClipboardText(std::string_view utf8) {
    if (ok()) SDL_SetClipboardText(std::string(utf8).c_str());
}

void SdlHost::recordInput(HeadlessEvent ev, bool idle) {
    if (!replay_) return;
    ev.at = idle ? replay_->idleArrival(timerEnabled_ ? nextDue() : UINT32_MAX) : replay_->ticks();
    if (onInput_) onInput_(ev);
}

void SdlHost::deliverTimer() {
    if (!timerEnabled_ || terminating_) return;
    uint32_t now = timerNow();
    bool wake = wakePending_ && tickDue(now, wakeAt_);
    if (wake) wakePending_ = false;
    bool tick = tickDue(now, nextTick_);
    // Ticks missed while the player was busy collapse into one, as a desktop timer's do.
    if (tick) nextTick_ = now + kTimerInterval - (now - nextTick_) % kTimerInterval;
    // A wake that falls together with a tick is that tick.
    if ((tick || wake) && client_) client_->onTimer();
}

StoryPoint SdlHost::toStory(int windowX, int windowY) const {
    if (!canvas_) return {};
    int pictureW = canvas_->pictureWidth() ? canvas_->pictureWidth() : clientW_;
    int pictureH = canvas_->pictureHeight() ? canvas_->pictureHeight() : clientH_;
    Viewport view = canvas_->pictureWidth() ? canvas_->viewport() : Viewport{0, 0, scale_};
    // Events come in window points; the picture is placed in output pixels (they differ on
    // displays with high pixel density).
    int winW = 0, winH = 0, outW = 0, outH = 0;
    SDL_GetWindowSize(window_, &winW, &winH);
    SDL_GetRendererOutputSize(renderer_, &outW, &outH);
    if (winW > 0 && winH > 0 && (winW != outW || winH != outH)) {
        windowX = static_cast<int>(static_cast<long long>(windowX) * outW / winW);
        windowY = static_cast<int>(static_cast<long long>(windowY) * outH / winH);
    }
    return mapWindowToStory(windowX, windowY, view, pictureW, pictureH);
}

void SdlHost::discardPendingInput() {
    if (!ok()) return;
    SDL_PumpEvents();
    SDL_Event ev;
    // Key, text and mouse events lie between SDL_KEYDOWN and SDL_MOUSEWHEEL.
    while (SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_KEYDOWN, SDL_MOUSEWHEEL) == 1)
        if (ev.type == SDL_TEXTEDITING_EXT) SDL_free(ev.editExt.text);
}

void SdlHost::paintClient() {
    // The last frame first: the client may have nothing to paint yet.
    canvas_->redraw();
    if (client_) client_->onPaint();
}

void SdlHost::dispatch(const SDL_Event& ev, bool idle) {
    if (side_ && side_->takeEvent(ev)) return;
    using Kind = HeadlessEvent::Kind;
    switch (ev.type) {
        case SDL_QUIT:
            if (terminating_) break;
            recordInput(HeadlessEvent::of(Kind::Quit), idle);
            terminate();
            break;
        case SDL_WINDOWEVENT:
            if (ev.window.windowID != windowId_) break;
            switch (ev.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    if (terminating_) break;
                    recordInput(HeadlessEvent::of(Kind::Quit), idle);
                    terminate();
                    break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    paintClient();
                    break;
                default:
                    break;
            }
            break;
        case SDL_RENDER_DEVICE_RESET:
            canvas_->resetTextures();
            paintClient();
            break;
        case SDL_RENDER_TARGETS_RESET:
            paintClient();
            break;
        case SDL_MOUSEBUTTONDOWN: {
            if (ev.button.windowID != windowId_ || !client_) break;
            // The player answers the left, right and middle buttons; a replay can send no other.
            MouseButton button;
            Kind kind;
            if (ev.button.button == SDL_BUTTON_LEFT) {
                button = MouseButton::Left;
                kind = Kind::Click;
            } else if (ev.button.button == SDL_BUTTON_RIGHT) {
                button = MouseButton::Right;
                kind = Kind::RightClick;
            } else if (ev.button.button == SDL_BUTTON_MIDDLE) {
                button = MouseButton::Middle;
                kind = Kind::MiddleClick;
            } else {
                break;
            }
            StoryPoint p = toStory(ev.button.x, ev.button.y);
            if (!p.inside) break;
            recordInput(HeadlessEvent::pointer(kind, p.x, p.y), idle);
            client_->onMouseDown(button, p.x, p.y);
            break;
        }
        case SDL_MOUSEWHEEL: {
            if (ev.wheel.windowID != windowId_ || !client_ || ev.wheel.y == 0) break;
            int steps = ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -ev.wheel.y : ev.wheel.y;
            HeadlessEvent wheel = HeadlessEvent::of(Kind::Wheel);
            wheel.steps = steps;
            recordInput(wheel, idle);
            client_->onWheel(steps);
            break;
        }
        case SDL_MOUSEMOTION: {
            if (ev.motion.windowID != windowId_ || !client_) break;
            StoryPoint p = toStory(ev.motion.x, ev.motion.y);
            if (!p.inside) break;
            recordInput(HeadlessEvent::pointer(Kind::Move, p.x, p.y), idle);
            client_->onMouseMove(p.x, p.y);
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            if (ev.key.windowID != windowId_ || !client_) break;
            int key = virtualKeyOf(ev.key.keysym.sym);
            if (key == 0) break;
            bool down = ev.type == SDL_KEYDOWN;
            HeadlessEvent keyEvent = HeadlessEvent::of(down ? Kind::Key : Kind::KeyUp);
            keyEvent.key = key;
            recordInput(keyEvent, idle);
            if (down)
                client_->onKeyDown(key);
            else
                client_->onKeyUp(key);
            break;
        }
        case SDL_CONTROLLERDEVICEADDED:
            if (SDL_GameController* pad = SDL_GameControllerOpen(ev.cdevice.which))
                pads_.emplace_back(SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)), pad);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            for (auto it = pads_.begin(); it != pads_.end(); ++it) {
                if (it->first != ev.cdevice.which) continue;
                SDL_GameControllerClose(it->second);
                pads_.erase(it);
                break;
            }
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP: {
            PadButton button;
            if (!client_ || !padButtonOf(ev.cbutton.button, button)) break;
            const bool down = ev.type == SDL_CONTROLLERBUTTONDOWN;
            HeadlessEvent padEvent = HeadlessEvent::of(down ? Kind::Pad : Kind::PadUp);
            padEvent.pad = button;
            recordInput(padEvent, idle);
            client_->onPadButton(button, down);
            break;
        }
        case SDL_TEXTEDITING_EXT:
            // Its text is ours to free even when nobody reads it.
            SDL_free(ev.editExt.text);
            break;
        default:
            break;
    }
}

void SdlHost::processMessages() {
    if (!ok()) return;
    // A round of messages asked for by the player costs a millisecond on a recording's clock.
    if (replay_) replay_->pump();
    handleMessages(false);
}

void SdlHost::handleMessages(bool idle) {
    SDL_Event ev;
    // One event at a time: a handler may pump messages itself, and continues with the queue.
    while (!isTerminating() && SDL_PollEvent(&ev)) dispatch(ev, idle);
    // A closed connection is a closed window: a recording ends there as well.
    if (displayLost() && !terminating_) {
        recordInput(HeadlessEvent::of(HeadlessEvent::Kind::Quit), idle);
        terminate();
    }
    if (idle && replay_) replay_->idle(timerEnabled_ ? nextDue() : UINT32_MAX);
    deliverTimer();
    if (side_ && !terminating_) side_->afterMessages();
}

void SdlHost::run() {
    if (!ok()) return;
    while (!isTerminating()) {
        int timeout = 100;
        if (timerEnabled_) {
            int32_t left = replay_ ? static_cast<int32_t>(replay_->realWaitUntil(nextDue()))
                                   : static_cast<int32_t>(nextDue() - SDL_GetTicks());
            timeout = std::clamp<int32_t>(left, 0, 100);
        }
        SDL_Event ev;
        if (SDL_WaitEventTimeout(&ev, timeout)) dispatch(ev, true);
        handleMessages(true);
    }
}

void SdlHost::setCursor(Cursor cursor) {
    if (cursor == cursor_ || !ok()) return;
    cursor_ = cursor;
    if (cursor == Cursor::Select) {
        if (!selectCursor_) {
            const CursorBitmap& c = selectCursorBitmap();
            selectCursor_ =
                SDL_CreateCursor(c.data.data(), c.mask.data(), c.width, c.height, c.hotX, c.hotY);
            if (!selectCursor_) selectCursor_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
        }
        if (selectCursor_) SDL_SetCursor(selectCursor_);
    } else {
        SDL_SetCursor(SDL_GetDefaultCursor());
    }
}

void SdlHost::setCaption(std::string_view sjisText) {
    caption_ = sjisText;
    if (window_) SDL_SetWindowTitle(window_, sjisToUtf8(sjisText).c_str());
}

void SdlHost::setIcon(const uint32_t* pixels, const uint8_t* alpha, int width, int height) {
    if (!ok() || !pixels || width <= 0 || height <= 0) return;
    SDL_Surface* icon =
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!icon) return;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(icon->pixels) +
                                                static_cast<size_t>(y) * icon->pitch);
        for (int x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y) * width + x;
            const uint32_t a = alpha ? alpha[i] : 0xFF;
            row[x] = (a << 24) | (pixels[i] & 0xFFFFFF);
        }
    }
    SDL_SetWindowIcon(window_, icon);
    SDL_FreeSurface(icon);
}

int SdlHost::automaticScale() const {
    int display = SDL_GetWindowDisplayIndex(window_);
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(display < 0 ? 0 : display, &usable) != 0) return 1;
    return chooseScale(clientW_, clientH_, usable.w - kFrameAllowanceW, usable.h - kFrameAllowanceH,
                       kMaxAutoScale);
}

void SdlHost::applySize() {
    if (!ok() || clientW_ <= 0 || clientH_ <= 0) return;
    scale_ = requestedScale_ > 0 ? requestedScale_ : automaticScale();
    if (!fullScreen_) SDL_SetWindowSize(window_, clientW_ * scale_, clientH_ * scale_);
}

void SdlHost::setClientSize(int width, int height) {
    if (!ok() || width <= 0 || height <= 0) return;
    clientW_ = width;
    clientH_ = height;
    applySize();
    show();
}

void SdlHost::setScale(int scale) {
    requestedScale_ = std::clamp(scale, 0, kMaxScale);
    if (clientW_ > 0) applySize();
}

void SdlHost::show() {
    if (!ok() || shown_) return;
    if (clientW_ <= 0) {
        clientW_ = kInitialW;
        clientH_ = kInitialH;
        applySize();
    }
    SDL_ShowWindow(window_);
    shown_ = true;
}

bool SdlHost::setFullScreen(bool on) {
    if (!ok()) return false;
    if (on == fullScreen_) return true;
    if (on) {
        show();
        SDL_GetWindowPosition(window_, &windowed_.x, &windowed_.y);
        SDL_GetWindowSize(window_, &windowed_.w, &windowed_.h);
    }
    if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
    fullScreen_ = on;
    // Back in a window: the desktop may not restore the size and place it had.
    if (!on) {
        if (windowed_.w > 0 && windowed_.h > 0) {
            SDL_SetWindowSize(window_, windowed_.w, windowed_.h);
            setWindowPosition(windowed_.x, windowed_.y);
        } else {
            applySize();
        }
    }
    canvas_->redraw();
    return true;
}

void SdlHost::setWindowSize(int width, int height) {
    if (!ok() || requestedScale_ > 0) return;
    if (fullScreen_) {
        windowed_.w = width;
        windowed_.h = height;
        return;
    }
    // A size from a file: never unusably small; keepOnDisplay() limits it to the display.
    SDL_SetWindowSize(window_, std::clamp(width, 64, 16384), std::clamp(height, 48, 16384));
    keepOnDisplay();
}

bool SdlHost::windowSize(int& width, int& height) const {
    width = height = 0;
    if (!ok()) return false;
    if (fullScreen_) {
        width = windowed_.w;
        height = windowed_.h;
    } else {
        SDL_GetWindowSize(window_, &width, &height);
    }
    return width > 0 && height > 0;
}

void SdlHost::setScaling(WindowScaling scaling) {
    if (scaling == scaling_) return;
    scaling_ = scaling;
    if (canvas_) canvas_->redraw();
}

Frame SdlHost::frame() {
    Frame f;
    if (!window_ || fullScreen_) return f;
    // Until the window manager has framed the shown window SDL knows no frame, and a position
    // set then places the frame where the client area was meant to go: the window would creep
    // by the frame's size at every start. Without a window manager no frame ever comes.
    const bool wait = shown_ && !frameAsked_;
    frameAsked_ = frameAsked_ || shown_;
    const uint32_t start = SDL_GetTicks();
    for (;;) {
        if (SDL_GetWindowBordersSize(window_, &f.top, &f.left, &f.bottom, &f.right) != 0)
            return Frame{};
        if (!wait || f.top || f.left || f.bottom || f.right ||
            SDL_GetTicks() - start >= kFrameWaitMs)
            return f;
        SDL_PumpEvents();
        SDL_Delay(5);
    }
}

void SdlHost::keepOnDisplay() {
    if (!window_ || fullScreen_) return;
    std::vector<Rect> usable;
    for (int i = 0, n = SDL_GetNumVideoDisplays(); i < n; ++i) {
        SDL_Rect r;
        if (SDL_GetDisplayUsableBounds(i, &r) == 0 && r.w > 0 && r.h > 0)
            usable.push_back({r.x, r.y, r.w, r.h});
    }
    Rect now;
    SDL_GetWindowPosition(window_, &now.x, &now.y);
    SDL_GetWindowSize(window_, &now.w, &now.h);
    const Rect kept = platform::keepOnDisplay(now, frame(), usable);
    if (kept.w != now.w || kept.h != now.h) SDL_SetWindowSize(window_, kept.w, kept.h);
    if (kept.x != now.x || kept.y != now.y) SDL_SetWindowPosition(window_, kept.x, kept.y);
}

void SdlHost::setWindowPosition(int x, int y) {
    if (!window_) return;
    if (fullScreen_) {
        windowed_.x = x;
        windowed_.y = y;
        return;
    }
    frame();
    SDL_SetWindowPosition(window_, x, y);
    keepOnDisplay();
}

void SdlHost::windowPosition(int& x, int& y) const {
    x = y = 0;
    if (!window_) return;
    if (fullScreen_) {
        x = windowed_.x;
        y = windowed_.y;
    } else {
        SDL_GetWindowPosition(window_, &x, &y);
    }
}

}  // namespace zarvo::platform
