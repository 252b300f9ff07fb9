#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "archive/package.hpp"
#include "audio/music_control.hpp"
#include "base/name_value.hpp"
#include "base/sjis.hpp"
#include "support/player.hpp"
#include "support/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

// A legacy-mode story that draws, sets variables, adds a button and stops inside a called page.
std::string savingStory(StoryBuilder& s) {
    s.writePicture("red.png", 640, 480, kRed);
    s.writePicture("green.png", 100, 60, kGreen);
    s.writePicture("button.png", 40, 20, kBlue);
    return s.writeScript(storyScript(
        "<Head=\"LayerList\">\nLayerCount=3\nLayer.1.LayerName=A\nLayer.2.LayerName=B\n<Head End>\n"
        "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n"
        "GraphicDraw.FileName=red.png\n@GraphicDraw\n"
        "GraphicDraw.FileName=green.png\nGraphicDraw.Layer=A\nGraphicDraw.Layer.Move=1\n"
        "GraphicDraw.Area.Left=300\nGraphicDraw.Area.Top=200\n@GraphicDraw\n"
        "DynamicLayer.Type=Image\nDynamicLayer.Image.FileName=button.png\n"
        "DynamicLayer.Area.Left=10\nDynamicLayer.Area.Top=400\n@DynamicLayer\n"
        "MessageDraw.Text=文字\nMessageDraw.Effect=None\n@MessageDraw\n"
        "ValueCtrl.ValueVar=%v%\nValueCtrl.LeftValue=5\n@ValueCtrl\n"
        "StringCtrl.StringVar=$s$\nStringCtrl.Text=名前\n@StringCtrl\n"
        "Call.BookName=スタートブック\nCall.PageName=sub\n@Call\n"
        "ValueCtrl.ValueVar=%after%\nValueCtrl.LeftValue=%v%\n@ValueCtrl\n<Page End>\n"
        "<Page=\"sub\">\nWait.InputBreak=1\n@Wait\n@Return\n<Page End>\n<Book End>\n",
        "FileType=QZ7\nLegacyMode=1\nBuildID=b1\nZarvoID=z1\n"));
}

struct Entry {
    std::string name, bytes;
};

std::vector<Entry> entriesOf(const std::string& path) {
    std::vector<Entry> out;
    PackageReader reader;
    if (!openPackage(test::localFiles(), path, reader)) return out;
    for (int i = 0; i < reader.count; ++i) {
        Entry e{getEntry(reader, i)->name, {}};
        readEntryIndexToStream([&e](const char* d, size_t n) { return e.bytes.append(d, n), true; },
                               i, reader);
        out.push_back(std::move(e));
    }
    return out;
}

// A copy of a save with `change` applied to the bytes of entry `name` (false drops the entry).
std::string variant(const std::string& path, std::string_view name,
                    const std::function<bool(std::string&)>& change, const std::string& to) {
    PackageWriter writer;
    initWriter(writer);
    setMagic(writer, "QZ7SAVE");
    createPackage(test::localFiles(), writer, to);
    for (Entry& e : entriesOf(path))
        if (e.name != name || change(e.bytes)) writeStreamEntry(writer, e.bytes, e.name);
    finishPackage(writer);
    return to;
}

std::function<bool(std::string&)> replacing(std::string from, std::string to) {
    return [from, to](std::string& text) {
        size_t at = text.find(from);
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return true;
    };
}

// What a load must not change when it refuses a file.
std::string stateOf(TestPlayer& p) {
    StringList stack;
    p.execution().stack().getStackLines(stack);
    int32_t left = 0, top = 0, w = 0, h = 0;
    p.main().screen().getLayerRect(0, "A", left, top, w, h);
    std::string state =
        p.position() + "|" + joinLines(stack) + "|" + joinLines(p.vars().values()) +
        joinLines(p.vars().texts()) + "|" + std::to_string(left) + "|" +
        std::to_string(p.main().screen().screen(0)->layerAt(0)->surface.getPixel(5, 5)) + "|" +
        std::to_string(static_cast<int>(p.execution().state().playerMode()));
    return state;
}

void disturb(TestPlayer& p) {
    p.vars().setValue("%v%", 9);
    p.vars().setText("$s$", "x");
    p.main().screen().setLayerPos(0, "A", 1, 2);
    p.main().screen().screen(0)->layerAt(0)->surface.fillRect(0, 0, 640, 480, kBlue);
}

