#include "interp/call_stack.hpp"

#include "base/name_value.hpp"

namespace zarvo {

std::string CallStack::getFrameText(std::string_view name, std::string_view fallback) const {
    return readListString(frame_, name, fallback);
}

void CallStack::setFrameText(std::string_view name, std::string_view value) {
    writeListString(frame_, name, value);
}

int32_t CallStack::getFrameValue(std::string_view name, int32_t fallback) const {
    return readListInt(frame_, name, fallback);
}

void CallStack::setFrameValue(std::string_view name, int32_t value) {
    writeListInt(frame_, name, value);
}

bool CallStack::getFrameFlag(std::string_view name, bool fallback) const {
    return readListBool(frame_, name, fallback);
}

void CallStack::setFrameFlag(std::string_view name, bool value) {
    writeListBool(frame_, name, value);
}

void CallStack::push() {
    lines_.reserve(lines_.size() + frame_.size() + 1);
    lines_.emplace_back(kBorder);
    for (std::string& line : frame_) lines_.push_back(std::move(line));
    frame_.clear();
}

bool CallStack::pop() {
    frame_.clear();
    while (!lines_.empty()) {
        std::string line = std::move(lines_.back());
        lines_.pop_back();
        if (line.empty() || line == kBorder) break;
        frame_.push_back(std::move(line));
    }
    return !frame_.empty();
}

void CallStack::getStackLines(StringList& list) const {
    list.insert(list.end(), lines_.rbegin(), lines_.rend());
}

bool CallStack::saveInfo(SaveContainer& save) const {
    StringList section;
    getStackLines(section);
    return save.writeSection(kSection, section);
}

bool CallStack::loadInfo(SaveContainer& save) {
    StringList section;
    if (!save.readSection(kSection, section)) return false;
    lines_.assign(std::make_move_iterator(section.rbegin()),
                  std::make_move_iterator(section.rend()));
    return true;
}

}  // namespace zarvo
