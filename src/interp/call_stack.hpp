// The call stack: frames of Name=Value lines kept as plain text, so that a save file can carry
// the whole stack (and the run state inside it) as one text section.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "base/save_container.hpp"
#include "base/string_list.hpp"

namespace zarvo {

class CallStack {
  public:
    // Line pushed below every frame; an empty line stops a pop the same way.
    static constexpr std::string_view kBorder = "@StackBorder";
    static constexpr std::string_view kSection = "stack.info";
    // Position keys written by every call.
    static constexpr std::string_view kBookName = "Stack.BookName";
    static constexpr std::string_view kPageName = "Stack.PageName";
    static constexpr std::string_view kCommandIndex = "Stack.CommandIndex";

    // Working frame. Names match without regard to ASCII letter case.
    void clearFrame() { frame_.clear(); }
    std::string getFrameText(std::string_view name, std::string_view fallback) const;
    void setFrameText(std::string_view name, std::string_view value);
    int32_t getFrameValue(std::string_view name, int32_t fallback) const;
    void setFrameValue(std::string_view name, int32_t value);
    bool getFrameFlag(std::string_view name, bool fallback) const;
    void setFrameFlag(std::string_view name, bool value);
    const StringList& frame() const { return frame_; }

    // Pushes the border, then the frame lines in order (the last one ends on top); clears the
    // frame.
    void push();
    // Replaces the frame with the lines above the next border (or empty line), in the order they
    // come off the stack, and drops that border. False when the frame stays empty.
    bool pop();

    // Appends every stack line, top first.
    void getStackLines(StringList& list) const;
    size_t lineCount() const { return lines_.size(); }

    // Every line, bottom first, and the working frame: the player's save states keep both.
    const StringList& lines() const { return lines_; }
    void restore(StringList lines, StringList frame) {
        lines_ = std::move(lines);
        frame_ = std::move(frame);
    }

    // The stack as the section "stack.info", top line first.
    bool saveInfo(SaveContainer& save) const;
    // False, stack unchanged, when the section is missing.
    bool loadInfo(SaveContainer& save);

  private:
    // Bottom first, so that push and pop work at the end of the vector; the top-first order
    // exists only at the interface.
    StringList lines_;
    StringList frame_;
};

}  // namespace zarvo
