// The interpreter's run state apart from its position: whether the next command may run, what
// a wait is waiting for, and which message is being revealed. It travels with the call stack: a
// state-keeping call writes it into the stack's working frame and a return reads it back.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/save_container.hpp"
#include "interp/call_stack.hpp"
#include "platform/clock.hpp"
#include "platform/notice_sink.hpp"

namespace zarvo {

enum class PlayerMode : int32_t {
    Ready = 0,        // the next command may run
    Running = 1,      // a command runs in this step
    Waiting = 2,      // a wait or choice waits for a timer, a click or a key
    Message = 3,      // a message is revealed character by character
    MessageWait = 4,  // the reveal pauses (character, line, key or page wait)
};

// What a left click can do now.
enum class ClickWait : uint8_t {
    None,    // nothing: clicks do not matter
    Plain,   // end a message or plain wait
    Layers,  // hit a clickable layer, which then ends the wait
};

class RunState {
  public:
    // Keys of the state inside a stack frame.
    static constexpr std::string_view kPlayerMode = "Stack.PlayerMode";
    static constexpr std::string_view kWaitTime = "Stack.WaitTime";
    static constexpr std::string_view kActiveClick = "Stack.WaitCancel.ActiveClick";
    static constexpr std::string_view kAnykeyClick = "Stack.WaitCancel.AnykeyClick";
    static constexpr std::string_view kTimer = "Stack.WaitCancel.Timer";
    static constexpr std::string_view kWindowIndex = "Stack.MessageEffect.WindowIndex";
    static constexpr std::string_view kLayerName = "Stack.MessageEffect.LayerName";

    // Starts Running: nothing runs until opening the project ends with EndStep. None of the
    // three is owned; the state travels in `stack`, waits are timed on `clock`, and a saved
    // stack too broken to resume is told to `notices`.
    RunState(CallStack& stack, platform::Clock& clock, platform::NoticeSink& notices)
        : stack_(stack), clock_(clock), notices_(notices) {}

    // Stepping. CanStep also ends a Waiting mode whose timer has run out.
    bool canStep();
    bool beginStep();
    void endStep();
    bool takeTimerExpired();
    void reset();

    // Waits of the wait and choice commands.
    void beginWait();
    void startWaitTimer(int32_t milliseconds);
    void enableActiveClick() { activeClick_ = true; }
    void enableAnykeyClick() { anykeyClick_ = true; }
    void endWait();
    bool inputEndsWait() const;
    ClickWait clickWaitState() const;

    // Message reveal.
    void beginMessageEffect(int32_t windowIndex, std::string_view layerName);
    void beginMessageWait();
    bool messageCanAdvance();
    void endMessageEffect();
    void setMessageSkip() { messageSkip_ = true; }
    void clearMessageSkip() { messageSkip_ = false; }

    // True at the first call and then at most once per 500 ms, across the tick-count wrap too.
    bool halfSecondElapsed();
    // Whole seconds left of the running wait timer; 0 without one.
    int32_t remainingWaitSeconds();

    // The state in the stack's working frame.
    void saveState();
    void loadState();

    // The whole state, its times as how long ago they began, for the player's save states: a
    // restored wait runs on for the rest of its time on whatever the clock says then.
    struct Snapshot {
        PlayerMode playerMode = PlayerMode::Ready;
        int32_t waitTime = 0;
        uint32_t waitElapsed = 0;
        bool halfSecondStarted = false;
        uint32_t halfSecondElapsed = 0;
        bool timerExpired = false, activeClick = false, anykeyClick = false, timer = false;
        bool messageSkip = false;
        int32_t windowIndex = 0;
        std::string layerName;
    };
    Snapshot snapshot() const;
    void restore(const Snapshot& snapshot);

    bool saveInfo(SaveContainer& save);
    // Reads the saved stack, pops the saved position into the working frame and restores the
    // state from it. When no frame can be popped the save is broken beyond use: the user is told
    // so and the result is false, upon which the owner must end the application (this class
    // cannot end it).
    [[nodiscard]] bool loadInfo(SaveContainer& save);

    PlayerMode playerMode() const { return playerMode_; }
    int32_t waitTime() const { return waitTime_; }
    uint32_t waitStart() const { return waitStart_; }
    bool activeClick() const { return activeClick_; }
    bool anykeyClick() const { return anykeyClick_; }
    bool timer() const { return timer_; }
    bool timerExpired() const { return timerExpired_; }
    bool messageSkip() const { return messageSkip_; }
    int32_t windowIndex() const { return windowIndex_; }
    const std::string& layerName() const { return layerName_; }

  private:
    uint32_t now() const { return clock_.ticks(); }
    // A negative length counts as 0, so that a bad wait time ends at once instead of lasting
    // for the ~49 days it would be read as unsigned.
    bool waitTimerOver() const;
    void clearWaitFlags() { activeClick_ = anykeyClick_ = timer_ = false; }

    CallStack& stack_;
    platform::Clock& clock_;
    platform::NoticeSink& notices_;

    uint32_t waitStart_ = 0;
    int32_t waitTime_ = 0;
    uint32_t lastHalfSecond_ = 0;
    bool halfSecondStarted_ = false;
    bool timerExpired_ = false;
    PlayerMode playerMode_ = PlayerMode::Running;
    bool activeClick_ = false;
    bool anykeyClick_ = false;
    bool timer_ = false;
    bool messageSkip_ = false;
    int32_t windowIndex_ = 0;
    std::string layerName_;
};

}  // namespace zarvo
