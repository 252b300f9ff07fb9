// The command table: every keyword, and every parameter line a command reads with its kind, its
// default and, for a choice, the values it knows. The handlers, the authoring check and anything
// else that needs a parameter name take it from here, so a name or default exists once.
//
// A choice's values are listed in the order of the enum the handlers switch on; Command::choice()
// turns a read value into that enum, an unlisted one into the enum's Other (or the handler's
// fallback where the command treats every other value alike).
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "zarvo/texts.hpp"

namespace zarvo {

// Command types by keyword; the numbers are the ones the interpreter dispatches on.
enum class CommandType : int32_t {
    Unknown = 0,
    Rem = 1,
    If = 2,
    Else = 3,
    EndIf = 4,
    MessageDraw = 5,
    GraphicDraw = 6,
    Effect = 7,
    Music = 8,
    Sound = 9,
    MusicStop = 10,
    ValueCtrl = 11,
    StringCtrl = 12,
    LayerCtrl = 13,
    GraphicCtrl = 14,
    Wait = 15,
    Select = 16,
    Move = 17,
    Call = 18,
    Return = 19,
    DynamicLayer = 20,
    DynamicLayerClear = 21,
    WindowShow = 22,
    StringInput = 23,
    SaveCtrl = 24,
    System = 25,
};

inline constexpr int32_t kCommandTypeCount = 26;

// Type of a trimmed command line: the whole line compared byte for byte with the keywords.
CommandType commandTypeOf(std::string_view trimmedLine);
// The keyword of a type ("@if"); "" for Unknown.
std::string_view commandKeyword(CommandType type);

enum class ParamKind : uint8_t {
    Text,    // read as written (and expanded where the command says so)
    Number,  // a plain integer
    Value,   // a value expression: a number or one "%name%" reference
    Flag,    // 0 or 1
    Choice,  // one of `choices`; anything else takes the command's fallback path
};

struct Param {
    std::string_view name;
    ParamKind kind = ParamKind::Text;
    std::string_view fallback;   // Text, Value, Choice: what a missing line reads as
    int32_t fallbackNumber = 0;  // Number and Flag (0 or 1): what a missing line reads as
    std::span<const std::string_view> choices{};
    int32_t numbered = 0;  // above 0: the lines NAME1 .. NAMEn
};

// The name of line `n` of a numbered parameter ("Select.Page" 3 -> "Select.Page3").
std::string numberedName(const Param& param, int32_t n);

// Index of `value` among the choices (compared byte for byte), or -1.
int32_t choiceIndex(const Param& param, std::string_view value);

template <class E>
E choiceOf(const Param& param, std::string_view value, E otherwise) {
    int32_t i = choiceIndex(param, value);
    return i < 0 ? otherwise : static_cast<E>(i);
}

struct CommandSpec {
    CommandType type;
    std::string_view keyword;
    std::span<const Param* const> params;
};

// Every command type, Unknown first (keyword ""), in the order of CommandType.
std::span<const CommandSpec> commandTable();
const CommandSpec& commandSpec(CommandType type);

// ---- Values of the choices, in enum order ----

// Comparisons of @if. Text comparisons are the first three, value comparisons the last six.
// Other: a value the list does not hold (the test fails).
enum class Compare : uint8_t { In, Equal, Unequal, Up, Down, UpEqual, DownEqual, Other };
inline constexpr std::string_view kCompareNames[] = {"in",   "Equal",   "Unequal",  "Up",
                                                     "Down", "UpEqual", "DownEqual"};
inline constexpr std::span<const std::string_view> kTextCompareNames{kCompareNames, 3};
inline constexpr std::span<const std::string_view> kValueCompareNames{kCompareNames + 1, 6};

enum class VariableType : uint8_t { Value, Other };  // Other compares texts
inline constexpr std::string_view kVariableTypeNames[] = {"Value"};

// The transitions of @GraphicDraw; "None" (and any unknown name) runs none.
inline constexpr std::string_view kEffectNames[] = {
    "None", "Fadein", "LeftTo", "TopTo", "RndPanel", "Blind", "Square", "Wave", "Mosaic"};

// Every value but None reveals the message step by step.
enum class MessageEffect : uint8_t { None, Auto, Other };
inline constexpr std::string_view kMessageEffectNames[] = {"None", "Auto"};

enum class Calc : uint8_t { Add, Sub, Mul, Div, Mod, Other };  // Other: no calculation
inline constexpr std::string_view kCalcNames[] = {"Add", "Sub", "Mul", "Div", "Mod"};

enum class WaitInput : uint8_t { Keypress, Clickable };
inline constexpr std::string_view kWaitInputNames[] = {"Keypress", "Clickable"};

enum class DynamicType : uint8_t { Transparent, Image, Text };
inline constexpr std::string_view kDynamicTypeNames[] = {"Transparent", "Image", "Text"};

enum class AnimeName : uint8_t { None, Repeat, Once, Timer };
inline constexpr std::string_view kAnimeNames[] = {"None", "Repeat", "Once", "Timer"};

enum class ClickArea : uint8_t { None, All, Opaque };
inline constexpr std::string_view kClickAreaNames[] = {"None", "All", "Opaque"};

enum class ClickMove : uint8_t { Move, Call };
inline constexpr std::string_view kClickMoveNames[] = {"Move", "Call"};

enum class ClickButton : uint8_t { Left, Right };
inline constexpr std::string_view kClickButtonNames[] = {"Left", "Right"};

enum class ActiveName : uint8_t { Auto, Disable, Waiting, Always };
inline constexpr std::string_view kActiveNames[] = {"Auto", "Disable", "Waiting", "Always"};

enum class SaveCommand : uint8_t {
    Open,
    Create,
    Append,
    Close,
    AutoSave,
    AutoLoad,
    LoadValue,
    SaveValue,
    Other
};
inline constexpr std::string_view kSaveCommandNames[] = {
    "Open", "Create", "Append", "Close", "AutoSave", "AutoLoad", "LoadValue", "SaveValue"};

enum class SystemCommand : uint8_t {
    MessageSkip,
    MessageEffect,
    MessageDirect,
    MusicEnable,
    MusicDisable,
    SoundEnable,
    SoundDisable,
    MusicVolume,
    SoundVolume,
    FullScreen,
    WindowMode,
    Other
};
inline constexpr std::string_view kSystemCommandNames[] = {
    "MessageSkip",  "MessageEffect", "MessageDirect", "MusicEnable", "MusicDisable", "SoundEnable",
    "SoundDisable", "MusicVolume",   "SoundVolume",   "FullScreen",  "WindowMode"};

// ---- The parameters, one namespace per command ----
// A Layer.Image.FileName of "Clear" empties the layer instead of loading a picture.
inline constexpr std::string_view kClearImage = "Clear";

namespace params {

using K = ParamKind;

namespace if_ {
inline constexpr Param kVariableType{"if.VariableType", K::Choice, "Value", 0, kVariableTypeNames};
inline constexpr Param kCompare{"if.Compare", K::Choice, "Equal", 0, kCompareNames};
inline constexpr Param kVariable1{"if.Variable1", K::Value, ""};
inline constexpr Param kVariable2{"if.Variable2", K::Value, ""};
}  // namespace if_

namespace message_draw {
inline constexpr Param kText{"MessageDraw.Text", K::Text, ""};
inline constexpr Param kLayer{"MessageDraw.Layer", K::Text, texts::kTextLayer};
inline constexpr Param kEffect{"MessageDraw.Effect", K::Choice, "Auto", 0, kMessageEffectNames};
inline constexpr Param kLayerMove{"MessageDraw.Layer.Move", K::Flag, "", 0};
inline constexpr Param kLeft{"MessageDraw.Area.Left", K::Number, "", 0};
inline constexpr Param kTop{"MessageDraw.Area.Top", K::Number, "", 0};
inline constexpr Param kWidth{"MessageDraw.Area.Width", K::Number, "", 0};
inline constexpr Param kHeight{"MessageDraw.Area.Height", K::Number, "", 0};
}  // namespace message_draw

namespace graphic_draw {
inline constexpr Param kFileName{"GraphicDraw.FileName", K::Text, ""};
inline constexpr Param kLayer{"GraphicDraw.Layer", K::Text, texts::kBackgroundLayer};
inline constexpr Param kEffectType{"GraphicDraw.EffectType", K::Choice, "None", 0, kEffectNames};
inline constexpr Param kEffectAreaLimit{"GraphicDraw.EffectAreaLimit", K::Flag, "", 0};
inline constexpr Param kScrnRefresh{"GraphicDraw.ScrnRefresh", K::Flag, "", 1};
inline constexpr Param kLayerMove{"GraphicDraw.Layer.Move", K::Flag, "", 0};
inline constexpr Param kLeft{"GraphicDraw.Area.Left", K::Number, "", 0};
inline constexpr Param kTop{"GraphicDraw.Area.Top", K::Number, "", 0};
inline constexpr Param kWidth{"GraphicDraw.Area.Width", K::Number, "", 0};
inline constexpr Param kHeight{"GraphicDraw.Area.Height", K::Number, "", 0};
inline constexpr Param kAutoSize{"GraphicDraw.AutoSize", K::Flag, "", 1};
inline constexpr Param kTransparent{"GraphicDraw.Transparent", K::Flag, "", 0};
inline constexpr Param kTranslucent{"GraphicDraw.Translucent", K::Flag, "", 0};
}  // namespace graphic_draw

namespace music {
inline constexpr Param kFileName{"Music.FileName", K::Text, ""};
inline constexpr Param kLoop{"Music.Loop", K::Number, "", 0};
}  // namespace music

namespace sound {
inline constexpr Param kFileName{"Sound.FileName", K::Text, ""};
inline constexpr Param kWait{"Sound.Wait", K::Flag, "", 0};
inline constexpr Param kProtect{"Sound.Protect", K::Flag, "", 1};
}  // namespace sound

namespace value_ctrl {
inline constexpr Param kValueVar{"ValueCtrl.ValueVar", K::Text, ""};
inline constexpr Param kLeftValue{"ValueCtrl.LeftValue", K::Value, ""};
inline constexpr Param kRightValue{"ValueCtrl.RightValue", K::Value, ""};
// Empty (or unknown) stores LeftValue as it is.
inline constexpr Param kCalc{"ValueCtrl.Calc", K::Choice, "", 0, kCalcNames};
}  // namespace value_ctrl

namespace string_ctrl {
inline constexpr Param kStringVar{"StringCtrl.StringVar", K::Text, ""};
inline constexpr Param kText{"StringCtrl.Text", K::Text, ""};
}  // namespace string_ctrl

namespace string_input {
inline constexpr Param kStringVar{"StringInput.StringVar", K::Text, ""};
inline constexpr Param kCaption{"StringInput.Caption", K::Text, ""};
inline constexpr Param kText{"StringInput.Text", K::Text, ""};
}  // namespace string_input

namespace layer_ctrl {
inline constexpr Param kName{"Layer.Name", K::Text, ""};
inline constexpr Param kVisibleChange{"Layer.Visible.Change", K::Flag, "", 0};
inline constexpr Param kVisibleShow{"Layer.Visible.Show", K::Flag, "", 1};
inline constexpr Param kImageChange{"Layer.Image.Change", K::Flag, "", 0};
inline constexpr Param kImageFileName{"Layer.Image.FileName", K::Text, kClearImage};
inline constexpr Param kPosChange{"Layer.Pos.Change", K::Flag, "", 0};
inline constexpr Param kPosLeft{"Layer.Pos.Left", K::Value, "0"};
inline constexpr Param kPosTop{"Layer.Pos.Top", K::Value, "0"};
inline constexpr Param kSizeChange{"Layer.Size.Change", K::Flag, "", 0};
inline constexpr Param kSizeWidth{"Layer.Size.Width", K::Value, "0"};
inline constexpr Param kSizeHeight{"Layer.Size.Height", K::Value, "0"};
inline constexpr Param kViewChange{"Layer.ViewPos.Change", K::Flag, "", 0};
inline constexpr Param kViewLeft{"Layer.ViewPos.Left", K::Value, "0"};
inline constexpr Param kViewTop{"Layer.ViewPos.Top", K::Value, "0"};
inline constexpr Param kScrnRefresh{"Layer.ScrnRefresh", K::Flag, "", 1};
}  // namespace layer_ctrl

namespace wait {
inline constexpr Param kTimeBreak{"Wait.TimeBreak", K::Flag, "", 0};
inline constexpr Param kTime{"Wait.Time", K::Number, "", 0};
inline constexpr Param kInputBreak{"Wait.InputBreak", K::Flag, "", 0};
inline constexpr Param kInput{"Wait.Input", K::Choice, "Keypress", 0, kWaitInputNames};
}  // namespace wait

namespace select {
inline constexpr int32_t kMaxChoices = 20;
inline constexpr Param kLeft{"Select.Area.Left", K::Number, "", 0};
inline constexpr Param kTop{"Select.Area.Top", K::Number, "", 0};
inline constexpr Param kWidth{"Select.Area.Width", K::Number, "", 0};
inline constexpr Param kImport{"Select.Area.Import", K::Flag, "", 0};
inline constexpr Param kImportLayer{"Select.Area.ImportLayer", K::Text, ""};
inline constexpr Param kTimeout{"Select.Timeout", K::Flag, "", 0};
inline constexpr Param kTime{"Select.Time", K::Number, "", 0};
inline constexpr Param kTimerGauge{"Select.TimerGauge", K::Flag, "", 1};
// The choices run up to the first empty page name.
inline constexpr Param kPage{"Select.Page", K::Text, "", 0, {}, kMaxChoices};
inline constexpr Param kText{"Select.Text", K::Text, "", 0, {}, kMaxChoices};
}  // namespace select

namespace move {
inline constexpr Param kBookName{"Move.BookName", K::Text, ""};
inline constexpr Param kPageName{"Move.PageName", K::Text, ""};
}  // namespace move

namespace call {
inline constexpr Param kBookName{"Call.BookName", K::Text, ""};
inline constexpr Param kPageName{"Call.PageName", K::Text, ""};
}  // namespace call

namespace dynamic_layer {
inline constexpr Param kType{"DynamicLayer.Type", K::Choice, "Transparent", 0, kDynamicTypeNames};
inline constexpr Param kImageFileName{"DynamicLayer.Image.FileName", K::Text, ""};
inline constexpr Param kAnimeCount{"DynamicLayer.Image.AnimeCount", K::Number, "", 1};
inline constexpr Param kDivideCount{"DynamicLayer.Image.DivideCount", K::Number, "", 1};
inline constexpr Param kAnimeType{"DynamicLayer.Image.AnimeType", K::Choice, "None", 0,
                                  kAnimeNames};
inline constexpr Param kIndexDisable{"DynamicLayer.ImageIndex.Disable", K::Number, "", 0};
inline constexpr Param kIndexEnable{"DynamicLayer.ImageIndex.Enable", K::Number, "", 0};
inline constexpr Param kIndexActive{"DynamicLayer.ImageIndex.Active", K::Number, "", 0};
inline constexpr Param kText{"DynamicLayer.Text.Text", K::Text, ""};
inline constexpr Param kClickMode{"DynamicLayer.Clickable.Mode", K::Choice, "None", 0,
                                  kClickAreaNames};
inline constexpr Param kClickBook{"DynamicLayer.Clickable.BookName", K::Text, ""};
inline constexpr Param kClickPage{"DynamicLayer.Clickable.PageName", K::Text, ""};
inline constexpr Param kClickClear{"DynamicLayer.Clickable.Clear", K::Flag, "", 0};
inline constexpr Param kClickCursor{"DynamicLayer.Clickable.Cursor", K::Flag, "", 1};
inline constexpr Param kClickMove{"DynamicLayer.Clickable.Move", K::Choice, "Move", 0,
                                  kClickMoveNames};
inline constexpr Param kKeepExecuteMode{"DynamicLayer.Clickable.KeepExecuteMode", K::Flag, "", 0};
inline constexpr Param kClickButton{"DynamicLayer.Clickable.Button", K::Choice, "Left", 0,
                                    kClickButtonNames};
inline constexpr Param kLeft{"DynamicLayer.Area.Left", K::Value, "0"};
inline constexpr Param kTop{"DynamicLayer.Area.Top", K::Value, "0"};
inline constexpr Param kWidth{"DynamicLayer.Area.Width", K::Value, "0"};
inline constexpr Param kHeight{"DynamicLayer.Area.Height", K::Value, "0"};
inline constexpr Param kAttrId{"DynamicLayer.AttrID", K::Number, "", 0};
inline constexpr Param kActiveMode{"DynamicLayer.ActiveMode", K::Choice, "Auto", 0, kActiveNames};
inline constexpr Param kScrnRefresh{"DynamicLayer.ScrnRefresh", K::Flag, "", 1};
}  // namespace dynamic_layer

namespace dynamic_layer_clear {
inline constexpr Param kAttrId{"DynamicLayerClear.AttrID", K::Number, "", 0};
inline constexpr Param kScrnRefresh{"DynamicLayerClear.ScrnRefresh", K::Flag, "", 1};
}  // namespace dynamic_layer_clear

namespace save_ctrl {
inline constexpr Param kCommand{"SaveCtrl.Command", K::Choice, "", 0, kSaveCommandNames};
inline constexpr Param kFileName{"SaveCtrl.FileName", K::Text, ""};
inline constexpr Param kKey{"SaveCtrl.Key", K::Text, ""};
inline constexpr Param kVariable{"SaveCtrl.Variable", K::Text, ""};
inline constexpr Param kValue{"SaveCtrl.Value", K::Text, ""};
}  // namespace save_ctrl

namespace system {
inline constexpr Param kCommand{"System.Command", K::Choice, "", 0, kSystemCommandNames};
inline constexpr Param kVolume{"System.Volume", K::Number, "", 100};
}  // namespace system

}  // namespace params

}  // namespace zarvo
