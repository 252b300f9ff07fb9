// The monkey: a seeded generator of headless events files that does what a restless reader
// does (clicks anywhere, right and middle clicks, moves, the wheel, every key the player knows,
// controller buttons, answers to every box and input, and now and then a quit), so that one
// seed always gives the same file and a finding replays exactly.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zarvo::test {

struct ClickTarget {
    int left, top, width, height;
};

// Where a script puts its clickable layers and choices, read from its text: clicks anywhere
// rarely hit a button, so the monkey aims some of its clicks there.
std::vector<ClickTarget> clickTargets(const std::string& script);

// `count` events over a screen of `width` x `height`, in the --events syntax; about one in
// seven is a click (or a move and a click) inside one of `targets`.
std::string monkeyEvents(uint32_t seed, int count, int width, int height,
                         const std::vector<ClickTarget>& targets = {});

}  // namespace zarvo::test
