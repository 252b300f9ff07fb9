// Where the interpreter is and how it got there: the page being run (the command cache keeps its
// commands), the index of the next command, the call stack of places to return to and the run
// state. Only these moves change the place, so a jump, a call, a return and a restored save all
// leave it consistent.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/string_list.hpp"
#include "interp/call_stack.hpp"
#include "interp/run_state.hpp"
#include "script/command_cache.hpp"

namespace zarvo {

namespace platform {
class Clock;
class NoticeSink;
}  // namespace platform

class ScriptFile;

class Execution {
  public:
    Execution(ScriptFile& script, platform::Clock& clock, platform::NoticeSink& notices);
    Execution(const Execution&) = delete;
    Execution& operator=(const Execution&) = delete;

    RunState& state() { return state_; }
    const RunState& state() const { return state_; }
    CallStack& stack() { return stack_; }
    const CallStack& stack() const { return stack_; }
    CommandCache& commands() { return commands_; }
    const std::string& bookName() const { return commands_.bookName(); }
    const std::string& pageName() const { return commands_.pageName(); }

    // Index of the next command of the current page.
    int32_t nextIndex() const { return nextIndex_; }
    // The index of the command about to run; the place moves past it (a handler that jumps
    // moves it again).
    int32_t takeNext() { return nextIndex_++; }
    // Moves past the next command of nesting `level` from the place on. False, place unchanged,
    // when the page has none.
    bool skipPastLevel(int32_t level);

    // A story that starts: at its start page, nothing on the stack, ready to run.
    void begin(std::string_view book, std::string_view page);
    void jumpTo(std::string_view book, std::string_view page);
    void callPage(std::string_view book, std::string_view page);
    // A call that brings the run state back on return (timers, click layers, "_reload").
    void callPageKeepState(std::string_view book, std::string_view page);
    // False when there is no call to return to.
    bool returnFromCall();
    // A restored save: the place is the one in the stack's working frame.
    void resumeFromFrame();

    // The place, the stack and the run state, for the player's save states. Restoring moves to
    // the place as it is: the caller checks that its page exists.
    struct Snapshot {
        std::string book, page;
        int32_t nextIndex = 0;
        StringList stackLines, frame;  // bottom first
        RunState::Snapshot state;
    };
    Snapshot snapshot() const;
    void restore(Snapshot snapshot);

    // The place and the stack as the debug window lists them.
    void writeStackInfo(StringList& list) const;

  private:
    void callPage(std::string_view book, std::string_view page, bool keepState);

    CallStack stack_;
    RunState state_;
    CommandCache commands_;
    int32_t nextIndex_ = 0;
};

}  // namespace zarvo
