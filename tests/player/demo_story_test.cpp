// The bundled demo plays from its start to its end when clicked through.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "base/string_list.hpp"
#include "support/story.hpp"

namespace zarvo::test {
namespace {

TEST(DemoStory, ClickingThroughReachesTheEnd) {
    TempDir dir;
    HeadlessOptions options;
    // A copy of the demo's files, so the run's settings and saves stay out of the build folder.
    std::filesystem::copy(ZARVO_DEMO_DIR, dir.file("demo"));
    options.projectPath = dir.file("demo/demo.zp7");
    options.programDir = ZARVO_PROGRAM_DIR;  // the system library the build packs
    options.dumpPath = dir.file("dump.txt");
    options.tracePath = dir.file("trace.txt");
    options.quiet = true;
    std::string events;
    for (int i = 1; i <= 80; ++i) events += std::to_string(i * 2500) + " click 320 180\n";
    std::string error;
    ASSERT_TRUE(platform::parseEvents(events, options.events, error)) << error;
    EXPECT_EQ(runHeadless(options), kExitEnded);
    // The menu's first button, the timed choice's first item, then the effects and the end.
    EXPECT_THAT(splitLines(readFile(options.dumpPath)),
                ::testing::IsSupersetOf({"$答え$=はい", "%回数%=1"}));
    std::string trace = readFile(options.tracePath);
    EXPECT_EQ(trace.find(" box "), std::string::npos) << trace;
    EXPECT_NE(trace.find("スタートブック/効果#"), std::string::npos);
}

}  // namespace
}  // namespace zarvo::test
