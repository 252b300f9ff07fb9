#include "platform/recording_dialogs.hpp"

namespace zarvo::platform {

BoxAnswer RecordingDialogs::showMessage(BoxKind kind, std::string_view text) {
    return showMessageWithNote(kind, text, {});
}

BoxAnswer RecordingDialogs::showMessageWithNote(BoxKind kind, std::string_view text,
                                                std::string_view note) {
    BoxAnswer answer = defaultAnswer(kind);
    if (auto it = firstDue(answers_); it != answers_.end()) {
        answer = it->answer;
        answers_.erase(it);
    }
    shown_.push_back({kind, std::string(text), answer, std::string(note)});
    if (onShown) onShown(shown_.back());
    return answer;
}

bool RecordingDialogs::inputBox(std::string_view, std::string_view, std::string& value) {
    auto it = firstDue(inputs_);
    if (it == inputs_.end()) return false;
    Input in = std::move(*it);
    inputs_.erase(it);
    if (in.ok) value = std::move(in.text);
    return in.ok;
}

}  // namespace zarvo::platform
