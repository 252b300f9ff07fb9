// Where a story's saves go when its own folder cannot be written: the reader's folder, under a
// key of the story's content, so the story finds them again wherever it is opened from.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "backends/archive/archive_file_system.hpp"
#include "script/command_table.hpp"
#include "story/story_key.hpp"
#include "support/archive_files.hpp"
#include "support/memory_file_system.hpp"
#include "support/player.hpp"
#include "support/story.hpp"

namespace zarvo::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string saveCtrl(const std::string& command, const std::string& extra) {
    return "SaveCtrl.Command=" + command + "\n" + extra + "@SaveCtrl\n";
}

std::string setValue(const std::string& var, const std::string& value) {
    return "ValueCtrl.ValueVar=%" + var + "%\nValueCtrl.LeftValue=" + value + "\n@ValueCtrl\n";
}

// Every file under `from` copied to the same place under `to`, folders made as needed.
void copyFolder(MemoryFileSystem& files, const std::string& from, const std::string& to) {
    for (const std::string& path : files.fileNames()) {
        if (path.rfind(from + "/", 0) != 0) continue;
        const std::string target = to + path.substr(from.size());
        std::vector<std::string> missing;
        for (std::string dir = platform::parentPath(target); !files.directoryExists(dir);
             dir = platform::parentPath(dir))
            missing.push_back(dir);
        for (auto it = missing.rbegin(); it != missing.rend(); ++it)
            ASSERT_TRUE(files.makeDirectory(*it));
        files.bytes(target) = files.bytes(path);
    }
}

// The first run learns a value, saves in "menu" and goes on; a later run loads that save, which
// goes on after the Call without making it again.
std::string savingStory() {
    return storyScript(
        "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" +
        saveCtrl("LoadValue", "SaveCtrl.Key=saved\nSaveCtrl.Variable=%saved%\n") +
        "if.Variable1=%saved%\nif.Variable2=1\n@if\n" +
        saveCtrl("AutoLoad", "SaveCtrl.FileName=slot1.sav\n") + "@endif\n" +
        saveCtrl("SaveValue", "SaveCtrl.Key=saved\nSaveCtrl.Value=1\n") + setValue("hp", "10") +
        "Call.BookName=スタートブック\nCall.PageName=menu\n@Call\n" + setValue("final", "%hp%") +
        "<Page End>\n<Page=\"menu\">\n" + saveCtrl("AutoSave", "SaveCtrl.FileName=slot1.sav\n") +
        "@Return\n<Page End>\n<Book End>\n");
}

TEST(StoryPlace, AReadOnlyFolderSavesInTheReaderFolderAndLoadsThemAgainAfterAMove) {
    StoryBuilder s;
    const std::string project = s.writeScript(savingStory());
    MemoryFileSystem files;
    files.copyFromHost(s.dir.path());
    const std::string place = s.dir.path();
    files.makeReadOnly(place);
    const std::set<std::string> storyFiles = files.fileNames();
    const std::string reader = "/reader/zarvoplay";
    ASSERT_TRUE(files.makeDirectory("/reader"));

    struct Run {
        int calls = 0;
        int32_t final = 0;
        std::vector<platform::ShownBox> boxes;
        std::string writes;
    };
    auto play = [&](const std::string& path) {
        Run run;
        TestPlayer p(path, s.programDir, {}, &files, reader);
        p.main().onCommand = [&run](const std::string&, const std::string&, int32_t,
                                    const Command& command) {
            run.calls += command.type == CommandType::Call;
        };
        EXPECT_EQ(p.run(), platform::HeadlessHost::RunEnd::Terminated);
        run.final = p.vars().getValueVar("final");
        run.boxes = p.dialogs.shown();
        run.writes = p.main().storyWritesFolder();
        return run;
    };

    Run first = play(project);
    const std::string key = storyKey(files, project);
    const std::string mine = reader + "/stories/" + key;
    EXPECT_EQ(first.writes, mine);
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(first.final, 10);
    // The data folder was asked for and made in the reader's copy; the story's folder is as it
    // was, the save and the settings are in the copy.
    ASSERT_EQ(first.boxes.size(), 1u);
    EXPECT_EQ(first.boxes[0].kind, platform::BoxKind::WarningYesNo);
    EXPECT_THAT(first.boxes[0].text, HasSubstr(mine + "/story"));  // where it is made
    EXPECT_TRUE(files.exists(mine + "/story/slot1.sav"));
    EXPECT_TRUE(files.exists(mine + "/story/c_save00.svi"));
    for (const std::string& path : files.fileNames())
        if (path.rfind(place + "/", 0) == 0) {
            EXPECT_TRUE(storyFiles.count(path)) << path;
        }

    // Moved elsewhere (and read-only there too), the story loads the save made before.
    const std::string moved = "/media/disc";
    copyFolder(files, place, moved);
    files.makeReadOnly(moved);
    const std::string movedProject = moved + project.substr(place.size());
    EXPECT_EQ(storyKey(files, movedProject), key);
    Run second = play(movedProject);
    EXPECT_EQ(second.writes, mine);
    EXPECT_EQ(second.calls, 0);  // the load went on after the Call
    EXPECT_EQ(second.final, 10);
    EXPECT_TRUE(second.boxes.empty());

    // A story whose folder can be written keeps writing beside itself.
    MemoryFileSystem writable;
    writable.copyFromHost(s.dir.path());
    TestPlayer p(project, s.programDir, {}, &writable, reader);
    EXPECT_EQ(p.run(), platform::HeadlessHost::RunEnd::Terminated);
    EXPECT_EQ(p.main().storyWritesFolder(), "");
    EXPECT_TRUE(writable.exists(s.dir.file("story/slot1.sav")));
}

