// The story's named layers, as its head block "LayerList" defines them: what the screens build
// their layer stacks from.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "base/string_list.hpp"

namespace zarvo {

class ScriptFile;

struct LayerDefinition {
    std::string name;
    std::string fileName;
    bool attr = false;
    int32_t left = 0, top = 0;
};

class LayerDefinitions {
  public:
    static constexpr int32_t kMaxDefinitions = 32;

    // Reads the definitions from the Head block "LayerList". A count above the table's 32 is
    // cut to 32; a count below 1 counts as 1 (the background layer alone).
    void load(ScriptFile& script);
    static std::string getSectionName(int32_t number, int kind);

    int32_t count() const { return count_; }
    const LayerDefinition& definition(int32_t i) const {
        return definitions_[static_cast<size_t>(i)];
    }
    // Definition names from the last one down to definition 0.
    const StringList& names() const { return names_; }

  private:
    int32_t count_ = 1;
    std::array<LayerDefinition, kMaxDefinitions> definitions_;
    StringList names_;
};

}  // namespace zarvo
