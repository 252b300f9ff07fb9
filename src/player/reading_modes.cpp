#include "player/reading_modes.hpp"

#include <algorithm>
#include <memory>

#include "graphics/screen.hpp"
#include "interp/run_state.hpp"
#include "platform/clock.hpp"
#include "platform/host.hpp"
#include "player/hide_overlay.hpp"
#include "player/overlay_stack.hpp"
#include "player/player_settings.hpp"

namespace zarvo {
namespace {

// How long each skipped message shows: 50 messages a second.
constexpr uint32_t kSkipFrameMs = 20;

}  // namespace

ReadingModes::ReadingModes(const Services& services, Hooks hooks)
    : services_(services), hooks_(std::move(hooks)) {}

void ReadingModes::setSkipToggle(bool on) {
    if (on == skipToggle_) return;
    skipToggle_ = on;
    if (on)
        services_.process.setMessageSkip();
    else if (!heldSkip_)
        services_.process.clearMessageSkip();
    traceSkip();
    if (on) hooks_.answerInput();
}

void ReadingModes::setAutoMode(bool on) {
    if (on == autoMode_) return;
    autoMode_ = on;
    autoArmed_ = false;
    hooks_.tell(on ? "auto on" : "auto off");
    if (on) afterSteps();
}

void ReadingModes::keyPressed(PlayerAction action) {
    if (skipToggle_ && action != PlayerAction::ToggleSkip) setSkipToggle(false);
    if (autoMode_ && action != PlayerAction::ToggleAuto) setAutoMode(false);
}

void ReadingModes::clicked() {
    services_.process.clearMessageSkip();
    heldSkip_ = false;
    setSkipToggle(false);
    traceSkip();
    setAutoMode(false);
}

void ReadingModes::holdSkip() {
    // A skip the story turned on itself stays on when the button is let go.
    if (services_.process.messageSkip()) return;
    services_.process.setMessageSkip();
    heldSkip_ = true;
    traceSkip();
}

void ReadingModes::releaseSkip() {
    if (heldSkip_ && !skipToggle_) services_.process.clearMessageSkip();
    heldSkip_ = false;
    traceSkip();
}

void ReadingModes::hideText() {
    if (!hide_) {
        auto overlay = std::make_unique<HideOverlay>(
            services_.screen, services_.messageLayer,
            [this](bool on) { hooks_.tell(on ? "hide on" : "hide off"); });
        hide_ = overlay.get();
        services_.overlays.add(std::move(overlay));
    }
    hide_->open();
    services_.overlays.present();
}

bool ReadingModes::hurryTyping() {
    RunState& process = services_.process;
    if (process.playerMode() != PlayerMode::MessageWait || !process.timer() ||
        !services_.screen.hurryMessage())
        return false;
    process.endWait();
    hooks_.answerInput();
    return true;
}

void ReadingModes::tick(bool ctrlSkipDue) {
    // Every wait turns the skip off; while Ctrl is held the next tick turns it on again.
    RunState& process = services_.process;
    // A skip the story turned on itself stays on when the key is let go.
    if (ctrlSkipDue && !heldSkip_ && !process.messageSkip()) {
        heldSkip_ = true;
        traceSkip();
    }
    if (skipping()) process.setMessageSkip();
}

void ReadingModes::unreadMessage() {
    if (skipToggle_ && services_.settings.skipReadOnly) setSkipToggle(false);
}

void ReadingModes::afterSteps() {
    // Nothing is due while an overlay holds the story still: a wake now would only find it
    // still held, and ask again.
    if (services_.host.isTerminating() || services_.overlays.open()) return;
    const RunState& process = services_.process;
    const PlayerMode mode = process.playerMode();
    // Choices are the reader's to make: the skip toggle stops there.
    if (skipToggle_ && mode == PlayerMode::Waiting && process.activeClick()) setSkipToggle(false);
    if (runAutoMode()) return;
    // A skipped message shows for a frame, then the next one comes.
    if (process.messageSkip() && (mode == PlayerMode::MessageWait || mode == PlayerMode::Message)) {
        if (mode == PlayerMode::MessageWait) skipFrameStart_ = services_.clock.ticks();
        services_.host.wakeAfter(kSkipFrameMs);
        return;
    }
    // A message's own waits (each character's, "<W>") end on time rather than at the next tick.
    if (process.playerMode() == PlayerMode::MessageWait && process.timer()) {
        uint32_t passed = services_.clock.ticks() - process.waitStart();
        uint32_t length = process.waitTime() > 0 ? static_cast<uint32_t>(process.waitTime()) : 0;
        services_.host.wakeAfter(passed < length ? length - passed : 0);
    }
}

bool ReadingModes::skipFrameShowing() const {
    const RunState& process = services_.process;
    return process.messageSkip() && process.playerMode() == PlayerMode::MessageWait &&
           !platform::tickReached(services_.clock.ticks(), skipFrameStart_, kSkipFrameMs);
}

bool ReadingModes::endsWaitItself(bool ctrlMaySkip) const {
    return services_.process.playerMode() == PlayerMode::MessageWait &&
           ((ctrlMaySkip && !heldSkip_) || autoMode_);
}

bool ReadingModes::runAutoMode() {
    RunState& process = services_.process;
    if (!autoMode_ || process.playerMode() != PlayerMode::MessageWait || !process.anykeyClick() ||
        process.timer()) {
        autoArmed_ = false;
        return false;
    }
    const uint32_t now = services_.clock.ticks();
    if (!autoArmed_) {
        autoArmed_ = true;
        autoStart_ = now;
        const PlayerSettings& settings = services_.settings;
        autoLength_ =
            static_cast<uint32_t>(settings.autoDelayMs) +
            static_cast<uint32_t>(settings.autoPerCharMs) *
                static_cast<uint32_t>(std::max(services_.screen.charsBeforeLastWait(), 0));
    }
    if (!platform::tickReached(now, autoStart_, autoLength_)) {
        services_.host.wakeAfter(autoLength_ - (now - autoStart_));
        return false;
    }
    autoArmed_ = false;
    process.endWait();
    hooks_.runSteps();
    return true;
}

void ReadingModes::traceSkip() {
    const bool on = skipping();
    if (on == skipTraced_) return;
    skipTraced_ = on;
    hooks_.tell(on ? "skip on" : "skip off");
}

}  // namespace zarvo
