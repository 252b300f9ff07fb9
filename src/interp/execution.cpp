#include "interp/execution.hpp"

#include <utility>

#include "base/name_value.hpp"

namespace zarvo {

Execution::Execution(ScriptFile& script, platform::Clock& clock, platform::NoticeSink& notices)
    : state_(stack_, clock, notices), commands_(script, notices) {}

bool Execution::skipPastLevel(int32_t level) {
    const int32_t count = commands_.commandCount();
    for (int32_t i = nextIndex_; i < count; ++i) {
        if (commands_.getCommandLevel(i) == level) {
            nextIndex_ = i + 1;
            return true;
        }
    }
    return false;
}

void Execution::begin(std::string_view book, std::string_view page) {
    stack_.clearFrame();
    jumpTo(book, page);
    state_.endStep();
}

void Execution::jumpTo(std::string_view book, std::string_view page) {
    commands_.setBookName(book);
    commands_.setPageName(page);
    nextIndex_ = 0;
}

void Execution::callPage(std::string_view book, std::string_view page, bool keepState) {
    stack_.clearFrame();
    if (keepState) state_.saveState();
    stack_.setFrameText(CallStack::kBookName, commands_.bookName());
    stack_.setFrameText(CallStack::kPageName, commands_.pageName());
    stack_.setFrameValue(CallStack::kCommandIndex, nextIndex_);
    stack_.push();
    state_.reset();
    jumpTo(book, page);
}

void Execution::callPage(std::string_view book, std::string_view page) {
    callPage(book, page, false);
}

void Execution::callPageKeepState(std::string_view book, std::string_view page) {
    callPage(book, page, true);
}

bool Execution::returnFromCall() {
    if (!stack_.pop()) return false;
    state_.loadState();
    resumeFromFrame();
    return true;
}

void Execution::resumeFromFrame() {
    commands_.setBookName(stack_.getFrameText(CallStack::kBookName, ""));
    commands_.setPageName(stack_.getFrameText(CallStack::kPageName, ""));
    nextIndex_ = stack_.getFrameValue(CallStack::kCommandIndex, 0);
}

Execution::Snapshot Execution::snapshot() const {
    return {commands_.bookName(), commands_.pageName(), nextIndex_,
            stack_.lines(),       stack_.frame(),       state_.snapshot()};
}

void Execution::restore(Snapshot s) {
    jumpTo(s.book, s.page);
    nextIndex_ = s.nextIndex;
    stack_.restore(std::move(s.stackLines), std::move(s.frame));
    state_.restore(s.state);
}

void Execution::writeStackInfo(StringList& list) const {
    appendListString(list, CallStack::kBookName, commands_.bookName());
    appendListString(list, CallStack::kPageName, commands_.pageName());
    appendListInt(list, CallStack::kCommandIndex, nextIndex_);
    list.emplace_back(CallStack::kBorder);
    stack_.getStackLines(list);
}

}  // namespace zarvo