bool fileEquals(const std::string& path, const std::string& bytes) {
    return readFile(path) == bytes;
}

// The names in a folder that a half-written save could leave behind.
std::vector<std::string> leftovers(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().rfind(".zarvo", 0) == 0)
            names.push_back(e.path().string());
    return names;
}

// Runs `work` in a child process whose files cannot grow beyond `limit` bytes.
int underFileSizeLimit(rlim_t limit, const std::function<bool()>& work) {
    pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of killing
        rlimit r{limit, limit};
        setrlimit(RLIMIT_FSIZE, &r);
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SaveFile, WholeStateRoundTripsAndResumesAfterTheCallOnceReloadHasRun) {
    StoryBuilder s;
    TestPlayer p(savingStory(s), s.programDir);
    p.run();
    ASSERT_EQ(p.position(), "スタートブック/sub#1");
    std::string path = p.save().saveFilePath("slot1.sav");
    ASSERT_TRUE(p.save().autoSave(path));
    // The data folder did not exist: the user was asked.
    ASSERT_EQ(p.dialogs.shown().size(), 1u);
    EXPECT_EQ(p.dialogs.shown()[0].kind, platform::BoxKind::WarningYesNo);
    EXPECT_EQ(sjisToUtf8(p.dialogs.shown()[0].text),
              "セーブファイルの保存のため\r\n\"" + s.dir.file("story") +
                  "\" フォルダを作成します。\r\nよろしいですか？");

    std::vector<std::string> names;
    for (const Entry& e : entriesOf(path)) names.push_back(e.name);
    // The original's entries in its order, and the player's backlog, which the original ignores.
    EXPECT_THAT(names, ElementsAre("_smallimage.bmp", "stack.info", "layer.info",
                                   "dynamiclayer.info", "_background.bmp", "valuevar.info",
                                   "stringvar.info", "_zarvoplay.backlog", "savefile.info"));
    StringList info = splitLines(entriesOf(path).back().bytes);
    EXPECT_EQ(readListString(info, "SaveSystem.Version", ""), "1");
    EXPECT_EQ(readListString(info, "SaveSystem.ZarvoID", ""), "z1");
    EXPECT_EQ(readListString(info, "SaveSystem.BuildID", ""), "b1");
    EXPECT_EQ(readListString(info, "Music.Playing", ""), "0");
    EXPECT_THAT(readListString(info, "Supplement.SaveDate", ""),
                MatchesRegex("[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{1,2}:[0-9]{2}:[0-9]{2}"));

    // The thumbnail: an 80 x 60 BMP that pictures load from while the file is open, showing the
    // screen without its topmost layer (the black text at the top left would darken it).
    ASSERT_TRUE(p.save().openSaveFile(path, SaveFiles::FileMode::Read));
    Picture picture;
    ASSERT_TRUE(p.story().loadPicture("_smallimage.bmp", picture));
    Surface thumb;
    thumb.assignPicture(std::move(picture));
    EXPECT_EQ(thumb.width(), 80);
    EXPECT_EQ(thumb.height(), 60);
    int red = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) red += thumb.getPixel(x, y) == kRed;
    EXPECT_EQ(red, 80 * 60);
    p.save().closeSaveFile();

    disturb(p);
    p.main().screen().dynamicLayers(0)->clear();
    p.execution().jumpTo("スタートブック", "スタートページ");
    ASSERT_TRUE(p.save().autoLoad(path));
    // "_reload" is next, with the place after the Call beneath it.
    EXPECT_EQ(p.position(), "_system/_reload#0");
    EXPECT_EQ(p.vars().getValueVar("v"), 5);
    EXPECT_EQ(sjisToUtf8(p.vars().getTextVar("s")), "名前");
    int32_t left, top, w, h;
    p.main().screen().getLayerRect(0, "A", left, top, w, h);
    EXPECT_EQ(left * 1000 + top, 300200);
    LayerStack& screen = *p.main().screen().screen(0);
    EXPECT_EQ(screen.layerAt(0)->surface.getPixel(5, 5), kRed);  // the legacy background
    EXPECT_EQ(screen.dynamicLayers().count(), 1);
    EXPECT_EQ(screen.output().getPixel(15, 405), kBlue);  // the button, shown again
    EXPECT_EQ(sjisToUtf8(screen.layerAt(4)->text.layoutText), "文字");
    EXPECT_TRUE(p.save().info().empty());

    // The saved stack's top is the calling command: "_reload" returns after it.
    EXPECT_EQ(p.run(), platform::HeadlessHost::RunEnd::Terminated);
    EXPECT_EQ(p.vars().getValueVar("after"), 5);
}

