#include "backends/web/web_host.hpp"

#include <emscripten.h>

#include <algorithm>

#include "base/sjis.hpp"

// The page's side of each call is in web/page.js (Module.page).
// clang-format off
EM_ASYNC_JS(void, zarvoWait, (double ms), { await Module.page.wait(ms); });
EM_JS(void, zarvoPresent, (const void* rgba, int width, int height), {
    Module.page.present(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height);
});
EM_JS(void, zarvoSetCaption, (const char* text), { Module.page.setCaption(UTF8ToString(text)); });
EM_JS(void, zarvoSetCursor, (int select), { Module.page.setCursor(select != 0); });
EM_JS(void, zarvoSetClientSize, (int width, int height), { Module.page.setClientSize(width, height); });
EM_JS(int, zarvoSetFullScreen, (int on), { return Module.page.setFullScreen(on != 0) ? 1 : 0; });
EM_JS(void, zarvoSetScaling, (int scaling), { Module.page.setScaling(scaling); });
EM_JS(void, zarvoSetClipboard, (const char* text), { Module.page.setClipboard(UTF8ToString(text)); });
// clang-format on

namespace zarvo::platform {
namespace {

// How long the player may hold the browser before it yields: well under a frame.
constexpr double kSliceMs = 8;

bool tickDue(uint32_t now, uint32_t due) {
    return static_cast<int32_t>(now - due) >= 0;
}

// The one host of the page, for the entry its script calls; a page plays one story at a time.
WebHost* pageHost = nullptr;

}  // namespace

double WebClock::now() const {
    return emscripten_get_now();
}

uint32_t WebClock::ticks() {
    double at = pausedAt_ >= 0 ? pausedAt_ : now();
    return static_cast<uint32_t>(static_cast<uint64_t>(at - pausedTotal_));
}

void WebClock::sleep(uint32_t ms) {
    zarvoWait(ms);
}

void WebClock::pause() {
    if (pausedAt_ < 0) pausedAt_ = now();
}

void WebClock::resume() {
    if (pausedAt_ < 0) return;
    pausedTotal_ += now() - pausedAt_;
    pausedAt_ = -1;
}

void WebCanvas::present(const uint32_t* pixels, int width, int height, int stride) {
    if (width <= 0 || height <= 0) return;
    rgba_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    // 0x00RRGGBB words to the bytes R, G, B, A of an ImageData.
    uint32_t* out = rgba_.data();
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
        for (int x = 0; x < width; ++x) {
            uint32_t p = row[x];
            *out++ = 0xFF000000u | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
        }
    }
    zarvoPresent(rgba_.data(), width, height);
}

WebHost::WebHost(WebClock& clock) : clock_(clock) {
    pageHost = this;
    lastYield_ = emscripten_get_now();
}

WebHost::~WebHost() {
    if (pageHost == this) pageHost = nullptr;
}

void WebHost::push(const PageEvent& ev) {
    // A reader clicking madly while the story is busy queues no backlog of moves.
    if (ev.kind == PageEvent::Kind::MouseMove && !queue_.empty() &&
        queue_.back().kind == PageEvent::Kind::MouseMove) {
        queue_.back() = ev;
        return;
    }
    queue_.push_back(ev);
}

void WebHost::setTimerEnabled(bool enabled) {
    if (enabled && !timerEnabled_) nextTick_ = clock_.ticks() + kTimerInterval;
    timerEnabled_ = enabled;
}

void WebHost::wakeAfter(uint32_t ms) {
    uint32_t at = clock_.ticks() + ms;
    if (!wakePending_ || tickDue(wakeAt_, at)) wakeAt_ = at;
    wakePending_ = true;
}

uint32_t WebHost::nextDue() const {
    return wakePending_ && tickDue(nextTick_, wakeAt_) ? wakeAt_ : nextTick_;
}

