// Dialogs that answer from a queue and remember every box shown: the headless host's dialogs and
// the way tests assert on the exact text and kind of each message.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialogs.hpp"

namespace zarvo::platform {

struct ShownBox {
    BoxKind kind;
    std::string text;  // code page 932, as shown
    BoxAnswer answer;
};

class RecordingDialogs final : public Dialogs {
public:
    // Answers are taken in order; a box with no queued answer gets defaultAnswer(kind).
    void queueAnswer(BoxAnswer answer) { answers_.push_back(answer); }
    // Input box answers: a text for OK, or nullopt-like cancel via queueInputCancel.
    void queueInput(std::string text) { inputs_.push_back({true, std::move(text)}); }
    void queueInputCancel() { inputs_.push_back({false, {}}); }

    // Called after each box with what was shown and answered (traces, stderr).
    std::function<void(const ShownBox&)> onShown;

    BoxAnswer showMessage(BoxKind kind, std::string_view text) override;
    bool inputBox(std::string_view caption, std::string_view prompt, std::string& value) override;

    const std::vector<ShownBox>& shown() const { return shown_; }
    void clear() { shown_.clear(); }

private:
    struct Input {
        bool ok;
        std::string text;
    };
    std::deque<BoxAnswer> answers_;
    std::deque<Input> inputs_;
    std::vector<ShownBox> shown_;
};

}  // namespace zarvo::platform