TEST(SaveFile, VersionAndBuildChecksRefuseOrAskBeforeAnythingChanges) {
    StoryBuilder s;
    TestPlayer p(savingStory(s), s.programDir);
    p.run();
    std::string good = p.save().saveFilePath("good.sav");
    ASSERT_TRUE(p.save().autoSave(good));
    auto info = [&](const char* from, const char* to) {
        return variant(good, "savefile.info", replacing(from, to), s.dir.file("story/v.sav"));
    };
    disturb(p);
    std::string before = stateOf(p);
    p.dialogs.clear();

    // A newer version is refused without a word.
    EXPECT_FALSE(p.save().autoLoad(info("SaveSystem.Version=1", "SaveSystem.Version=2")));
    EXPECT_THAT(p.dialogs.shown(), IsEmpty());
    EXPECT_EQ(stateOf(p), before);

    // Another build: Abort keeps the story, Ignore loads.
    std::string other = info("SaveSystem.BuildID=b1", "SaveSystem.BuildID=b0");
    p.dialogs.queueAnswer(platform::BoxAnswer::Abort);
    EXPECT_FALSE(p.save().autoLoad(other));
    ASSERT_EQ(p.dialogs.shown().size(), 1u);
    EXPECT_EQ(p.dialogs.shown()[0].kind, platform::BoxKind::WarningAbortIgnore);
    EXPECT_EQ(p.dialogs.shown()[0].text, texts::kIncompatibleSave);
    EXPECT_EQ(stateOf(p), before);
    EXPECT_TRUE(p.save().info().empty());
    p.dialogs.queueAnswer(platform::BoxAnswer::Ignore);
    EXPECT_TRUE(p.save().autoLoad(other));
    EXPECT_EQ(p.vars().getValueVar("v"), 5);

    // A save written before versions were recorded is version 1.
    disturb(p);
    p.dialogs.clear();
    EXPECT_TRUE(p.save().autoLoad(info("SaveSystem.Version=1\r\n", "")));
    EXPECT_EQ(p.vars().getValueVar("v"), 5);
    EXPECT_THAT(p.dialogs.shown(), IsEmpty());
}

