#include "script/command_table.hpp"

#include <array>

namespace zarvo {

namespace {

namespace p = params;

constexpr const Param* kIf[] = {&p::if_::kVariableType, &p::if_::kCompare, &p::if_::kVariable1,
                                &p::if_::kVariable2};
constexpr const Param* kMessageDraw[] = {&p::message_draw::kText,   &p::message_draw::kLayer,
                                         &p::message_draw::kEffect, &p::message_draw::kLayerMove,
                                         &p::message_draw::kLeft,   &p::message_draw::kTop,
                                         &p::message_draw::kWidth,  &p::message_draw::kHeight};
constexpr const Param* kGraphicDraw[] = {
    &p::graphic_draw::kFileName,    &p::graphic_draw::kLayer,
    &p::graphic_draw::kEffectType,  &p::graphic_draw::kEffectAreaLimit,
    &p::graphic_draw::kScrnRefresh, &p::graphic_draw::kLayerMove,
    &p::graphic_draw::kLeft,        &p::graphic_draw::kTop,
    &p::graphic_draw::kWidth,       &p::graphic_draw::kHeight,
    &p::graphic_draw::kAutoSize,    &p::graphic_draw::kTransparent,
    &p::graphic_draw::kTranslucent};
constexpr const Param* kMusic[] = {&p::music::kFileName, &p::music::kLoop};
constexpr const Param* kSound[] = {&p::sound::kFileName, &p::sound::kWait, &p::sound::kProtect};
constexpr const Param* kValueCtrl[] = {&p::value_ctrl::kValueVar, &p::value_ctrl::kLeftValue,
                                       &p::value_ctrl::kRightValue, &p::value_ctrl::kCalc};
constexpr const Param* kStringCtrl[] = {&p::string_ctrl::kStringVar, &p::string_ctrl::kText};
constexpr const Param* kLayerCtrl[] = {
    &p::layer_ctrl::kName,        &p::layer_ctrl::kVisibleChange, &p::layer_ctrl::kVisibleShow,
    &p::layer_ctrl::kImageChange, &p::layer_ctrl::kImageFileName, &p::layer_ctrl::kPosChange,
    &p::layer_ctrl::kPosLeft,     &p::layer_ctrl::kPosTop,        &p::layer_ctrl::kSizeChange,
    &p::layer_ctrl::kSizeWidth,   &p::layer_ctrl::kSizeHeight,    &p::layer_ctrl::kViewChange,
    &p::layer_ctrl::kViewLeft,    &p::layer_ctrl::kViewTop,       &p::layer_ctrl::kScrnRefresh};
constexpr const Param* kWait[] = {&p::wait::kTimeBreak, &p::wait::kTime, &p::wait::kInputBreak,
                                  &p::wait::kInput};
constexpr const Param* kSelect[] = {
    &p::select::kLeft,        &p::select::kTop,     &p::select::kWidth, &p::select::kImport,
    &p::select::kImportLayer, &p::select::kTimeout, &p::select::kTime,  &p::select::kTimerGauge,
    &p::select::kPage,        &p::select::kText};
constexpr const Param* kMove[] = {&p::move::kBookName, &p::move::kPageName};
constexpr const Param* kCall[] = {&p::call::kBookName, &p::call::kPageName};
constexpr const Param* kDynamicLayer[] = {
    &p::dynamic_layer::kType,        &p::dynamic_layer::kImageFileName,
    &p::dynamic_layer::kAnimeCount,  &p::dynamic_layer::kDivideCount,
    &p::dynamic_layer::kAnimeType,   &p::dynamic_layer::kIndexDisable,
    &p::dynamic_layer::kIndexEnable, &p::dynamic_layer::kIndexActive,
    &p::dynamic_layer::kText,        &p::dynamic_layer::kClickMode,
    &p::dynamic_layer::kClickBook,   &p::dynamic_layer::kClickPage,
    &p::dynamic_layer::kClickClear,  &p::dynamic_layer::kClickCursor,
    &p::dynamic_layer::kClickMove,   &p::dynamic_layer::kKeepExecuteMode,
    &p::dynamic_layer::kClickButton, &p::dynamic_layer::kLeft,
    &p::dynamic_layer::kTop,         &p::dynamic_layer::kWidth,
    &p::dynamic_layer::kHeight,      &p::dynamic_layer::kAttrId,
    &p::dynamic_layer::kActiveMode,  &p::dynamic_layer::kScrnRefresh};
constexpr const Param* kDynamicLayerClear[] = {&p::dynamic_layer_clear::kAttrId,
                                               &p::dynamic_layer_clear::kScrnRefresh};
constexpr const Param* kStringInput[] = {&p::string_input::kStringVar, &p::string_input::kCaption,
                                         &p::string_input::kText};
constexpr const Param* kSaveCtrl[] = {&p::save_ctrl::kCommand, &p::save_ctrl::kFileName,
                                      &p::save_ctrl::kKey, &p::save_ctrl::kVariable,
                                      &p::save_ctrl::kValue};
constexpr const Param* kSystem[] = {&p::system::kCommand, &p::system::kVolume};

using T = CommandType;

// Indexed by type; entry 0 stands for every unknown keyword.
constexpr std::array<CommandSpec, kCommandTypeCount> kTable = {{
    {T::Unknown, "", {}},
    {T::Rem, "@rem", {}},
    {T::If, "@if", kIf},
    {T::Else, "@else", {}},
    {T::EndIf, "@endif", {}},
    {T::MessageDraw, "@MessageDraw", kMessageDraw},
    {T::GraphicDraw, "@GraphicDraw", kGraphicDraw},
    {T::Effect, "@Effect", {}},
    {T::Music, "@Music", kMusic},
    {T::Sound, "@Sound", kSound},
    {T::MusicStop, "@MusicStop", {}},
    {T::ValueCtrl, "@ValueCtrl", kValueCtrl},
    {T::StringCtrl, "@StringCtrl", kStringCtrl},
    {T::LayerCtrl, "@LayerCtrl", kLayerCtrl},
    {T::GraphicCtrl, "@GraphicCtrl", {}},
    {T::Wait, "@Wait", kWait},
    {T::Select, "@Select", kSelect},
    {T::Move, "@Move", kMove},
    {T::Call, "@Call", kCall},
    {T::Return, "@Return", {}},
    {T::DynamicLayer, "@DynamicLayer", kDynamicLayer},
    {T::DynamicLayerClear, "@DynamicLayerClear", kDynamicLayerClear},
    {T::WindowShow, "@WindowShow", {}},
    {T::StringInput, "@StringInput", kStringInput},
    {T::SaveCtrl, "@SaveCtrl", kSaveCtrl},
    {T::System, "@System", kSystem},
}};

// The enums the handlers switch on follow their lists; Other comes after the last.
template <class E, size_t N>
constexpr bool follows(const std::string_view (&)[N], E other) {
    return static_cast<size_t>(other) == N;
}
static_assert(follows(kCompareNames, Compare::Other));
static_assert(follows(kVariableTypeNames, VariableType::Other));
static_assert(follows(kMessageEffectNames, MessageEffect::Other));
static_assert(follows(kCalcNames, Calc::Other));
static_assert(follows(kSaveCommandNames, SaveCommand::Other));
static_assert(follows(kSystemCommandNames, SystemCommand::Other));

}  // namespace

std::span<const CommandSpec> commandTable() {
    return kTable;
}

const CommandSpec& commandSpec(CommandType type) {
    int32_t t = static_cast<int32_t>(type);
    return kTable[t >= 0 && t < kCommandTypeCount ? static_cast<size_t>(t) : 0];
}

CommandType commandTypeOf(std::string_view trimmedLine) {
    if (trimmedLine.size() < 2 || trimmedLine[0] != '@') return CommandType::Unknown;
    for (size_t t = 1; t < kTable.size(); ++t)
        if (kTable[t].keyword == trimmedLine) return kTable[t].type;
    return CommandType::Unknown;
}

std::string_view commandKeyword(CommandType type) {
    return commandSpec(type).keyword;
}

std::string numberedName(const Param& param, int32_t n) {
    return std::string(param.name) + std::to_string(n);
}

int32_t choiceIndex(const Param& param, std::string_view value) {
    for (size_t i = 0; i < param.choices.size(); ++i)
        if (param.choices[i] == value) return static_cast<int32_t>(i);
    return -1;
}

}  // namespace zarvo
