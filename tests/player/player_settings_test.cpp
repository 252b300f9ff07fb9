// The reader's settings file: what is written comes back, and a damaged or unwritable file costs
// nothing but the damaged lines.
#include "player/player_settings.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/memory_file_system.hpp"

namespace zarvo {
namespace {

using ::testing::ElementsAre;

TEST(PlayerSettings, WhatIsSavedComesBackAndDamagedLinesCostOnlyThemselves) {
    test::MemoryFileSystem files;
    files.makeDirectory("/home");
    const std::string path = "/home/.config/zarvoplay/settings.ini";

    PlayerSettings settings;
    std::vector<std::string> problems;
    EXPECT_TRUE(loadPlayerSettings(files, path, settings, problems));  // no file: defaults
    EXPECT_EQ(settings, PlayerSettings{});

    settings.textSpeed = TextSpeed::Fast;
    settings.autoDelayMs = 1500;
    settings.copyEachMessage = true;
    settings.scaling = WindowScaling::Whole;
    ASSERT_TRUE(savePlayerSettings(files, path, settings));  // makes both folders
    PlayerSettings loaded;
    EXPECT_TRUE(loadPlayerSettings(files, path, loaded, problems));
    EXPECT_EQ(loaded, settings);
    EXPECT_TRUE(problems.empty());

    // A full disk: the file keeps what it had.
    std::string before;
    files.readFile(path, before);
    files.failWritesAfter(0);
    EXPECT_FALSE(savePlayerSettings(files, path, PlayerSettings{}));
    std::string after;
    files.readFile(path, after);
    EXPECT_EQ(after, before);

    // Damage: each line not understood is named; the good ones still count, the rest default.
    PlayerSettings damaged = parsePlayerSettings(
        "text-speed=slow\nauto-delay=-5\r\nscaling=huge\n\x01\xff=\nauto-per-char = 70\nnonsense",
        problems);
    EXPECT_EQ(damaged.textSpeed, TextSpeed::Slow);
    EXPECT_EQ(damaged.autoDelayMs, 800);
    EXPECT_EQ(damaged.autoPerCharMs, 70);
    EXPECT_EQ(damaged.scaling, WindowScaling::Sharp);
    // The old name of smooth scaling still reads.
    EXPECT_EQ(parsePlayerSettings("scaling=fit", problems).scaling, WindowScaling::Smooth);
    EXPECT_THAT(problems, ElementsAre("line 2: auto-delay=-5", "line 3: scaling=huge",
                                      "line 4: ?\?=", "line 6: nonsense"));
}

}  // namespace
}  // namespace zarvo
