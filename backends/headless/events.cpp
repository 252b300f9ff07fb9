#include "backends/headless/events.hpp"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "base/sjis.hpp"
#include "base/string_list.hpp"
#include "base/text.hpp"

namespace zarvo::platform {
namespace {

bool parseNumber(const std::string& s, int& out) {
    int32_t v;
    if (!tryParseInt(s, v)) return false;
    out = v;
    return true;
}

const std::pair<const char*, BoxAnswer> kAnswerNames[] = {
    {"ok", BoxAnswer::Ok}, {"cancel", BoxAnswer::Cancel}, {"yes", BoxAnswer::Yes},
    {"no", BoxAnswer::No}, {"abort", BoxAnswer::Abort},   {"ignore", BoxAnswer::Ignore}};

// Keys with a name in the file (letters a-z and f1-f12 besides); any other key is written as
// its code.
const std::pair<const char*, int> kKeyNames[] = {
    {"space", 32}, {"enter", 13}, {"escape", 27}, {"tab", 9},       {"backspace", 8}, {"shift", 16},
    {"ctrl", 17},  {"alt", 18},   {"pageup", 33}, {"pagedown", 34}, {"end", 35},      {"home", 36},
    {"left", 37},  {"up", 38},    {"right", 39},  {"down", 40}};

const std::pair<const char*, PadButton> kPadNames[] = {{"a", PadButton::A},
                                                       {"b", PadButton::B},
                                                       {"x", PadButton::X},
                                                       {"y", PadButton::Y},
                                                       {"start", PadButton::Start},
                                                       {"back", PadButton::Back},
                                                       {"lb", PadButton::LeftShoulder},
                                                       {"rb", PadButton::RightShoulder},
                                                       {"up", PadButton::Up},
                                                       {"down", PadButton::Down},
                                                       {"left", PadButton::Left},
                                                       {"right", PadButton::Right}};

std::string keyName(int code) {
    for (auto& [name, c] : kKeyNames)
        if (c == code) return name;
    if (code >= 'A' && code <= 'Z') return std::string(1, static_cast<char>(code - 'A' + 'a'));
    if (code >= 112 && code <= 123) return "f" + std::to_string(code - 111);
    return std::to_string(code);
}

bool parseAnswer(const std::string& s, BoxAnswer& out) {
    for (auto& [name, answer] : kAnswerNames)
        if (s == name) {
            out = answer;
            return true;
        }
    return false;
}

bool parseKey(std::string_view s, int& out) {
    for (auto& [name, code] : kKeyNames)
        if (s == name) {
            out = code;
            return true;
        }
    if (s.size() == 1 && s[0] >= 'a' && s[0] <= 'z') {
        out = 'A' + (s[0] - 'a');
        return true;
    }
    int f = 0;
    if (s.size() >= 2 && s[0] == 'f' && parseNumber(std::string(s.substr(1)), f) && f >= 1 &&
        f <= 12 && s[1] != '0' && s[1] != '+' && s[1] != '-') {
        out = 111 + f;
        return true;
    }
    // A number is a code (a single digit being the digit's own key would read the same).
    return parseNumber(std::string(s), out) && out > 0 && out < 256;
}

bool parsePad(std::string_view s, PadButton& out) {
    for (auto& [name, button] : kPadNames)
        if (s == name) {
            out = button;
            return true;
        }
    return false;
}

// "YYYY-MM-DD HH:MM:SS"
bool parseDate(std::string_view s, LocalTime& out) {
    int y, mo, d, h, mi, sec;
    char tail;
    if (std::sscanf(std::string(s).c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &sec,
                    &tail) != 6)
        return false;
    if (y < 1900 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 60 ||
        h < 0 || mi < 0 || sec < 0)
        return false;
    out = calendarTime(calendarSeconds({y, mo, d, h, mi, sec, 0}));
    return true;
}

bool parseLine(const std::string& line, HeadlessEvent& ev) {
    std::istringstream in(line);
    std::string at, verb;
    if (!(in >> at >> verb)) return false;
    int ms;
    if (!parseNumber(at, ms) || ms < 0) return false;
    ev.at = static_cast<uint32_t>(ms);
    std::string rest;
    std::getline(in, rest);
    std::string_view args = trimBlanks(rest);
    std::istringstream argIn{std::string(args)};
    auto xy = [&] {
        std::string a, b, extra;
        return argIn >> a >> b && !(argIn >> extra) && parseNumber(a, ev.x) && parseNumber(b, ev.y);
    };
    if (verb == "click") {
        ev.kind = HeadlessEvent::Kind::Click;
        return xy();
    }
    if (verb == "rclick") {
        ev.kind = HeadlessEvent::Kind::RightClick;
        return xy();
    }
    if (verb == "mclick") {
        ev.kind = HeadlessEvent::Kind::MiddleClick;
        return xy();
    }
    if (verb == "wheel") {
        // "wheel up|down [N]": N notches, one when left out.
        ev.kind = HeadlessEvent::Kind::Wheel;
        std::string direction, count, extra;
        if (!(argIn >> direction) || (direction != "up" && direction != "down")) return false;
        int n = 1;
        if (argIn >> count && (!parseNumber(count, n) || n < 1 || n > 1000)) return false;
        if (argIn >> extra) return false;
        ev.steps = direction == "up" ? n : -n;
        return true;
    }
    if (verb == "pad" || verb == "padup") {
        ev.kind = verb == "pad" ? HeadlessEvent::Kind::Pad : HeadlessEvent::Kind::PadUp;
        return parsePad(args, ev.pad);
    }
    if (verb == "resize") {
        ev.kind = HeadlessEvent::Kind::Resize;
        return xy() && ev.x > 0 && ev.y > 0 && ev.x <= 16384 && ev.y <= 16384;
    }
    if (verb == "move") {
        ev.kind = HeadlessEvent::Kind::Move;
        return xy();
    }
    if (verb == "key" || verb == "keyup") {
        ev.kind = verb == "key" ? HeadlessEvent::Kind::Key : HeadlessEvent::Kind::KeyUp;
        return parseKey(args, ev.key);
    }
    if (verb == "answer") {
        ev.kind = HeadlessEvent::Kind::Answer;
        return parseAnswer(std::string(args), ev.answer);
    }
    if (verb == "input") {
        // The rest of the line after one blank, kept as written (it may be empty).
        ev.kind = HeadlessEvent::Kind::Input;
        std::string text = rest.empty() ? "" : rest.substr(1);
        return utf8ToSjis(text, ev.text);
    }
    if (verb == "input-cancel") {
        ev.kind = HeadlessEvent::Kind::InputCancel;
        return args.empty();
    }
    if (verb == "date") {
        ev.kind = HeadlessEvent::Kind::Date;
        return parseDate(args, ev.date);
    }
    if (verb == "shot") {
        ev.kind = HeadlessEvent::Kind::Shot;
        ev.text = std::string(args);
        return !ev.text.empty();
    }
    if (verb == "quit") {
        ev.kind = HeadlessEvent::Kind::Quit;
        return args.empty();
    }
    return false;
}

}  // namespace

bool parseEvents(std::string_view text, std::vector<HeadlessEvent>& events, std::string& error) {
    events.clear();
    StringList lines = splitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view trimmed = trimBlanks(lines[i]);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        HeadlessEvent ev;
        if (!parseLine(lines[i], ev)) {
            error = "line " + std::to_string(i + 1) + ": cannot read \"" + lines[i] + "\"";
            return false;
        }
        events.push_back(std::move(ev));
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const HeadlessEvent& a, const HeadlessEvent& b) { return a.at < b.at; });
    return true;
}

