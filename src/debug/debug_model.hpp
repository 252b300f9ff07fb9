// The debug information window without its drawing: the run / step / pause state and the gate
// that holds the interpreter back, the five lists (position and call stack, layers, dynamic
// layers, numeric and text variables) rebuilt after each step, the list of the selected tab with
// its selection, and how each row is labelled. A desktop window draws this; tests drive it
// directly.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/string_list.hpp"
#include "debug/debug_hooks.hpp"

namespace zarvo {

namespace platform {
class Clock;
class Host;
}  // namespace platform

enum class DebugStepState : uint8_t { Running = 0, SingleStep = 1, Paused = 2 };

enum class DebugTab : int { Process = 0, Screen = 1, Variables = 2 };
inline constexpr int kDebugTabCount = 3;

// Icons of the rows and tool buttons, numbered as the window's image list.
enum class DebugIcon : int {
    None = -1,  // an empty row (the border lines of the call stack)
    StackLine = 0,
    Book = 1,
    Page = 2,
    CommandIndex = 3,
    Layer = 4,
    DynamicLayer = 5,
    NumberVariable = 6,
    TextVariable = 7,
    Run = 8,
    Step = 9,
    Pause = 10,
};
inline constexpr int kDebugIconCount = 11;

// One row as drawn: icon, label (left column) and value (right column), code page 932.
struct DebugRow {
    DebugIcon icon = DebugIcon::None;
    std::string label;
    std::string value;
};

// At most `maxBytes` of `text`, never ending in the first half of a two-byte character.
std::string_view cutText(std::string_view text, size_t maxBytes);

class DebugModel final : public DebugHooks {
  public:
    static constexpr uint32_t kPauseSleep = 100;  // ms between message pumps while paused
    static constexpr size_t kValueBytes = 32;     // longest value shown, and dynamic layer text

    struct Services {
        platform::Host* host = nullptr;
        platform::Clock* clock = nullptr;
    };

    explicit DebugModel(const Services& services);

    // The objects whose state is shown; not owned. Without both, refreshing does nothing.
    void setControls(Story* story, Execution* execution, Screen* screen);

    void debugGate() override;
    void refreshDebugInfo() override;
    void fillDebugList();

    // Tool buttons.
    void tbPlayClick();
    void tbStepClick();
    void tbPauseClick();
    // The window was closed: nobody is left to press run, so the story runs on.
    void formClose();
    DebugStepState stepState() const { return stepState_; }
    // The tool button shown pressed.
    DebugIcon downButton() const;

    void tabControlChange(DebugTab tab);
    DebugTab tab() const { return tab_; }

    // The items of the selected tab and the row each one draws as.
    const StringList& items() const { return items_; }
    DebugRow row(int index) const;
    int itemIndex() const { return itemIndex_; }  // -1 when nothing is selected
    int topIndex() const { return topIndex_; }
    void select(int index);
    void setTopIndex(int index);

    const StringList& stackLines() const { return stackLines_; }
    const StringList& layerLines() const { return layerLines_; }
    const StringList& dynamicLines() const { return dynamicLines_; }
    const StringList& numberLines() const { return numberLines_; }
    const StringList& textLines() const { return textLines_; }

    // Told whenever the items, the selection or the step state change, so a view can redraw.
    std::function<void()> onChange;

  private:
    void changed() {
        if (onChange) onChange();
    }

    Services services_;
    Story* story_ = nullptr;
    Execution* execution_ = nullptr;
    Screen* screen_ = nullptr;
    StringList stackLines_, layerLines_, dynamicLines_, numberLines_, textLines_;
    StringList items_;
    DebugTab tab_ = DebugTab::Process;
    int itemIndex_ = -1;
    int topIndex_ = 0;
    DebugStepState stepState_ = DebugStepState::Running;
};

}  // namespace zarvo
