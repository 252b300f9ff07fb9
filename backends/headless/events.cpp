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

// Keys with a name in the file; any other key is written as its code.
const std::pair<const char*, int> kKeyNames[] = {{"space", 32}, {"enter", 13}, {"escape", 27},
                                                 {"shift", 16}, {"ctrl", 17},  {"alt", 18},
                                                 {"f11", 122},  {"f12", 123}};

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
    return parseNumber(std::string(s), out) && out > 0 && out < 256;
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
    auto key = [&] {
        for (auto& [name, code] : kKeyNames)
            if (code == ev.key) return std::string(name);
        return std::to_string(ev.key);
    };
    using Kind = HeadlessEvent::Kind;
    switch (ev.kind) {
        case Kind::Click:
            return line + "click" + xy();
        case Kind::RightClick:
            return line + "rclick" + xy();
        case Kind::Move:
            return line + "move" + xy();
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
