// Every write, flush, rename and folder creation of a save, an append, the settings and a
// package made to fail in turn (and every write cut short): each file is afterwards either what
// it was, byte for byte, or complete and new; the failure is told in the save box and the story
// goes on; nothing is left behind under a hidden name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <iostream>

#include "archive/package.hpp"
#include "player/player_settings.hpp"
#include "support/memory_file_system.hpp"
#include "support/player.hpp"
#include "support/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::test {
namespace {

std::string saveCtrl(const std::string& command, const std::string& extra) {
    return "SaveCtrl.Command=" + command + "\n" + extra + "@SaveCtrl\n";
}

bool hiddenLeftOver(const MemoryFileSystem& files) {
    for (const std::string& name : files.fileNames())
        if (platform::fileName(name).rfind(".zarvo", 0) == 0) return true;
    return false;
}

// What a file holds: the names and bytes of a package's entries (a new package has its own
// scramble table), or the bytes of any other file.
std::string contentOf(MemoryFileSystem& files, const std::string& path) {
    PackageReader reader;
    if (!openPackage(files, path, reader)) return files.bytes(path);
    std::string out;
    for (int i = 0; i < reader.count; ++i) {
        out += getEntry(reader, i)->name + '\n';
        if (!readEntryIndexToStream(
                [&out](const char* d, size_t n) { return out.append(d, n), true; }, i, reader))
            out += "(damaged)";
    }
    return out;
}

// Runs `scenario` with its k-th operation failing, for every k it has, whole and (for writes)
// cut short; `check` is told whether a fault happened. Returns the number of operations.
int64_t failEveryOperation(MemoryFileSystem& files, const std::function<void()>& reset,
                           const std::function<void()>& scenario,
                           const std::function<void(bool faulted)>& check) {
    reset();
    files.failOperation(0);
    scenario();
    const int64_t points = files.operations();
    check(false);
    for (int64_t k = 1; k <= points; ++k) {
        for (bool cutShort : {false, true}) {
            reset();
            files.failOperation(k, cutShort);
            scenario();
            MemoryFileSystem::Operation kind;
            bool faulted = files.failed(kind);
            if (cutShort && kind != MemoryFileSystem::Operation::Write) continue;
            SCOPED_TRACE(std::string("operation ") + std::to_string(k) + " of " +
                         std::to_string(points) + ", a " + MemoryFileSystem::operationName(kind) +
                         (cutShort ? " cut short" : ""));
            EXPECT_TRUE(faulted);
            check(faulted);
            EXPECT_FALSE(hiddenLeftOver(files));
        }
        files.failOperation(0);
    }
    return points;
}

// A story that counts its runs in the settings and keeps the count in a whole save (a.sav) and
// in a list appended to another (b.sav), then goes on.
TEST(SaveFaults, EveryFailingOperationKeepsTheOldFileOrWritesTheNewOneWhole) {
    StoryBuilder s;
    s.writePicture("red.png", 640, 480, 0x0000FF);
    std::string script = storyScript(
        "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n"
        "GraphicDraw.FileName=red.png\n@GraphicDraw\n" +
        saveCtrl("LoadValue", "SaveCtrl.Key=runs\nSaveCtrl.Variable=%runs%\n") +
        "ValueCtrl.ValueVar=%runs%\nValueCtrl.LeftValue=%runs%\nValueCtrl.RightValue=1\n"
        "ValueCtrl.Calc=Add\n@ValueCtrl\n" +
        saveCtrl("SaveValue", "SaveCtrl.Key=runs\nSaveCtrl.Value=%runs%\n") +
        saveCtrl("AutoSave", "SaveCtrl.FileName=a.sav\n") +
        saveCtrl("Append", "SaveCtrl.FileName=b.sav\n") +
        saveCtrl("SaveValue", "SaveCtrl.Key=Comment\nSaveCtrl.Value=%runs%\n") +
        saveCtrl("Close", "") + "ValueCtrl.ValueVar=%after%\nValueCtrl.LeftValue=1\n@ValueCtrl\n" +
        "<Page End>\n<Book End>\n");
    std::string project = s.writeScript(script);
    MemoryFileSystem files;
    files.copyFromHost(s.dir.path());
    ASSERT_TRUE(files.makeDirectory(s.dir.file("story")));
    const std::vector<std::string> kept = {s.dir.file("story/a.sav"), s.dir.file("story/b.sav"),
                                           s.dir.file("story/c_save00.svi")};

    std::vector<platform::ShownBox> boxes;
    std::vector<std::string> warnings;
    int32_t after = 0;
    auto play = [&] {
        warnings.clear();
        TestPlayer p(project, s.programDir, {}, &files);
        p.main().onWarning = [&](const std::string& text) { warnings.push_back(text); };
        EXPECT_EQ(p.run(), platform::HeadlessHost::RunEnd::Terminated);
        after = p.vars().getValueVar("after");
        boxes = p.dialogs.shown();
    };       // the settings are written as the player shuts down
    play();  // the first run makes the files a later run replaces
    std::vector<std::string> before, written;
    for (const std::string& path : kept) {
        ASSERT_TRUE(files.exists(path)) << path;
        before.push_back(files.bytes(path));
    }
    auto reset = [&] {
        for (size_t i = 0; i < kept.size(); ++i) files.bytes(kept[i]) = before[i];
    };
    const std::string failed(texts::kSaveWriteFailed), notFlushed(texts::kSaveNotFlushed);
    int notFlushedBoxes = 0;
    int64_t points = failEveryOperation(files, reset, play, [&](bool faulted) {
        EXPECT_EQ(after, 1);  // the story went on
        if (!faulted) {
            EXPECT_TRUE(boxes.empty());
            for (size_t i = 0; i < kept.size(); ++i) {
                written.push_back(contentOf(files, kept[i]));
                EXPECT_NE(files.bytes(kept[i]), before[i]) << kept[i];
            }
            return;
        }
        // A fault after the rename (flushing the folder) leaves the new file, yet is reported.
        for (size_t i = 0; i < kept.size(); ++i) {
            const std::string& now = files.bytes(kept[i]);
            EXPECT_TRUE(now == before[i] || contentOf(files, kept[i]) == written[i]) << kept[i];
        }
        // Settings left as they were are said at shutdown, where no box can be shown.
        if (files.bytes(kept[2]) == before[2]) {
            EXPECT_THAT(warnings,
                        testing::Contains(testing::HasSubstr("cannot write the story's settings")));
        }
        // A save that failed says so in the save box, and that the old file is kept only when
        // it is: a save moved into place whose folder could not be flushed is said apart.
        bool saveKept = files.bytes(kept[0]) == before[0] || files.bytes(kept[1]) == before[1];
        if (saveKept) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text.rfind(failed, 0), 0u);
        } else if (!boxes.empty()) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text.rfind(notFlushed, 0), 0u);
            ++notFlushedBoxes;
        }
    });
    EXPECT_EQ(notFlushedBoxes, 2);  // the whole save and the append
    std::cout << "save, append and settings: " << points << " injection points\n";
    EXPECT_GT(points, 10);
}

