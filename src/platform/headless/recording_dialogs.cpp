#include "platform/headless/recording_dialogs.hpp"

namespace zarvo::platform {

BoxAnswer RecordingDialogs::showMessage(BoxKind kind, std::string_view text) {
    BoxAnswer answer = defaultAnswer(kind);
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    shown_.push_back({kind, std::string(text), answer});
    if (onShown) onShown(shown_.back());
    return answer;
}

bool RecordingDialogs::inputBox(std::string_view, std::string_view, std::string& value) {
    // Unanswered input boxes are cancelled.
    if (inputs_.empty()) return false;
    Input in = std::move(inputs_.front());
    inputs_.pop_front();
    if (in.ok) value = std::move(in.text);
    return in.ok;
}

}  // namespace zarvo::platform
