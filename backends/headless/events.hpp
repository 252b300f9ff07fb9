// Timed input for headless runs, one per line: "MS VERB ARGS" (see --help of zarvoplay).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.hpp"
#include "platform/dialogs.hpp"
#include "platform/host.hpp"

namespace zarvo::platform {

struct HeadlessEvent {
    enum class Kind {
        Click,
        RightClick,
        MiddleClick,
        Move,
        Wheel,
        Pad,
        PadUp,
        Resize,
        Key,
        KeyUp,
        Answer,
        Input,
        InputCancel,
        Shot,
        Quit,
        Date
    };
    uint32_t at = 0;  // virtual ms since the run began
    Kind kind = Kind::Quit;
    int x = 0, y = 0;
    int key = 0;    // Windows virtual-key code
    int steps = 0;  // wheel: notches, positive up
    PadButton pad = PadButton::A;
    LocalTime date;  // date: the local time the run starts at
    BoxAnswer answer = BoxAnswer::Ok;
    std::string text;  // input: code page 932; shot: file path

    static HeadlessEvent of(Kind kind, uint32_t at = 0) {
        HeadlessEvent ev;
        ev.at = at;
        ev.kind = kind;
        return ev;
    }
    static HeadlessEvent pointer(Kind kind, int x, int y) {
        HeadlessEvent ev = of(kind);
        ev.x = x;
        ev.y = y;
        return ev;
    }
};

// Parses a whole events file. Blank lines and lines starting with "#" are skipped. On a bad
// line returns false with `error` naming the line. Events are returned sorted by time, lines
// of one time keeping their order.
bool parseEvents(std::string_view text, std::vector<HeadlessEvent>& events, std::string& error);

// One event as a line of that file, without the line break; parseEvents reads it back the same.
std::string formatEvent(const HeadlessEvent& event);

}  // namespace zarvo::platform
