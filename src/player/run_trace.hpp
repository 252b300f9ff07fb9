// What a run writes for whoever asked, headless or on the desktop: the trace (one line per
// executed command, dialog and cursor change, each with its time on the run's clock) and the
// variable dump.
#pragma once
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "platform/dialogs.hpp"

namespace zarvo {

class Player;
class Variables;

class RunTrace {
  public:
    // `now`: milliseconds on the run's clock, written at the start of each line.
    explicit RunTrace(std::function<uint32_t()> now) : now_(std::move(now)) {}

    // Where the lines go; the caller opens and owns the stream. Nothing is written before.
    void writeTo(std::ostream& out) { out_ = &out; }
    // Traces the commands and cursor changes of `main` from now on.
    void follow(Player& main);
    // "MS box KIND: TEXT", the text on one line (UTF-8, line breaks as \n).
    std::string boxLine(const platform::ShownBox& box) const;
    void box(const platform::ShownBox& box);

  private:
    std::function<uint32_t()> now_;
    std::ostream* out_ = nullptr;
};

// "%NAME%=VALUE" and "$NAME$=TEXT" lines in UTF-8, in the order the variables were first set.
// False when the stream failed.
bool writeVariableDump(std::ostream& out, const Variables& variables);

}  // namespace zarvo