TEST(SaveFaults, PlayerSettingsAndPackagesSurviveEveryFailingOperation) {
    MemoryFileSystem files;
    ASSERT_TRUE(files.makeDirectory("/config"));
    const std::string settingsPath = "/config/zarvoplay/settings.ini";
    PlayerSettings settings;
    settings.autoDelayMs = 1500;
    ASSERT_TRUE(savePlayerSettings(files, settingsPath, settings));  // makes its folder
    const std::string old = files.bytes(settingsPath);
    std::string fresh;
    settings.autoDelayMs = 900;
    bool saved = false;
    int64_t settingsPoints = failEveryOperation(
        files, [&] { files.bytes(settingsPath) = old; },
        [&] { saved = savePlayerSettings(files, settingsPath, settings); },
        [&](bool faulted) {
            const std::string& now = files.bytes(settingsPath);
            if (!faulted) fresh = now;
            EXPECT_NE(fresh, old);
            EXPECT_TRUE(now == old || now == fresh);
            if (saved) {
                EXPECT_EQ(now, fresh);
            }
        });

    const std::string package = "/config/story.zp7";
    std::string data;  // more than one write's worth, stored as it is
    for (uint32_t i = 0; data.size() < 200000; ++i) data += std::to_string(i * 2654435761u);
    ASSERT_TRUE(files.writeFile(package, "what was there"));
    std::string oldPackage = files.bytes(package), newPackage;
    bool made = false;
    int64_t packagePoints = failEveryOperation(
        files, [&] { files.bytes(package) = oldPackage; },
        [&] {
            PackageWriter w;
            setMagic(w, "QZ7PKG");
            made = createPackage(files, w, package) && writeStreamEntry(w, data, "big") &&
                   writeStreamEntry(w, "tail", "t") && finishPackage(w);
        },
        [&](bool faulted) {
            const std::string now = files.bytes(package);
            if (!faulted) {
                EXPECT_TRUE(made);
                newPackage = contentOf(files, package);
            }
            EXPECT_TRUE(now == oldPackage || contentOf(files, package) == newPackage);
            if (made) {
                EXPECT_EQ(contentOf(files, package), newPackage);
            }
        });
    std::cout << "player settings: " << settingsPoints << ", package: " << packagePoints
              << " injection points\n";
    EXPECT_GT(settingsPoints, 3);
    EXPECT_GT(packagePoints, 3);
}

}  // namespace
}  // namespace zarvo::test
