#include "platform/headless/events.hpp"

#include <algorithm>
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

bool parseAnswer(const std::string& s, BoxAnswer& out) {
    static const std::pair<const char*, BoxAnswer> names[] = {
        {"ok", BoxAnswer::Ok},       {"cancel", BoxAnswer::Cancel}, {"yes", BoxAnswer::Yes},
        {"no", BoxAnswer::No},       {"abort", BoxAnswer::Abort},   {"ignore", BoxAnswer::Ignore}};
    for (auto& [name, answer] : names)
        if (s == name) {
            out = answer;
            return true;
        }
    return false;
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
    if (verb == "key") {
        ev.kind = HeadlessEvent::Kind::Key;
        if (args == "space") ev.key = 32;
        else if (args == "enter") ev.key = 13;
        else if (args == "escape") ev.key = 27;
        else return parseNumber(std::string(args), ev.key);
        return true;
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

}  // namespace zarvo::platform
