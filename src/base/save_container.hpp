// Where controllers put their part of a save file: named sections of text lines. The save system
// backs it with a save package; tests back it with a map.
#pragma once
#include <map>
#include <string>
#include <string_view>

#include "base/string_list.hpp"

namespace zarvo {

class SaveContainer {
public:
    virtual ~SaveContainer() = default;
    virtual bool writeSection(std::string_view name, const StringList& lines) = 0;
    // False when the section is missing; `lines` is then unchanged.
    virtual bool readSection(std::string_view name, StringList& lines) = 0;
};

// In-memory container: sections kept as lists, the later write of a name replacing the earlier.
class MemorySaveContainer final : public SaveContainer {
public:
    bool writeSection(std::string_view name, const StringList& lines) override {
        sections[std::string(name)] = lines;
        return true;
    }
    bool readSection(std::string_view name, StringList& lines) override {
        auto it = sections.find(std::string(name));
        if (it == sections.end()) return false;
        lines = it->second;
        return true;
    }
    std::map<std::string, StringList, std::less<>> sections;
};

}  // namespace zarvo
