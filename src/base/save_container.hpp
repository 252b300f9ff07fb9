// Where controllers put their part of a save file: named sections of text lines, and the odd
// picture as bytes. The save system backs it with a save package; tests back it with a map.
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
    // Binary sections (pictures). A container that keeps only text refuses them.
    virtual bool writeBytes(std::string_view name, std::string_view bytes) {
        (void)name;
        (void)bytes;
        return false;
    }
    // False when the section is missing; `bytes` is then unchanged.
    virtual bool readBytes(std::string_view name, std::string& bytes) {
        (void)name;
        (void)bytes;
        return false;
    }
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
    bool writeBytes(std::string_view name, std::string_view bytes) override {
        blobs[std::string(name)] = std::string(bytes);
        return true;
    }
    bool readBytes(std::string_view name, std::string& bytes) override {
        auto it = blobs.find(std::string(name));
        if (it == blobs.end()) return false;
        bytes = it->second;
        return true;
    }
    std::map<std::string, StringList, std::less<>> sections;
    std::map<std::string, std::string, std::less<>> blobs;
};

}  // namespace zarvo
