// Save states: a run taken at one moment and given back, in another run that has gone on
// elsewhere, goes on exactly as the first one did: the same commands at the same times, the same
// screens, the same music position and the same variables (random draws included).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/name_value.hpp"
#include "base/sjis.hpp"
#include "player/notices.hpp"
#include "player/save_states.hpp"
#include "support/memory_file_system.hpp"
#include "support/player.hpp"
#include "support/story.hpp"
#include "support/test_media.hpp"

namespace zarvo::test {
namespace {

// Music, an animated layer, random draws and the play time around a typed message, a timed
// wait, a timed choice and a wait with only the animation moving.
std::string writeStory(StoryBuilder& s) {
    s.writePicture("bg.png", 640, 480, 0x406080);
    Surface strip;
    strip.setSize(32, 16);
    strip.fillRect(0, 0, 16, 16, 0x0000FF);
    strip.fillRect(16, 0, 16, 16, 0x00FF00);
    writePngFile(s.dir.file("anim.png"), strip);
    writeFile(s.dir.file("loop.wav"), wavOfMs(1700));
    const std::string random = "ValueCtrl.LeftValue=%@乱数%\n@ValueCtrl\n";
    return s.writeScript(storyScript(
        "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n"
        "Music.FileName=loop.wav\n@Music\n"
        "GraphicDraw.FileName=bg.png\n@GraphicDraw\n"
        "DynamicLayer.Type=Image\nDynamicLayer.Image.FileName=anim.png\n"
        "DynamicLayer.Image.AnimeCount=2\nDynamicLayer.Image.AnimeType=Repeat\n"
        "DynamicLayer.Area.Left=300\nDynamicLayer.Area.Top=10\n"
        "DynamicLayer.Area.Width=16\nDynamicLayer.Area.Height=16\n@DynamicLayer\n"
        "ValueCtrl.ValueVar=%r1%\n" +
        random +
        "MessageDraw.Text=abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN<KEY>\n@MessageDraw\n"
        "ValueCtrl.ValueVar=%r2%\n" +
        random +
        "Wait.TimeBreak=1\nWait.Time=2500\n@Wait\n"
        "MessageDraw.Text=choose<KEY>\n@MessageDraw\n"
        "Select.Timeout=1\nSelect.Time=3000\nSelect.TimerGauge=0\nSelect.Area.Top=200\n"
        "Select.Page1=left\nSelect.Text1=left\nSelect.Page2=right\nSelect.Text2=right\n"
        "@Select\n"
        "ValueCtrl.ValueVar=%r3%\n" +
        random +
        "Wait.InputBreak=1\n@Wait\n"
        "ValueCtrl.ValueVar=%played%\nValueCtrl.LeftValue=%@経過時間%\n@ValueCtrl\n"
        "ValueCtrl.ValueVar=%r4%\n" +
        random +
        "MessageDraw.Text=end<KEY>\n@MessageDraw\n<Page End>\n"
        "<Page=\"left\">\nValueCtrl.ValueVar=%chose%\nValueCtrl.LeftValue=1\n@ValueCtrl\n"
        "<Page End>\n<Book End>\n"));
}

// Input after the moment, as offsets from it.
struct Input {
    uint32_t at;
    std::string what;  // "click X Y"
};

// What a run shows from the moment on: commands and music with times from the moment, the
// screen at each offset looked at, and the variables at the end.
struct Seen {
    std::vector<std::string> commands;
    std::vector<std::vector<uint32_t>> frames;
    std::vector<uint32_t> music;
    std::vector<std::string> variables;
};

std::vector<platform::HeadlessEvent> eventsFrom(uint32_t origin, const std::vector<Input>& input,
                                                const std::vector<Input>& before = {}) {
    std::string text;
    for (const Input& i : before) text += std::to_string(i.at) + " " + i.what + "\n";
    for (const Input& i : input) text += std::to_string(origin + i.at) + " " + i.what + "\n";
    std::vector<platform::HeadlessEvent> events;
    std::string error;
    EXPECT_TRUE(platform::parseEvents(text, events, error)) << error;
    return events;
}

Seen watch(TestPlayer& p, uint32_t origin, const std::vector<uint32_t>& looks) {
    Seen seen;
    p.main().onCommand = [&](const std::string& book, const std::string& page, int32_t index,
                             const Command&) {
        seen.commands.push_back(std::to_string(p.host.elapsed() - origin) + " " + sjisToUtf8(book) +
                                "/" + sjisToUtf8(page) + "#" + std::to_string(index));
    };
    for (uint32_t look : looks) {
        p.run(origin + look);
        seen.frames.push_back(p.canvas.frame());
        platform::SilentMediaPlayer* music = p.players.player(platform::MediaChannel::Music);
        seen.music.push_back(music ? music->positionMs() : 0);
    }
    p.run(origin + 30000);
    for (const auto& [isText, line] : p.vars().linesInSetOrder())
        seen.variables.push_back(sjisToUtf8(std::string(line)));
    p.main().onCommand = nullptr;
    return seen;
}

// The run's state as rollback takes it at every message: pictures shared through `shared`.
PlayerState snapshotOf(TestPlayer& p, SnapshotPictures& shared) {
    ReaderState reader;
    const std::string storyId = storyIdentity(p.main().story());
    Player& m = p.main();
    return captureState({m.story(), m.execution(), m.screen(), m.music(),
                         m.saveSystem().messageHistory(), reader, storyId},
                        &shared);
}

// Whether a snapshot keeps some layer by its picture file, not its pixels.
bool keepsALayerByItsFile(const PlayerState& state) {
    return std::any_of(state.entries().begin(), state.entries().end(), [](const StateEntry& e) {
        return e.name.starts_with("layer.") && e.bytes->size() < 100;
    });
}

TEST(PlayerState, ARestoredRunGoesOnExactlyAsTheRunItWasTakenFrom) {
    StoryBuilder s;
    const std::string project = writeStory(s);
    // The reader's clicks: the first message's key wait, the second's, the wait that only the
    // animation fills, the last message.
    const std::vector<uint32_t> clicks{3000, 6400, 11500, 12500};
    struct Point {
        const char* name;
        uint32_t at;
        std::vector<Input> extra;  // more input after the moment
    };
    const std::vector<Point> points{
        {"while the message types", 1000, {}},
        {"in the timed wait", 4000, {}},
        {"at the timed choice, left to run out", 7400, {}},
        {"at the timed choice, taken", 7400, {{600, "move 10 205"}, {800, "click 10 205"}}},
        {"while only the animation moves", 11000, {}},
    };
    const std::vector<uint32_t> looks{0, 130, 700, 1500, 2900, 4100};
    // As a state file holds it, and as rollback keeps it in memory (the background by its
    // file, base by the layers it is composed of).
    for (const bool asRollback : {false, true})
        for (const Point& point : points) {
            SCOPED_TRACE(std::string(point.name) + (asRollback ? ", as rollback keeps it" : ""));
            std::vector<Input> before, after = point.extra;
            for (uint32_t c : clicks)
                (c < point.at ? before : after)
                    .push_back({c < point.at ? c : c - point.at, "click 5 5"});
            TestPlayer a(project, s.programDir, eventsFrom(point.at, after, before));
            a.run(point.at);
            SnapshotPictures takenShared, restoredShared;
            PlayerState state;
            if (asRollback) {
                state = snapshotOf(a, takenShared);
                EXPECT_TRUE(keepsALayerByItsFile(state));
            } else {
                const PlayerState taken = a.main().captureState();
                ASSERT_FALSE(taken.empty());
                // Through the bytes of a package, as a state file holds it.
                ASSERT_TRUE(decodeState(encodeState(taken), state));
            }
            const Seen original = watch(a, point.at, looks);

            // The other run began with another random seed and has gone on 1.2 s past the moment.
            const uint32_t later = point.at + 1200;
            TestPlayer b(project, s.programDir, eventsFrom(later, after, before));
            b.vars().seed(4711);
            b.run(later);
            ASSERT_EQ(b.main().restoreState(state, asRollback ? &restoredShared : nullptr),
                      StateRefusal::None);
            const Seen restored = watch(b, later, looks);

            EXPECT_EQ(restored.commands, original.commands);
            EXPECT_EQ(restored.music, original.music);
            EXPECT_EQ(restored.variables, original.variables);
            ASSERT_EQ(restored.frames.size(), original.frames.size());
            for (size_t i = 0; i < looks.size(); ++i)
                EXPECT_TRUE(restored.frames[i] == original.frames[i]) << "screen at +" << looks[i];
            EXPECT_FALSE(original.commands.empty());
        }
}

// The reader's own keys on the command line's events: F5, playing on, F9, and the run from the
// load on is the run that went on from the save: the same trace at the same times after it, the
// same variables and the same last screen.
TEST(PlayerState, F5ThenF9OnTheEventsGoesOnAsTheRunDidFromTheSave) {
    StoryBuilder s;
    const std::string project = writeStory(s);
    s.settings.readFolder = s.dir.file("data/zarvoplay");
    const std::vector<uint32_t> clicks{3000, 6400, 11500, 12500};
    // What a trace has after the line that ends in `mark`, times from that line's.
    auto after = [](const StoryRun& r, const std::string& mark) {
        std::vector<std::string> lines;
        long origin = -1;
        for (const std::string& line : r.trace) {
            const size_t space = line.find(' ');
            const long at = std::stol(line.substr(0, space));
            if (origin >= 0)
                lines.push_back(std::to_string(at - origin) + line.substr(space));
            else if (line.ends_with(mark))
                origin = at;
        }
        return lines;
    };
    struct Point {
        const char* name;
        uint32_t at, playedOn;  // the save, and how long the other run goes on before the load
    };
    // Waits end on the host's timer ticks: the load comes at the save's place between two ticks,
    // as a load elsewhere between them ends the waits after it up to a tick apart.
    constexpr uint32_t kTick = platform::HeadlessHost::kTimerInterval;
    for (const Point& point : {Point{"while the message types", 1100, 12 * kTick},
                               Point{"in the timed wait", 4100, 15 * kTick}}) {
        SCOPED_TRACE(point.name);
        std::string plain, reloaded;
        for (uint32_t c : clicks) {
            const std::string click = " click 5 5\n";
            plain += std::to_string(c) + click;
            // Played on, the clicks until the load come as they did; from it, later by as much.
            if (c < point.at + point.playedOn) reloaded += std::to_string(c) + click;
            if (c >= point.at) reloaded += std::to_string(c + point.playedOn) + click;
        }
        const std::string saved = std::to_string(point.at) + " player state save 0";
        const std::string loaded =
            std::to_string(point.at + point.playedOn) + " player state load 0";
        const StoryRun a = s.run(project, std::to_string(point.at) + " key f5\n" + plain);
        const StoryRun b =
            s.run(project, std::to_string(point.at) + " key f5\n" +
                               std::to_string(point.at + point.playedOn) + " key f9\n" + reloaded);
        ASSERT_EQ(a.status, kExitEnded);
        ASSERT_EQ(b.status, kExitEnded);
        EXPECT_THAT(a.player, ::testing::ElementsAre(saved));
        EXPECT_THAT(b.player, ::testing::ElementsAre(saved, loaded));
        const std::vector<std::string> continued = after(a, "player state save 0");
        EXPECT_THAT(continued, ::testing::Contains(::testing::EndsWith("@MessageDraw")));
        EXPECT_EQ(after(b, "player state load 0"), continued);
        EXPECT_EQ(b.userDump(), a.userDump());
        // The story's background at the end, not a blank screen.
        EXPECT_EQ(a.shot.getPixel(600, 300), 0x406080u);
        const auto pixels = [](const Surface& f) {
            return std::vector<uint32_t>(f.row(0), f.row(0) + f.width() * f.height());
        };
        EXPECT_TRUE(pixels(b.shot) == pixels(a.shot)) << "the last screens differ";
    }
}

// What a refused state must leave alone.
struct Look {
    std::string position;
    std::vector<std::string> variables;
    std::vector<uint32_t> frame;
    bool operator==(const Look&) const = default;
};

Look lookAt(TestPlayer& p) {
    Look look{p.position(), {}, p.canvas.frame()};
    for (const auto& [isText, line] : p.vars().linesInSetOrder()) look.variables.emplace_back(line);
    return look;
}

// A state with one entry's bytes replaced.
PlayerState with(const PlayerState& state, const std::string& name, std::string bytes) {
    PlayerState changed = state;
    changed.put(name, std::move(bytes));
    return changed;
}

TEST(PlayerState, AStateThatDoesNotFitIsRefusedWithABoxAndNothingElseChanges) {
    StoryBuilder s;
    const std::string project = writeStory(s);
    TestPlayer p(project, s.programDir);
    p.main().keepSaveStates(s.dir.file("data"));
    p.run(1000);
    ASSERT_TRUE(p.main().saveState(1));
    const PlayerState good = p.main().captureState();
    SnapshotPictures shared;
    const PlayerState snapshot = snapshotOf(p, shared);
    // The slot shows when it was saved, the message as far as it had typed, and the screen.
    SaveStates slots(p.files);
    slots.useFolder(SaveStates::folderFor(p.files, s.dir.file("data"), project));
    const SaveStates::Slot slot = slots.slot(1);
    EXPECT_TRUE(slot.readable);
    EXPECT_THAT(slot.date, ::testing::MatchesRegex("[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9:]{8}"));
    EXPECT_THAT(slot.message, ::testing::StartsWith("abcdefghijk"));
    EXPECT_LT(slot.message.size(), 20u);
    ASSERT_EQ(slot.thumbnail.width, SaveStates::kThumbnailWidth);
    EXPECT_EQ(slot.thumbnail.pixels[0], 0x806040u);  // the background, as pixels hold it
    p.run(4000);

    const std::string path = slots.pathOf(2);
    const std::string bytes = readFile(slots.pathOf(1));
    StringList otherPlayer = good.info();
    writeListString(otherPlayer, "State.Player", "0.0.1");
    StringList otherStory = good.info();
    writeListString(otherStory, "State.Story", "0123456789abcdef");
    std::string runEntry = *good.find("run");
    runEntry[4] = 'X';  // the page the state resumes at names one the story does not have
    struct Bad {
        const char* what;
        std::string bytes;
        platform::Notice notice;
    };
    std::vector<Bad> bad{
        {"cut short", bytes.substr(0, bytes.size() / 2), platform::Notice::StateDamaged},
        {"empty", "", platform::Notice::StateDamaged},
        {"not a package", "QZ7STAT" + std::string(600, 'x'), platform::Notice::StateDamaged},
        {"another player's", encodeState(with(good, "state.info", joinLines(otherPlayer))),
         platform::Notice::StateOtherPlayer},
        {"another story's", encodeState(with(good, "state.info", joinLines(otherStory))),
         platform::Notice::StateOtherStory},
        {"a missing page", encodeState(with(good, "run", runEntry)),
         platform::Notice::StateDamaged},
        {"a layer cut short", encodeState(with(good, "layers", good.find("layers")->substr(0, 40))),
         platform::Notice::StateDamaged},
        {"a picture claiming a huge size",
         encodeState(with(good, "layer.0", std::string("\x40\x1f\0\0\x40\x1f\0\0\0xx", 11))),
         platform::Notice::StateDamaged},
    };
    // Bytes changed here and there through the file.
    for (size_t at = 100; at < bytes.size(); at += bytes.size() / 7) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
        bad.push_back({"a changed byte", flipped, platform::Notice::StateDamaged});
    }
    const Look before = lookAt(p);
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.what);
        writeFile(path, b.bytes);
        p.dialogs.clear();
        EXPECT_FALSE(p.main().loadState(2));
        ASSERT_EQ(p.dialogs.shown().size(), 1u);
        EXPECT_EQ(p.dialogs.shown()[0].text, Notices::textOf(b.notice, {path}));
        EXPECT_TRUE(lookAt(p) == before);
    }
    // The good one still loads.
    p.dialogs.clear();
    EXPECT_TRUE(p.main().loadState(1));
    EXPECT_TRUE(p.dialogs.shown().empty());
    EXPECT_EQ(p.position(), "スタートブック/スタートページ#5");

    // A snapshot keeps the background by its file: changed on disk since, it is refused.
    ASSERT_TRUE(keepsALayerByItsFile(snapshot));
    s.writePicture("bg.png", 640, 480, 0x406081);
    const Look now = lookAt(p);
    SnapshotPictures fresh;
    EXPECT_EQ(p.main().restoreState(snapshot, &fresh), StateRefusal::Damaged);
    EXPECT_TRUE(lookAt(p) == now);
}

