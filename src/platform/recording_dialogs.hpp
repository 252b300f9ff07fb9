// Dialogs that answer from a queue and remember every box shown: the headless host's dialogs and
// the way tests assert on the exact text and kind of each message.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialogs.hpp"

namespace zarvo::platform {

class RecordingDialogs final : public Dialogs {
  public:
    // A box takes the first queued answer that is due (its time reached on the `now` source,
    // when one is set); with none due it gets defaultAnswer(kind). Input boxes likewise take a
    // queued text (OK) or cancel, and are cancelled when nothing is due.
    void queueAnswer(BoxAnswer answer, uint32_t notBefore = 0) {
        answers_.push_back({notBefore, answer});
    }
    void queueInput(std::string text, uint32_t notBefore = 0) {
        inputs_.push_back({notBefore, true, std::move(text)});
    }
    void queueInputCancel(uint32_t notBefore = 0) { inputs_.push_back({notBefore, false, {}}); }
    std::function<uint32_t()> now;

    // Called after each box with what was shown and answered (traces, stderr).
    std::function<void(const ShownBox&)> onShown;

    BoxAnswer showMessage(BoxKind kind, std::string_view text) override;
    BoxAnswer showMessageWithNote(BoxKind kind, std::string_view text,
                                  std::string_view note) override;
    bool inputBox(std::string_view caption, std::string_view prompt, std::string& value) override;

    const std::vector<ShownBox>& shown() const { return shown_; }
    void clear() { shown_.clear(); }

  private:
    struct Answer {
        uint32_t notBefore;
        BoxAnswer answer;
    };
    struct Input {
        uint32_t notBefore;
        bool ok;
        std::string text;
    };
    template <class Queue>
    typename Queue::iterator firstDue(Queue& q) {
        uint32_t t = now ? now() : UINT32_MAX;
        for (auto it = q.begin(); it != q.end(); ++it)
            if (it->notBefore <= t) return it;
        return q.end();
    }
    std::deque<Answer> answers_;
    std::deque<Input> inputs_;
    std::vector<ShownBox> shown_;
};

}  // namespace zarvo::platform
