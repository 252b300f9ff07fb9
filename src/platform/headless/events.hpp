// Timed input for headless runs, one per line: "MS VERB ARGS" (see --help of zarvoplay).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialogs.hpp"

namespace zarvo::platform {

struct HeadlessEvent {
    enum class Kind { Click, RightClick, Move, Key, Answer, Input, Shot, Quit };
    uint32_t at = 0;  // virtual ms since the run began
    Kind kind = Kind::Quit;
    int x = 0, y = 0;
    int key = 0;
    BoxAnswer answer = BoxAnswer::Ok;
    std::string text;  // input: code page 932; shot: file path
};

// Parses a whole events file. Blank lines and lines starting with "#" are skipped. On a bad
// line returns false with `error` naming the line. Events are returned sorted by time, lines
// of one time keeping their order.
bool parseEvents(std::string_view text, std::vector<HeadlessEvent>& events, std::string& error);

}  // namespace zarvo::platform
