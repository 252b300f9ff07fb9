#include "script/layer_definitions.hpp"

#include <algorithm>

#include "script/script_file.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

std::string LayerDefinitions::getSectionName(int32_t number, int kind) {
    static const char* const kSuffix[] = {".LayerName", ".FileName", ".Attr", ".Left", ".Top"};
    if (kind < 0 || kind > 4) return {};
    return "Layer." + std::to_string(number) + kSuffix[kind];
}

void LayerDefinitions::load(ScriptFile& script) {
    constexpr std::string_view kHead = "LayerList";
    count_ = std::clamp(script.readHeadInt(kHead, "LayerCount", 1), 1, kMaxDefinitions);
    for (int32_t i = 1; i < count_; ++i) {
        LayerDefinition& d = definitions_[static_cast<size_t>(i)];
        d.name = script.readHeadString(kHead, getSectionName(i, 0), "noname");
        d.fileName = script.readHeadString(kHead, getSectionName(i, 1), "");
        d.attr = script.readHeadBool(kHead, getSectionName(i, 2), false);
        d.left = script.readHeadInt(kHead, getSectionName(i, 3), 0);
        d.top = script.readHeadInt(kHead, getSectionName(i, 4), 0);
    }
    definitions_[0] = LayerDefinition{std::string(texts::kBackgroundLayer), "", true, 0, 0};
    names_.clear();
    for (int32_t i = count_ - 1; i >= 0; --i)
        names_.push_back(definitions_[static_cast<size_t>(i)].name);
}

}  // namespace zarvo
