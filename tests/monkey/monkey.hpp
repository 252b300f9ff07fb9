// The monkey: a seeded generator of headless events files that does what a restless reader
// does (clicks anywhere, right and middle clicks, moves, the wheel, every key the player knows,
// controller buttons, answers to every box and input, and now and then a quit), so that one
// seed always gives the same file and a finding replays exactly.
#pragma once
#include <cstdint>
#include <string>

namespace zarvo::test {

// `count` events over a screen of `width` x `height`, in the --events syntax.
std::string monkeyEvents(uint32_t seed, int count, int width, int height);

}  // namespace zarvo::test
