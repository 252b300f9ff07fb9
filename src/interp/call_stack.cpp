#include "interp/call_stack.hpp"

#include "base/name_value.hpp"

namespace zarvo {

std::string CallStack::GetFrameText(std::string_view name, std::string_view fallback) const {
    return ReadListString(frame_, name, fallback);
}

void CallStack::SetFrameText(std::string_view name, std::string_view value) {
    WriteListString(frame_, name, value);
}

int32_t CallStack::GetFrameValue(std::string_view name, int32_t fallback) const {
    return ReadListInt(frame_, name, fallback);
}

void CallStack::SetFrameValue(std::string_view name, int32_t value) {
    WriteListInt(frame_, name, value);
}

bool CallStack::GetFrameFlag(std::string_view name, bool fallback) const {
    return ReadListBool(frame_, name, fallback);
}

void CallStack::SetFrameFlag(std::string_view name, bool value) {
    WriteListBool(frame_, name, value);
}

void CallStack::Push() {
    lines_.reserve(lines_.size() + frame_.size() + 1);
    lines_.emplace_back(kBorder);
    for (std::string& line : frame_) lines_.push_back(std::move(line));
    frame_.clear();
}

bool CallStack::Pop() {
    frame_.clear();
    while (!lines_.empty()) {
        std::string line = std::move(lines_.back());
        lines_.pop_back();
        if (line.empty() || line == kBorder) break;
        frame_.push_back(std::move(line));
    }
    return !frame_.empty();
}

void CallStack::GetStackLines(StringList& list) const {
    list.insert(list.end(), lines_.rbegin(), lines_.rend());
}

bool CallStack::SaveInfo(SaveContainer& save) const {
    StringList section;
    GetStackLines(section);
    return save.writeSection(kSection, section);
}

bool CallStack::LoadInfo(SaveContainer& save) {
    StringList section;
    if (!save.readSection(kSection, section)) return false;
    lines_.assign(std::make_move_iterator(section.rbegin()), std::make_move_iterator(section.rend()));
    return true;
}

}  // namespace zarvo