// The same from a zip made on Japanese Windows (its folder named in Shift_JIS), as the reader
// downloaded it: played, saved, the zip moved and renamed and opened from there, the save loads.
TEST(StoryPlace, AnArchiveSavesInTheReaderFolderAndLoadsThemAgainAfterTheArchiveMoved) {
    StoryBuilder s;
    const std::string folder = s.dir.file("story");
    std::filesystem::create_directories(folder);
    s.writeScript(savingStory(), "story/story.zp7");
    const std::string zip = s.dir.file("downloads/story.zip");
    std::filesystem::create_directories(s.dir.file("downloads"));
    std::string why;
    ASSERT_TRUE(writeArchive(ArchiveKind::Zip, zip, folderItems(folder, sjis("物語") + "/"), why))
        << why;
    std::filesystem::remove_all(folder);

    const std::string reader = s.dir.file("data/zarvoplay");
    auto play = [&](const std::string& archive) {
        platform::ArchiveError error;
        auto files = platform::ArchiveFileSystem::open(localFiles(), archive, error);
        EXPECT_TRUE(files) << platform::archiveErrorName(error.kind);
        HeadlessOptions options;
        options.projectPath = archive;
        options.programDir = s.programDir;
        options.tracePath = s.dir.file("trace.txt");
        options.quiet = true;
        options.files = files.get();
        options.settings.readFolder = reader;
        EXPECT_EQ(runHeadless(options), kExitEnded);
        return readFile(options.tracePath);
    };
    std::string trace = play(zip);
    EXPECT_THAT(trace, HasSubstr("@Call"));
    platform::ArchiveError error;
    auto inside = platform::ArchiveFileSystem::open(localFiles(), zip, error);
    ASSERT_TRUE(inside);
    const std::string key = storyKey(*inside, zip + "/物語/story.zp7");
    const std::string mine = reader + "/stories/" + key;
    EXPECT_TRUE(std::filesystem::exists(mine + "/story/slot1.sav"));
    EXPECT_TRUE(std::filesystem::exists(mine + "/story/c_save00.svi"));
    // Nothing was written beside the archive.
    int beside = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(s.dir.file("downloads")))
        ++beside;
    EXPECT_EQ(beside, 1);

    const std::string moved = s.dir.file("elsewhere/renamed.zip");
    std::filesystem::create_directories(s.dir.file("elsewhere"));
    std::filesystem::rename(zip, moved);
    trace = play(moved);
    EXPECT_THAT(trace, Not(HasSubstr("@Call")));  // the load went on after it
    EXPECT_THAT(trace, Not(HasSubstr(" box ")));
    EXPECT_THAT(trace, HasSubstr("@SaveCtrl"));
}

}  // namespace
}  // namespace zarvo::test
