#include "backends/headless/headless_host.hpp"

namespace zarvo::platform {

HeadlessHost::HeadlessHost(VirtualClock& clock, RecordingDialogs& dialogs,
                           std::vector<HeadlessEvent> events)
    : clock_(clock), start_(clock.ticks()) {
    dialogs.now = [this] { return elapsed(); };
    for (auto& ev : events) {
        if (ev.kind == HeadlessEvent::Kind::Answer)
            dialogs.queueAnswer(ev.answer, ev.at);
        else if (ev.kind == HeadlessEvent::Kind::Input)
            dialogs.queueInput(ev.text, ev.at);
        else if (ev.kind == HeadlessEvent::Kind::InputCancel)
            dialogs.queueInputCancel(ev.at);
        else if (ev.kind != HeadlessEvent::Kind::Date)  // the clock's start, set by its owner
            events_.push_back(std::move(ev));
    }
}

void HeadlessHost::setTimerEnabled(bool enabled) {
    if (enabled && !timerEnabled_) nextTimer_ = elapsed() + kTimerInterval;
    timerEnabled_ = enabled;
}

void HeadlessHost::wakeAfter(uint32_t ms) {
    // At least a millisecond on, so that a player asking again at each wake still moves time.
    uint32_t at = elapsed() + (ms == 0 ? 1 : ms);
    if (!wakePending_ || at < wakeAt_) wakeAt_ = at;
    wakePending_ = true;
}

void HeadlessHost::deliver(const HeadlessEvent& ev) {
    if (!client_) return;
    switch (ev.kind) {
        case HeadlessEvent::Kind::Click:
            client_->onMouseDown(MouseButton::Left, ev.x, ev.y);
            break;
        case HeadlessEvent::Kind::RightClick:
            client_->onMouseDown(MouseButton::Right, ev.x, ev.y);
            break;
        case HeadlessEvent::Kind::MiddleClick:
            client_->onMouseDown(MouseButton::Middle, ev.x, ev.y);
            break;
        case HeadlessEvent::Kind::Move:
            client_->onMouseMove(ev.x, ev.y);
            break;
        case HeadlessEvent::Kind::Wheel:
            client_->onWheel(ev.steps);
            break;
        case HeadlessEvent::Kind::Pad:
        case HeadlessEvent::Kind::PadUp:
            client_->onPadButton(ev.pad, ev.kind == HeadlessEvent::Kind::Pad);
            break;
        case HeadlessEvent::Kind::Resize:
            setWindowSize(ev.x, ev.y);
            client_->onResize(ev.x, ev.y);
            break;
        case HeadlessEvent::Kind::Key:
            client_->onKeyDown(ev.key);
            break;
        case HeadlessEvent::Kind::KeyUp:
            client_->onKeyUp(ev.key);
            break;
        case HeadlessEvent::Kind::Shot:
            if (onShot) onShot(ev.text);
            break;
        case HeadlessEvent::Kind::Quit:
            terminate();
            break;
        case HeadlessEvent::Kind::Answer:
        case HeadlessEvent::Kind::Input:
        case HeadlessEvent::Kind::InputCancel:
        case HeadlessEvent::Kind::Date:
            break;
    }
}

void HeadlessHost::deliverDue() {
    if (progress) progress->store(elapsed(), std::memory_order_relaxed);
    // Input first, then the timer: an event at the same moment as a tick is seen by that tick.
    while (nextEvent_ < events_.size() && events_[nextEvent_].at <= elapsed() && !terminating_)
        deliver(events_[nextEvent_++]);
    if (!timerEnabled_ || terminating_) return;
    bool tick = nextTimer_ <= elapsed();
    // A wake that falls together with a tick is that tick.
    bool wake = wakePending_ && wakeAt_ <= elapsed();
    if (wake) wakePending_ = false;
    // Ticks missed while the player was busy collapse into one, as a desktop timer does.
    while (nextTimer_ <= elapsed()) nextTimer_ += kTimerInterval;
    if ((tick || wake) && client_) client_->onTimer();
}

void HeadlessHost::processMessages() {
    clock_.advance(1);
    // A story that loops without ever waiting still stops at the time limit.
    if (maxTime_ != 0 && elapsed() >= maxTime_) {
        maxTimeReached_ = true;
        terminate();
        return;
    }
    deliverDue();
}

HeadlessHost::RunEnd HeadlessHost::run(uint32_t maxTime) {
    maxTime_ = maxTime;
    if (client_) client_->onPaint();
    while (!terminating_) {
        bool haveEvent = nextEvent_ < events_.size();
        if (!haveEvent && (!timerEnabled_ || (client_ && client_->waitsForInputOnly())))
            return RunEnd::Idle;
        uint32_t next = UINT32_MAX;
        if (haveEvent) next = events_[nextEvent_].at;
        if (timerEnabled_ && nextTimer_ < next) next = nextTimer_;
        if (timerEnabled_ && wakePending_ && wakeAt_ < next) next = wakeAt_;
        if (maxTime != 0 && next > maxTime) {
            if (elapsed() < maxTime) clock_.advance(maxTime - elapsed());
            return RunEnd::MaxTime;
        }
        if (next > elapsed()) clock_.advance(next - elapsed());
        deliverDue();
    }
    return maxTimeReached_ ? RunEnd::MaxTime : RunEnd::Terminated;
}

}  // namespace zarvo::platform
