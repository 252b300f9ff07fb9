#include "monkey.hpp"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>

namespace zarvo::test {

std::vector<ClickTarget> clickTargets(const std::string& script) {
    std::vector<ClickTarget> targets;
    std::map<std::string, std::string> pending;  // the parameters since the last command
    std::istringstream lines(script);
    std::string line;
    auto number = [&](const std::string& key, int otherwise) {
        auto it = pending.find(key);
        return it == pending.end() ? otherwise : std::atoi(it->second.c_str());
    };
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("@DynamicLayer", 0) == 0) {
            const auto mode = pending.find("DynamicLayer.Clickable.Mode");
            if (mode != pending.end() && (mode->second == "All" || mode->second == "Opaque"))
                targets.push_back({number("DynamicLayer.Area.Left", 0),
                                   number("DynamicLayer.Area.Top", 0),
                                   number("DynamicLayer.Area.Width", 32),
                                   number("DynamicLayer.Area.Height", 32)});
        } else if (line.rfind("@Select", 0) == 0) {
            int choices = 0;
            for (const auto& [key, value] : pending) choices += key.rfind("Select.Text", 0) == 0;
            // A row of the player's message font each, roughly.
            targets.push_back({number("Select.Area.Left", 0), number("Select.Area.Top", 0),
                               number("Select.Area.Width", 320), 32 * choices});
        }
        if (!line.empty() && line[0] == '@') {
            pending.clear();
        } else if (auto equals = line.find('='); equals != std::string::npos) {
            pending[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return targets;
}

std::string monkeyEvents(uint32_t seed, int count, int width, int height,
                         const std::vector<ClickTarget>& targets) {
    static const std::vector<std::string> keys = {
        "space",    "enter", "escape", "tab",  "backspace", "ctrl",  "alt",  "pageup",
        "pagedown", "home",  "end",    "left", "up",        "right", "down", "a",
        "z",        "f1",    "f5",     "f11",  "f12",       "shift"};
    static const std::vector<std::string> pads = {"a",  "b",  "x",  "y",    "start", "back",
                                                  "lb", "rb", "up", "down", "left",  "right"};
    static const std::vector<std::string> answers = {"ok", "cancel", "yes",
                                                     "no", "abort",  "ignore"};
    static const std::vector<std::string> inputs = {"x", "名前", "a", "%x%", "$s$", "<B>", "##"};
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    auto xy = [&] {
        // Mostly on the screen, sometimes just off it.
        return " " + std::to_string(pick(width + 20) - 10) + " " +
               std::to_string(pick(height + 20) - 10);
    };
    std::string out;
    uint32_t ms = 0;
    for (int i = 0; i < count; ++i) {
        // Bursts of quick input between long pauses, so timed waits both expire and get cut.
        ms += pick(4) == 0 ? 1 + pick(20) : 50 + pick(3000);
        std::string line = std::to_string(ms) + " ";
        if (!targets.empty() && pick(7) == 0) {
            const ClickTarget& t = targets[static_cast<size_t>(pick(int(targets.size())))];
            const std::string at = " " + std::to_string(t.left + pick(std::max(t.width, 1))) + " " +
                                   std::to_string(t.top + pick(std::max(t.height, 1)));
            // Half the time the pointer comes first, as a reader's does.
            if (pick(2)) {
                out += line + "move" + at + "\n";
                ms += 1 + pick(300);
                line = std::to_string(ms) + " ";
            }
            out += line + "click" + at + "\n";
            continue;
        }
        int kind = pick(100);
        if (kind < 40) {
            line += "click" + xy();
        } else if (kind < 45) {
            line += "rclick" + xy();
        } else if (kind < 48) {
            line += "mclick" + xy();
        } else if (kind < 55) {
            line += "move" + xy();
        } else if (kind < 60) {
            line += std::string("wheel ") + (pick(2) ? "up" : "down") + " " +
                    std::to_string(1 + pick(3));
        } else if (kind < 78) {
            const std::string& key = keys[static_cast<size_t>(pick(int(keys.size())))];
            line += "key " + key;
            // Held keys let go again, mostly.
            if (pick(3)) {
                out += line + "\n";
                ms += 1 + pick(500);
                line = std::to_string(ms) + " keyup " + key;
            }
        } else if (kind < 83) {
            line += "pad " + pads[static_cast<size_t>(pick(int(pads.size())))];
        } else if (kind < 92) {
            line += "answer " + answers[static_cast<size_t>(pick(int(answers.size())))];
        } else if (kind < 98) {
            line += "input " + inputs[static_cast<size_t>(pick(int(inputs.size())))];
        } else if (kind < 99) {
            line += "input-cancel";
        } else {
            line += "quit";
        }
        out += line + "\n";
    }
    return out;
}

}  // namespace zarvo::test