std::string formatEvent(const HeadlessEvent& ev) {
    std::string line = std::to_string(ev.at) + ' ';
    auto xy = [&] { return ' ' + std::to_string(ev.x) + ' ' + std::to_string(ev.y); };
    auto key = [&] { return keyName(ev.key); };
    auto pad = [&] {
        for (auto& [name, button] : kPadNames)
            if (button == ev.pad) return std::string(name);
        return std::string("a");
    };
    using Kind = HeadlessEvent::Kind;
    switch (ev.kind) {
        case Kind::Click:
            return line + "click" + xy();
        case Kind::RightClick:
            return line + "rclick" + xy();
        case Kind::MiddleClick:
            return line + "mclick" + xy();
        case Kind::Move:
            return line + "move" + xy();
        case Kind::Wheel:
            return line + "wheel " + (ev.steps > 0 ? "up " : "down ") +
                   std::to_string(ev.steps > 0 ? ev.steps : -ev.steps);
        case Kind::Pad:
            return line + "pad " + pad();
        case Kind::PadUp:
            return line + "padup " + pad();
        case Kind::Resize:
            return line + "resize" + xy();
        case Kind::Key:
            return line + "key " + key();
        case Kind::KeyUp:
            return line + "keyup " + key();
        case Kind::Answer:
            for (auto& [name, answer] : kAnswerNames)
                if (answer == ev.answer) return line + "answer " + name;
            return line + "answer ok";
        case Kind::Input:
            return line + "input " + sjisToUtf8(ev.text);
        case Kind::InputCancel:
            return line + "input-cancel";
        case Kind::Shot:
            return line + "shot " + ev.text;
        case Kind::Quit:
            return line + "quit";
        case Kind::Date: {
            char text[32];
            std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", ev.date.year % 10000,
                          ev.date.month % 100, ev.date.day % 100, ev.date.hour % 100,
                          ev.date.minute % 100, ev.date.second % 100);
            return line + "date " + text;
        }
    }
    return line + "quit";
}

}  // namespace zarvo::platform