TEST(SaveFile, DamagedSavesAreRefusedWithAMessageAndTheStoryStaysAsItWas) {
    StoryBuilder s;
    TestPlayer p(savingStory(s), s.programDir);
    p.run();
    std::string good = p.save().saveFilePath("good.sav");
    ASSERT_TRUE(p.save().autoSave(good));
    std::string bad = s.dir.file("story/bad.sav");
    auto dropLastLine = [](std::string& t) {
        t.resize(t.rfind("\r\n", t.size() - 3) + 2);
        return true;
    };
    struct Case {
        const char* entry;
        std::function<bool(std::string&)> change;
    };
    const Case cases[] = {
        {"stack.info", replacing("Stack.CommandIndex=", "Stack.CommandIndex=z")},
        {"stack.info", replacing("Stack.CommandIndex=", "Stack.CommandIndex=-")},
        {"stack.info", replacing(sjis("Stack.PageName=スタートページ"), "Stack.PageName=nowhere")},
        {"stack.info", dropLastLine},  // the bottom frame lost its border: cut short
        // No place to resume: a stack dropped, or one saved empty.
        {"stack.info", [](std::string&) { return false; }},
        {"stack.info", [](std::string& t) { return t.clear(), true; }},
        {"layer.info", dropLastLine},
        {"layer.info", replacing("Layer.Pos.Left=300", "Layer.Pos.Left=3z0")},
        {"dynamiclayer.info", replacing("AnimeCount=1", "AnimeCount=0")},
        {"valuevar.info", replacing("v=5", "v=5x")},
        {"_background.bmp", [](std::string& b) { return b.resize(100), true; }},
    };
    disturb(p);
    std::string before = stateOf(p);
    for (const Case& c : cases) {
        p.dialogs.clear();
        EXPECT_FALSE(p.save().autoLoad(variant(good, c.entry, c.change, bad))) << c.entry;
        ASSERT_EQ(p.dialogs.shown().size(), 1u) << c.entry;
        EXPECT_EQ(p.dialogs.shown()[0].kind, platform::BoxKind::ErrorOk);
        EXPECT_THAT(p.dialogs.shown()[0].text, HasSubstr(texts::kSaveDamaged));
        EXPECT_THAT(p.dialogs.shown()[0].text,
                    HasSubstr(std::string(texts::kSaveDamagedEntry) + c.entry));
        EXPECT_EQ(stateOf(p), before) << c.entry;
    }

    // A file cut in half.
    const std::string bytes = readFile(good);
    writeFile(bad, bytes.substr(0, bytes.size() / 2));
    p.dialogs.clear();
    EXPECT_FALSE(p.save().autoLoad(bad));
    EXPECT_EQ(p.dialogs.shown().size(), 1u);
    EXPECT_EQ(stateOf(p), before);
    // A slot never saved to is no damage: nothing is said.
    EXPECT_FALSE(p.save().autoLoad(s.dir.file("story/empty.sav")));
    EXPECT_EQ(p.dialogs.shown().size(), 1u);
    EXPECT_FALSE(p.host.isTerminating());

    // Bytes whose data checksum no longer matches, as in a save whose writer summed them
    // otherwise: the sections are sound, so it loads.
    std::string changed = bytes;
    size_t at = changed.find("v=5\r\n");
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(changed.rfind("v=5\r\n"), at);
    changed[at + 2] = '7';
    writeFile(bad, changed);
    p.dialogs.clear();
    EXPECT_TRUE(p.save().autoLoad(bad));
    EXPECT_THAT(p.dialogs.shown(), IsEmpty());
    EXPECT_EQ(p.vars().getValueVar("v"), 7);
}

TEST(SaveFile, OpenCreateAppendAndCloseKeepEveryFileWhole) {
    StoryBuilder s;
    std::filesystem::create_directories(s.dir.file("story"));
    TestPlayer p(savingStory(s), s.programDir);
    p.run();
    SaveFiles& save = p.save();
    std::string slot = save.saveFilePath("slot.sav");
    ASSERT_TRUE(save.autoSave(slot));

    // Append keeps the keys the file has; Close adds a newer list that hides the old one.
    ASSERT_TRUE(save.openSaveFile(slot, SaveFiles::FileMode::Append));
    EXPECT_EQ(save.loadValue("SaveSystem.BuildID"), "b1");
    save.saveValue("Comment", "first");
    ASSERT_TRUE(save.closeSaveFile());
    int lists = 0;
    for (const Entry& e : entriesOf(slot)) lists += e.name == "savefile.info";
    EXPECT_EQ(lists, 2);
    ASSERT_TRUE(save.openSaveFile(slot, SaveFiles::FileMode::Read));
    EXPECT_EQ(save.loadValue("Comment"), "first");
    EXPECT_EQ(save.loadValue("SaveSystem.ZarvoID"), "z1");
    save.closeSaveFile();
    EXPECT_TRUE(save.autoLoad(slot));  // the appended file still loads whole

    // Append to what is no save makes a new one.
    std::string other = save.saveFilePath("other.sav");
    writeFile(other, "not a save");
    ASSERT_TRUE(save.openSaveFile(other, SaveFiles::FileMode::Append));
    save.saveValue("k", "1");
    ASSERT_TRUE(save.closeSaveFile());
    ASSERT_TRUE(save.openSaveFile(other, SaveFiles::FileMode::Read));
    EXPECT_EQ(save.loadValue("k"), "1");

    // A second Create while the first file is open for writing finishes the first.
    std::string a = save.saveFilePath("a.sav"), b = save.saveFilePath("b.sav");
    ASSERT_TRUE(save.openSaveFile(a, SaveFiles::FileMode::Create));
    save.saveValue("name", "A");
    ASSERT_TRUE(save.openSaveFile(b, SaveFiles::FileMode::Create));
    EXPECT_EQ(save.loadValue("name"), "");
    save.saveValue("name", "B");
    save.closeSaveFile();
    ASSERT_TRUE(save.openSaveFile(a, SaveFiles::FileMode::Read));
    EXPECT_EQ(save.loadValue("name"), "A");
    ASSERT_TRUE(save.openSaveFile(b, SaveFiles::FileMode::Read));
    EXPECT_EQ(save.loadValue("name"), "B");
    save.closeSaveFile();
    // With no file open the values go to the settings.
    save.saveValue("name", "S");
    EXPECT_EQ(save.getSettingValue("name"), "S");
    EXPECT_THAT(leftovers(s.dir.file("story")), IsEmpty());
}

