#include "base/name_value.hpp"

#include "base/text.hpp"

namespace zarvo {

int findNameLine(const StringList& list, std::string_view name) {
    for (size_t i = 0; i < list.size(); ++i) {
        std::string_view line = list[i];
        size_t eq = line.find('=');
        if (eq != std::string_view::npos && sameText(line.substr(0, eq), name))
            return static_cast<int>(i);
    }
    return -1;
}

bool findNameValue(const StringList& list, std::string_view name, std::string_view& value) {
    int i = findNameLine(list, name);
    if (i < 0) return false;
    std::string_view line = list[static_cast<size_t>(i)];
    value = line.substr(line.find('=') + 1);
    return true;
}

std::string readListString(const StringList& list, std::string_view name,
                           std::string_view fallback) {
    std::string_view v;
    return std::string(findNameValue(list, name, v) ? v : fallback);
}

int32_t readListInt(const StringList& list, std::string_view name, int32_t fallback) {
    std::string_view v;
    return findNameValue(list, name, v) ? parseInt(v, fallback) : fallback;
}

bool readListBool(const StringList& list, std::string_view name, bool fallback) {
    return readListInt(list, name, fallback ? 1 : 0) != 0;
}

void writeListString(StringList& list, std::string_view name, std::string_view value) {
    std::string line;
    line.reserve(name.size() + 1 + value.size());
    line.append(name).append("=").append(value);
    int i = findNameLine(list, name);
    if (i >= 0)
        list[static_cast<size_t>(i)] = std::move(line);
    else
        list.push_back(std::move(line));
}

void writeListInt(StringList& list, std::string_view name, int32_t value) {
    writeListString(list, name, intToStr(value));
}

void writeListBool(StringList& list, std::string_view name, bool value) {
    writeListString(list, name, boolToText(value));
}

void appendListString(StringList& list, std::string_view name, std::string_view value) {
    std::string line(name);
    line.append("=").append(value);
    list.push_back(std::move(line));
}

void appendListInt(StringList& list, std::string_view name, int32_t value) {
    appendListString(list, name, intToStr(value));
}

void appendListBool(StringList& list, std::string_view name, bool value) {
    appendListString(list, name, boolToText(value));
}

}  // namespace zarvo