void WebHost::deliverTimer() {
    if (!timerEnabled_ || terminating_ || hidden_) return;
    uint32_t now = clock_.ticks();
    bool wake = wakePending_ && tickDue(now, wakeAt_);
    if (wake) wakePending_ = false;
    bool tick = tickDue(now, nextTick_);
    // Ticks missed while the player was busy collapse into one, as a desktop timer's do.
    if (tick) nextTick_ = now + kTimerInterval - (now - nextTick_) % kTimerInterval;
    if ((tick || wake) && client_) client_->onTimer();
}

void WebHost::dispatch(const PageEvent& ev) {
    using Kind = PageEvent::Kind;
    switch (ev.kind) {
        case Kind::Visibility:
            hidden_ = ev.a != 0;
            if (hidden_) {
                clock_.pause();
                if (onHidden) onHidden();
            } else {
                clock_.resume();
            }
            return;
        case Kind::Quit:
            terminate();
            return;
        default:
            break;
    }
    if (!client_) return;
    switch (ev.kind) {
        case Kind::MouseDown:
            client_->onMouseDown(ev.a == 1   ? MouseButton::Right
                                 : ev.a == 2 ? MouseButton::Middle
                                             : MouseButton::Left,
                                 ev.b, ev.c);
            break;
        case Kind::MouseMove:
            client_->onMouseMove(ev.b, ev.c);
            break;
        case Kind::KeyDown:
            client_->onKeyDown(ev.a);
            break;
        case Kind::KeyUp:
            client_->onKeyUp(ev.a);
            break;
        case Kind::Wheel:
            if (ev.a != 0) client_->onWheel(ev.a);
            break;
        case Kind::Paint:
            client_->onPaint();
            break;
        default:
            break;
    }
}

void WebHost::handleMessages() {
    // One event at a time: a handler may pump messages itself, and continues with the queue.
    while (!terminating_ && !queue_.empty()) {
        PageEvent ev = queue_.front();
        queue_.pop_front();
        dispatch(ev);
    }
    deliverTimer();
}

void WebHost::holdWhileHidden() {
    while (hidden_ && !terminating_) {
        zarvoWait(1000);
        handleMessages();
    }
    lastYield_ = emscripten_get_now();
}

void WebHost::yieldIfDue() {
    double now = emscripten_get_now();
    if (now - lastYield_ < kSliceMs) return;
    zarvoWait(0);
    lastYield_ = emscripten_get_now();
}

void WebHost::processMessages() {
    yieldIfDue();
    handleMessages();
    if (hidden_) holdWhileHidden();
}

void WebHost::run() {
    while (!terminating_) {
        handleMessages();
        if (terminating_) break;
        if (hidden_) {
            holdWhileHidden();
            continue;
        }
        double timeout = 100;
        if (timerEnabled_)
            timeout = std::clamp<double>(static_cast<int32_t>(nextDue() - clock_.ticks()), 0, 100);
        if (queue_.empty()) zarvoWait(timeout);
        lastYield_ = emscripten_get_now();
    }
}

void WebHost::setCursor(Cursor cursor) {
    if (cursor == cursor_) return;
    cursor_ = cursor;
    zarvoSetCursor(cursor == Cursor::Select ? 1 : 0);
}

void WebHost::setCaption(std::string_view sjisText) {
    zarvoSetCaption(sjisToUtf8(sjisText).c_str());
}

void WebHost::setClientSize(int width, int height) {
    if (width > 0 && height > 0) zarvoSetClientSize(width, height);
}

bool WebHost::setFullScreen(bool on) {
    return zarvoSetFullScreen(on ? 1 : 0) != 0;
}

void WebHost::setScaling(WindowScaling scaling) {
    zarvoSetScaling(static_cast<int>(scaling));
}

void WebHost::setClipboardText(std::string_view utf8) {
    zarvoSetClipboard(std::string(utf8).c_str());
}

}  // namespace zarvo::platform

// The page's script hands each input to the player through this entry.
extern "C" EMSCRIPTEN_KEEPALIVE void zarvo_page_event(int kind, int a, int b, int c) {
    if (zarvo::platform::pageHost)
        zarvo::platform::pageHost->push(
            {static_cast<zarvo::platform::PageEvent::Kind>(kind), a, b, c});
}