TEST(PlayerState, AFailedWriteKeepsTheStateThereOrLeavesTheNewOneWhole) {
    StoryBuilder s;
    const std::string project = writeStory(s);
    TestPlayer p(project, s.programDir);
    p.run(1000);
    const PlayerState older = p.main().captureState();
    p.run(4000);
    const PlayerState newer = p.main().captureState();
    MemoryFileSystem files;
    files.makeDirectory("/states");
    const std::string path = "/states/slot-01.state";
    auto entriesOf = [](const PlayerState& state) {
        std::vector<std::pair<std::string, std::string>> entries;
        for (const StateEntry& e : state.entries()) entries.emplace_back(e.name, *e.bytes);
        return entries;
    };
    int failures = 0;
    for (int64_t k = 1;; ++k) {
        ASSERT_TRUE(writeStateFile(files, path, older));
        files.failOperation(k, k % 2 == 0);
        const bool written = writeStateFile(files, path, newer);
        MemoryFileSystem::Operation kind;
        const bool failed = files.failed(kind);
        files.failOperation(0);
        PlayerState read;
        ASSERT_TRUE(readStateFile(files, path, read)) << "failure " << k;
        // A write that failed after the new file took the old one's place (the folder could
        // not be flushed) leaves the new one, whole.
        if (written)
            EXPECT_EQ(entriesOf(read), entriesOf(newer)) << "failure " << k;
        else
            EXPECT_TRUE(entriesOf(read) == entriesOf(older) || entriesOf(read) == entriesOf(newer))
                << "failure " << k;
        EXPECT_EQ(files.fileNames(), std::set<std::string>{path});
        if (!failed) break;
        ++failures;
    }
    EXPECT_GT(failures, 3);
}

}  // namespace
}  // namespace zarvo::test
