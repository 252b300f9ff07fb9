// The page keeps in the browser what the player reports as changed: a story that saves, saves
// over, is hidden (writing what it keeps) and ends must have reported every file it left, with
// the bytes it left there, or a reload loses the reader's saves.
#include "backends/web/kept_file_system.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "backends/posix/local_file_system.hpp"
#include "support/player.hpp"
#include "support/story.hpp"

namespace zarvo::test {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(KeptFileSystem, EveryFileAStoryLeavesIsReportedWithItsLastBytes) {
    StoryBuilder s;
    const std::string save = "SaveCtrl.Command=AutoSave\nSaveCtrl.FileName=a.sav\n@SaveCtrl\n";
    const std::string other = "SaveCtrl.Command=AutoSave\nSaveCtrl.FileName=b.sav\n@SaveCtrl\n";
    const std::string count =
        "ValueCtrl.ValueVar=%n%\nValueCtrl.LeftValue=%n%\n"
        "ValueCtrl.RightValue=1\nValueCtrl.Calc=Add\n@ValueCtrl\n";
    // a.sav is written twice, the second time over the first with another count.
    std::string project =
        s.writeScript(storyScript("<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + count +
                                  save + other + count + save + "<Page End>\n<Book End>\n"));
    std::set<fs::path> before;
    for (const auto& entry : fs::recursive_directory_iterator(s.dir.file("")))
        if (entry.is_regular_file()) before.insert(entry.path().lexically_normal());

    platform::LocalFileSystem local;
    std::map<fs::path, std::string> kept;
    platform::KeptFileSystem files(local, [&](const std::string& path) {
        std::string bytes;
        if (local.readFile(path, bytes))
            kept[fs::path(path).lexically_normal()] = bytes;
        else
            kept.erase(fs::path(path).lexically_normal());
    });
    {
        TestPlayer player(project, s.programDir, {}, &files);
        player.run();
        EXPECT_EQ(player.vars().getValue("%n%"), 2);
        // A hidden page may be closed without an end: the settings are written at once.
        const size_t saves = kept.size();
        player.main().keepStateNow();
        EXPECT_GT(kept.size(), saves);
    }  // the shutdown writes the story's settings again

    int left = 0;
    for (const auto& entry : fs::recursive_directory_iterator(s.dir.file(""))) {
        const fs::path path = entry.path().lexically_normal();
        if (!entry.is_regular_file() || before.count(path)) continue;
        ++left;
        auto it = kept.find(path);
        ASSERT_NE(it, kept.end()) << path << " was written but never reported";
        EXPECT_EQ(it->second, bytesOf(path)) << path << " was reported before its last write";
    }
    // Both saves and the settings file at least: the check above saw real files.
    EXPECT_GE(left, 3);
    for (const auto& [path, bytes] : kept)
        EXPECT_TRUE(fs::exists(path)) << path << " is kept but no longer there";
}

}  // namespace
}  // namespace zarvo::test