TEST(SaveFile, AWriteFailingHalfwayLeavesThePreviousSave) {
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "no child processes or file size limits under WebAssembly";
#endif
    StoryBuilder s;
    std::filesystem::create_directories(s.dir.file("story"));
    TestPlayer p(savingStory(s), s.programDir);
    p.run();
    std::string slot = p.save().saveFilePath("slot.sav");
    ASSERT_TRUE(p.save().autoSave(slot));
    const std::string old = readFile(slot);
    disturb(p);

    // The new save stops after its thumbnail: the file system takes no more.
    EXPECT_EQ(underFileSizeLimit(20000, [&] { return !p.save().autoSave(slot); }), 0);
    EXPECT_TRUE(fileEquals(slot, old));
    // An append whose list cannot be written, once the copy is made.
    ASSERT_TRUE(p.save().openSaveFile(slot, SaveFiles::FileMode::Append));
    p.save().saveValue("Comment", std::string(5000, 'x'));
    EXPECT_EQ(underFileSizeLimit(old.size(), [&] { return !p.save().closeSaveFile(); }), 0);
    EXPECT_TRUE(fileEquals(slot, old));
    EXPECT_THAT(leftovers(s.dir.file("story")), IsEmpty());
    EXPECT_TRUE(p.save().autoLoad(slot));
    EXPECT_EQ(p.vars().getValueVar("v"), 5);
}

TEST(Settings, ReadAtFirstShowKeptWhileRunningAndWrittenAtShutdown) {
    StoryBuilder s;
    std::filesystem::create_directories(s.dir.file("story"));
    std::string project = savingStory(s);
    std::string file = s.dir.file("story/c_save00.svi");
    writeFile(file, sjis("System.MusicVolume=40\r\nSystem.UseSound=0\r\nSystem.Left=12\r\n"
                         "System.Top=34\r\nSystem.Font=ＭＳ 明朝\r\nCustom=値\r\n"));
    {
        TestPlayer p(project, s.programDir);
        EXPECT_EQ(p.main().music().getMusicVolume(), 40);
        EXPECT_EQ(p.vars().getValueVar("_musicvolume"), 40);
        EXPECT_EQ(p.vars().getValueVar("_soundvolume"), 100);
        EXPECT_FALSE(p.main().music().soundEnabled());
        EXPECT_EQ(sjisToUtf8(p.story().systemFont), "ＭＳ 明朝");
        int x, y;
        p.host.windowPosition(x, y);
        EXPECT_EQ(x * 100 + y, 1234);
        EXPECT_EQ(sjisToUtf8(p.save().loadValue("Custom")), "値");
        p.host.setWindowPosition(50, 60);
        p.main().music().setSoundEnabled(true);
        p.main().enterFullScreen();
    }
    StringList saved = splitLines(readFile(file));
    EXPECT_EQ(readListString(saved, "System.FullScreen", ""), "1");
    EXPECT_EQ(readListString(saved, "Custom", ""), sjis("値"));
    EXPECT_EQ(readListString(saved, "System.Left", ""), "50");
    EXPECT_EQ(readListString(saved, "System.Top", ""), "60");
    EXPECT_EQ(readListString(saved, "System.UseSound", ""), "1");
    EXPECT_EQ(readListString(saved, "System.MusicVolume", ""), "40");

    // The next run opens in full screen, the window's place still kept for leaving it.
    TestPlayer again(project, s.programDir);
    EXPECT_TRUE(again.host.fullScreen());
    EXPECT_EQ(again.vars().getValueVar("_fullscreen"), 1);
    int x, y;
    again.host.windowPosition(x, y);
    EXPECT_EQ(x * 100 + y, 5060);
}

}  // namespace
}  // namespace zarvo::test
