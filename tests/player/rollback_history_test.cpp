// The history rollback keeps: what comes back is byte for byte what went in, after its pieces
// were shared and deflated; unchanged pieces cost nothing; the oldest go past the limits.
#include "player/rollback_history.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace zarvo {
namespace {

// A raw picture as a state holds it (width, height, mode, 32-bit pixels): a gradient with
// noise, different for every `seed`.
std::string picture(uint32_t seed, int width = 320, int height = 240) {
    std::string head(9, '\0');
    for (int i = 0; i < 4; ++i) {
        head[i] = static_cast<char>((width >> (8 * i)) & 0xFF);
        head[4 + i] = static_cast<char>((height >> (8 * i)) & 0xFF);
    }
    std::string bytes(static_cast<size_t>(width) * height * 4, '\0');
    uint32_t s = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            s = s * 1664525u + 1013904223u;
            const int noise = static_cast<int>(s >> 29) - 4;
            const size_t at = (static_cast<size_t>(y) * width + x) * 4;
            bytes[at] = static_cast<char>((x + static_cast<int>(seed) * 7 + noise) & 0xFF);
            bytes[at + 1] = static_cast<char>((y + noise) & 0xFF);
            bytes[at + 2] = static_cast<char>((x + y) / 4 & 0xFF);
        }
    return head + bytes;
}

RollbackSnapshot snapshot(uint32_t message) {
    // The scene changes every fourth message, the text layer and the variables every message.
    auto bytes = [](std::string s) { return std::make_shared<const std::string>(std::move(s)); };
    return {{"layer/0", bytes(picture(message / 4))},
            {"layer/text", bytes(picture(message, 160, 40))},
            {"variables", bytes("%n%=" + std::to_string(message) + "\n")}};
}

// The same names and bytes, shared or not.
bool same(const RollbackSnapshot& a, const RollbackSnapshot& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || *a[i].bytes != *b[i].bytes) return false;
    return true;
}

TEST(RollbackHistory, GivesBackWhatWasKeptSharingAndDeflatingTheRestWithinItsLimits) {
    RollbackHistory history({.count = 10, .bytes = size_t{64} << 20, .rawBytes = 0});
    for (uint32_t m = 0; m < 12; ++m) history.push(snapshot(m), m);
    EXPECT_EQ(history.size(), 10u);  // the two oldest went
    EXPECT_EQ(history.tag(9), 2u);
    EXPECT_EQ(history.rawBytes(), 0u);  // everything deflated at once with no room for raw
    // Ten snapshots of 300 KB raw, their scenes shared in fours and the rest deflated.
    const size_t raw = snapshot(0)[0].bytes->size() + snapshot(0)[1].bytes->size();
    EXPECT_LT(history.bytes(), 10 * raw / 4);

    RollbackSnapshot back;
    ASSERT_TRUE(history.rollBack(3, back));  // to message 8; 9, 10 and 11 go
    EXPECT_TRUE(same(back, snapshot(8)));
    EXPECT_EQ(history.size(), 7u);
    EXPECT_EQ(history.tag(0), 8u);
    // Playing on takes the later ones again, sharing with the one rolled back to.
    history.push(snapshot(9), 9);
    ASSERT_TRUE(history.rollBack(0, back, false));
    EXPECT_TRUE(same(back, snapshot(9)));
    EXPECT_EQ(history.size(), 7u);
    ASSERT_TRUE(history.rollBack(6, back));
    EXPECT_TRUE(same(back, snapshot(2)));
    EXPECT_FALSE(history.rollBack(1, back));  // nothing older: nothing changes
    EXPECT_EQ(history.size(), 1u);

    // The byte limit drops the oldest first but keeps the newest.
    RollbackHistory small({.count = 200, .bytes = 400 * 1024, .rawBytes = size_t{64} << 20});
    for (uint32_t m = 0; m < 8; ++m) small.push(snapshot(m * 4), m);
    EXPECT_EQ(small.size(), 1u);
    EXPECT_EQ(small.tag(0), 7u);
    EXPECT_FALSE(small.compressSome(100));
    ASSERT_TRUE(small.rollBack(0, back));
    EXPECT_TRUE(same(back, snapshot(28)));
}

}  // namespace
}  // namespace zarvo
