#include "graphics/dynamic_layer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "backends/headless/frame_canvas.hpp"
#include "backends/headless/virtual_clock.hpp"
#include "base/name_value.hpp"
#include "base/sjis.hpp"
#include "graphics/screen.hpp"
#include "interp/run_state.hpp"
#include "script/script_file.hpp"
#include "support/box_font_engine.hpp"
#include "support/notices.hpp"
#include "support/temp_dir.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

using test::sjis;

constexpr uint32_t kWhite = 0xFFFFFF;

Surface solid(int32_t w, int32_t h, uint32_t color) {
    Surface g;
    g.setSize(w, h);
    g.fillRect(0, 0, w, h, color);
    return g;
}

// Draws every character as a full box, so text shows as known rectangles.
using test::BoxFontEngine;

std::unique_ptr<DynamicLayerList> area(int32_t id, int32_t left, int32_t top, int32_t w, int32_t h,
                                       DLActiveMode mode = DLActiveMode::Waiting) {
    auto l = std::make_unique<DynamicLayerList>();
    l->attrId = id;
    l->left = left;
    l->top = top;
    l->width = w;
    l->height = h;
    l->activeArea = DLActiveArea::All;
    l->activeMode = mode;
    FixedWidthFontEngine fonts;
    EXPECT_TRUE(l->build(nullptr, fonts));
    return l;
}

// A strip of `columns` x `rows` cells of 4 x 4, cell (c, r) coloured 0x10 * (r * columns + c + 1).
Surface cellStrip(int columns, int rows) {
    Surface g = solid(4 * columns, 4 * rows, 0);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            g.fillRect(4 * c, 4 * r, 4, 4, static_cast<uint32_t>(0x10 * (r * columns + c + 1)));
    return g;
}

std::unique_ptr<DynamicLayerList> imageLayer(const Surface& strip, int32_t columns, int32_t rows) {
    auto l = std::make_unique<DynamicLayerList>();
    l->imageFile = "strip.png";
    l->animeCount = columns;
    l->divideCount = rows;
    FixedWidthFontEngine fonts;
    EXPECT_TRUE(l->build(&strip, fonts));
    return l;
}

TEST(DynamicLayerSet, TheTopmostLayerUnderThePointerTakesItAndBlocksTheOnesBelow) {
    DynamicLayer set;
    set.add(area(1, 0, 0, 20, 20));    // older
    set.add(area(2, 10, 10, 20, 20));  // newer, overlapping at 10..19
    DynamicLayerList& older = *set.At(1);
    DynamicLayerList& newer = *set.At(0);
    ASSERT_EQ(set.first(), &newer);

    EXPECT_TRUE(set.hitTest(15, 15, true));
    EXPECT_EQ(newer.status, DLStatus::Active);
    EXPECT_EQ(older.status, DLStatus::Idle);
    EXPECT_FALSE(set.hitTest(16, 16, true));  // nothing changes
    EXPECT_TRUE(set.hitTest(5, 5, true));
    EXPECT_EQ(newer.status, DLStatus::Idle);
    EXPECT_EQ(older.status, DLStatus::Active);
    EXPECT_TRUE(set.hitTest(100, 100, true));
    EXPECT_EQ(older.status, DLStatus::Idle);
    EXPECT_FALSE(set.activeCursor());

    // Without a click awaited only Always layers respond, and a layer on top blocks them even
    // though it cannot become active itself.
    older.activeMode = DLActiveMode::Always;
    EXPECT_FALSE(set.hitTest(15, 15, false));
    EXPECT_EQ(older.status, DLStatus::Idle);
    EXPECT_TRUE(set.hitTest(5, 5, false));
    EXPECT_EQ(older.status, DLStatus::Active);
    EXPECT_TRUE(set.hitTest(15, 15, false));  // moving under the blocker lets go
    EXPECT_EQ(older.status, DLStatus::Idle);

    // A disabled layer on top blocks as well, and a layer of mode Disable never activates.
    newer.status = DLStatus::Disable;
    EXPECT_FALSE(set.hitTest(15, 15, true));
    set.add(area(3, 50, 50, 10, 10, DLActiveMode::Disable));
    EXPECT_FALSE(set.hitTest(55, 55, true));

    // Opaque layers are hit only where their first cell is opaque.
    Surface strip = solid(8, 4, 0x00FF00);
    strip.clearMask();
    strip.fillRect(0, 0, 2, 4, 0x00FF00);  // columns 0-1 opaque
    auto opaque = imageLayer(strip, 2, 1);
    opaque->left = 100;
    opaque->activeArea = DLActiveArea::Opaque;
    opaque->activeMode = DLActiveMode::Always;
    opaque->cursor = true;
    set.add(std::move(opaque));
    EXPECT_FALSE(set.hitTest(102, 1, false));
    EXPECT_TRUE(set.hitTest(101, 1, false));
    EXPECT_TRUE(set.activeCursor());
}

TEST(DynamicLayerSet, OnceRunsToTheEndAndReplaysOnHover) {
    Surface strip = cellStrip(4, 1);
    DynamicLayer set;
    auto once = imageLayer(strip, 4, 1);
    once->animeType = DLAnimeType::Once;
    once->animeIndex = 1;
    once->activeArea = DLActiveArea::All;
    once->activeMode = DLActiveMode::Always;
    DynamicLayerList* o = once.get();
    set.add(std::move(once));
    auto still = imageLayer(strip, 1, 1);  // one frame: a repeat has nothing to step through
    still->animeType = DLAnimeType::Repeat;
    still->left = 100;
    set.add(std::move(still));

    std::vector<int32_t> frames;
    for (int i = 0; i < 5; ++i) {
        bool changed = set.animate();
        frames.push_back(o->animeIndex);
        EXPECT_EQ(changed, i < 3);
    }
    EXPECT_THAT(frames, ::testing::ElementsAre(2, 3, 0, 0, 0));

    // Pointing at it replays it from frame 1, and the frame drawn follows.
    EXPECT_TRUE(set.hitTest(1, 1, false));
    EXPECT_EQ(o->animeIndex, 1);
    Surface target = solid(200, 20, kWhite);
    set.draw(target);
    EXPECT_EQ(target.getPixel(0, 0), 0x20u);
    EXPECT_TRUE(set.animate());
    set.draw(target);
    EXPECT_EQ(target.getPixel(3, 3), 0x30u);
    EXPECT_EQ(target.getPixel(4, 3), kWhite);  // one cell only
}

TEST(DynamicLayerSet, TenFrameGaugeInAThirtySecondWait) {
    Surface strip = cellStrip(10, 1);
    DynamicLayer set;
    auto gauge = imageLayer(strip, 10, 1);
    gauge->animeType = DLAnimeType::Timer;
    gauge->animeIndex = 1;
    gauge->attrId = dynamic_ids::kChoice;
    DynamicLayerList* g = gauge.get();
    set.add(std::move(gauge));
    set.add(area(7, 0, 0, 5, 5));

    std::vector<int32_t> frames;
    for (int32_t remaining = 30; remaining >= 1; --remaining) {
        set.updateTimers(remaining);
        frames.push_back(g->animeIndex);
    }
    std::vector<int32_t> expected(20, 0);
    for (int32_t f = 0; f <= 9; ++f) expected.push_back(f);
    EXPECT_EQ(frames, expected);

    // The time is up: the gauge is marked expired, stops counting and goes with its group.
    EXPECT_TRUE(set.updateTimers(0));
    EXPECT_EQ(g->attrId, dynamic_ids::kExpiredGauge);
    EXPECT_EQ(g->animeType, DLAnimeType::None);
    EXPECT_EQ(g->animeIndex, 0);
    EXPECT_FALSE(set.updateTimers(5));
    EXPECT_TRUE(set.removeById(dynamic_ids::kExpiredGauge));
    ASSERT_EQ(set.count(), 1);
    EXPECT_EQ(set.first()->attrId, 7);
}

TEST(DynamicLayerSet, ClickingAChoiceRemovesTheWholeGroup) {
    DynamicLayer set;
    set.add(area(5, 0, 0, 640, 480, DLActiveMode::Always));  // an older full-screen button
    for (int i = 0; i < 3; ++i) {
        auto c = area(dynamic_ids::kChoice, 0, 20 * i, 200, 20);
        c->autoClear = true;
        c->clickBook = "book";
        c->clickPage = "page" + std::to_string(i);
        set.add(std::move(c));
    }
    DynamicLayerClick click;
    EXPECT_FALSE(set.takeClick(click));  // nothing active
    set.hitTest(10, 25, true);
    ASSERT_TRUE(set.takeClick(click));
    EXPECT_EQ(click.book, "book");
    EXPECT_EQ(click.page, "page1");
    EXPECT_EQ(click.pageChange, DLPageChange::Move);
    ASSERT_EQ(set.count(), 1);
    EXPECT_EQ(set.first()->attrId, 5);
}

TEST(DynamicLayerBuild, TextLayerIsOneLineCellOverATwoRowStrip) {
    BoxFontEngine engine;
    DynamicLayerList l;
    l.text = "ab#cd";
    l.fontName = "Box";
    l.fontSize = 12;  // 16 pixels at 96 dpi
    l.fontColor = 0x0000FF;
    l.width = 200;
    l.animeType = DLAnimeType::Timer;  // a timed choice keeps its type
    ASSERT_TRUE(l.build(nullptr, engine));
    ASSERT_NE(l.surface(), nullptr);
    EXPECT_EQ(l.width, 200);
    EXPECT_EQ(l.height, 32);
    EXPECT_EQ(l.surface()->width(), 200);
    EXPECT_EQ(l.surface()->height(), 64);
    EXPECT_EQ(l.divideCount, 2);
    EXPECT_EQ(l.indexEnable, 0);
    EXPECT_EQ(l.indexActive, 1);
    EXPECT_EQ(l.animeType, DLAnimeType::Timer);

    // Idle: the text on nothing. Active: the text on a half-transparent blue bar.
    Surface target = solid(300, 100, kWhite);
    l.left = 10;
    l.top = 10;
    l.drawOnto(target);
    // The strip blends by coverage, where full coverage gives 254 of 255.
    const uint32_t red = 0x0000FE;
    EXPECT_EQ(target.getPixel(10, 10), red);  // "ab" of line 1
    EXPECT_EQ(target.getPixel(10, 26), red);  // "cd" of line 2
    EXPECT_EQ(target.getPixel(100, 20), kWhite);
    EXPECT_EQ(target.getPixel(10, 42), kWhite);  // the lower row stays out of the cell
    l.status = DLStatus::Active;
    l.drawOnto(target);
    EXPECT_EQ(target.getPixel(10, 10), red);
    // Blue at half coverage over white: blue stays, red and green halve.
    EXPECT_EQ(target.getPixel(100, 20), 0xFE7E7Eu);
    EXPECT_EQ(target.getPixel(10, 42), kWhite);
}

TEST(DynamicLayerBuild, ScriptAndSaveNumbersNeverLeaveTheStrip) {
    Surface strip = cellStrip(3, 2);
    // An image layer needs its image.
    DynamicLayerList missing;
    missing.imageFile = "x.png";
    FixedWidthFontEngine fonts;
    EXPECT_FALSE(missing.build(nullptr, fonts));

    auto frameAt = [&](int32_t columns, int32_t rows, int32_t frame, DLStatus status,
                       int32_t activeRow) {
        auto l = imageLayer(strip, columns, rows);
        l->animeIndex = frame;
        l->status = status;
        l->indexActive = activeRow;
        Surface target = solid(40, 40, kWhite);
        l->drawOnto(target);
        return std::pair{target.getPixel(0, 0), target.getPixel(4, 4)};
    };
    // Frame 2 of the active row 1; 4 x 4 cells only.
    EXPECT_EQ(frameAt(3, 2, 2, DLStatus::Active, 1), std::pair(0x60u, kWhite));
    // A frame past the last starts over; a negative one too.
    EXPECT_EQ(frameAt(3, 2, 7, DLStatus::Idle, 0).first, 0x10u);
    EXPECT_EQ(frameAt(3, 2, -4, DLStatus::Idle, 0).first, 0x10u);
    // A row outside the strip shows nothing.
    EXPECT_EQ(frameAt(3, 2, 0, DLStatus::Active, 2).first, kWhite);
    EXPECT_EQ(frameAt(3, 2, 0, DLStatus::Active, -1).first, kWhite);
    // Counts of 0 or below count as 1; counts beyond the picture leave empty cells.
    auto whole = imageLayer(strip, 0, -3);
    EXPECT_EQ(whole->animeCount, 1);
    EXPECT_EQ(whole->width, 12);
    EXPECT_EQ(whole->height, 8);
    EXPECT_EQ(frameAt(1000, 1, 0, DLStatus::Idle, 0).first, kWhite);
    EXPECT_EQ(frameAt(3, 1000000, 0, DLStatus::Idle, 0).first, kWhite);
}

// --- the save section and the screen control ---

class DynamicScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        script.loadFromStream(
            sjis("<Head=\"Zarvo\">\r\nImageWidth=320\r\nImageHeight=240\r\n<Head End>\r\n"));
        defs.load(script);
        Screen::Services s{.script = script,
                           .process = process,
                           .layerDefinitions = defs,
                           .systemFont = systemFont,
                           .notices = boxes};
        s.loadGraphic = [this](std::string_view name, Surface& g) {
            ++loads;
            if (name == "a.png")
                g = cellStrip(2, 1);
            else if (name == "_keywait_char.png")
                g = cellStrip(2, 1);
            else
                return false;
            return true;
        };
        control = std::make_unique<Screen>(s);
        control->setUpWindows();
        control->setCanvas(&canvas, 0);
    }

    DynamicLayer& set() { return *control->dynamicLayers(0); }

    platform::VirtualClock clock;
    test::RecordedNotices boxes;
    platform::RecordingDialogs& dialogs = boxes.dialogs;
    ScriptFile script{boxes};
    LayerDefinitions defs;
    CallStack stack;
    RunState process{stack, clock, boxes};
    platform::FrameCanvas canvas;
    std::string systemFont = std::string(texts::kDefaultSystemFont);
    std::unique_ptr<Screen> control;
    int loads = 0;
};

std::vector<std::string> keysOf(const StringList& lines) {
    std::vector<std::string> keys;
    for (const auto& l : lines) keys.push_back(l.substr(0, l.find('=')));
    return keys;
}

TEST_F(DynamicScreenTest, SavedLayersComeBackInTheirStackingOrder) {
    StringList lines;
    EXPECT_TRUE(control->saveDynamicLayerInfo(lines));  // an empty set is no failure
    EXPECT_TRUE(lines.empty());

    auto a = std::make_unique<DynamicLayerList>();
    a->attrId = 5;
    a->imageFile = "a.png";
    a->animeCount = 2;
    a->animeType = DLAnimeType::Repeat;
    a->animeIndex = 1;
    a->activeArea = DLActiveArea::All;
    a->activeMode = DLActiveMode::Always;
    a->pageChange = DLPageChange::KeepCall;
    a->clickBook = sjis("本");
    a->clickPage = "p";
    a->autoClear = true;
    a->cursor = false;
    a->fontColor = 0x123456;
    a->status = DLStatus::Active;
    Surface picture = cellStrip(2, 1);
    FixedWidthFontEngine fonts;
    ASSERT_TRUE(a->build(&picture, fonts));
    control->addDynamicLayer(0, std::move(a));
    control->addDynamicLayer(0, area(7, 0, 0, 3, 3));  // B: newer, on top of A at (0, 0)
    ASSERT_TRUE(control->saveDynamicLayerInfo(lines));

    ASSERT_EQ(lines.size(), 62u);
    EXPECT_EQ(lines[0], "DynamicLayer.AttrID=7");  // the newest first
    EXPECT_EQ(lines[31], "DynamicLayer.AttrID=5");
    std::vector<std::string> keys = keysOf(lines);
    EXPECT_THAT(
        std::vector<std::string>(keys.begin() + 31, keys.end()),
        ::testing::ElementsAre(
            "DynamicLayer.AttrID", "DynamicLayer.Area.Left", "DynamicLayer.Area.Top",
            "DynamicLayer.Area.Width", "DynamicLayer.Area.Height", "DynamicLayer.ActiveArea",
            "DynamicLayer.ActiveMode", "DynamicLayer.Focus.BookName", "DynamicLayer.Focus.PageName",
            "DynamicLayer.Clickable.BookName", "DynamicLayer.Clickable.PageName",
            "DynamicLayer.Clickable.AutoClear", "DynamicLayer.Clickable.Cursor",
            "DynamicLayer.Clickable.PageChange", "DynamicLayer.Image.FileName",
            "DynamicLayer.Image.AnimeCount", "DynamicLayer.Image.DivideCount",
            "DynamicLayer.ImageIndex.Disable", "DynamicLayer.ImageIndex.Enable",
            "DynamicLayer.ImageIndex.Active", "DynamicLayer.ImageIndex.Click",
            "DynamicLayer.Image.AnimeType", "DynamicLayer.Text.Text", "DynamicLayer.Text.FontName",
            "DynamicLayer.Text.FontSize", "DynamicLayer.Text.FontDPI",
            "DynamicLayer.Text.FontColor", "DynamicLayer.Status", "DynamicLayer.AnimeIndex",
            "DynamicLayer.FocusIndex", "@LayerBorder"));
    StringList a0(lines.begin() + 31, lines.end());
    EXPECT_EQ(readListString(a0, "DynamicLayer.Image.AnimeType", ""), "Repert");
    EXPECT_EQ(readListString(a0, "DynamicLayer.Clickable.PageChange", ""), "KeepCall");
    EXPECT_EQ(readListString(a0, "DynamicLayer.Status", ""), "Active");

    // A layer of the transient range is never brought back; its neighbours are.
    StringList transient = {"DynamicLayer.AttrID=1500", "DynamicLayer.Area.Width=9",
                            "@LayerBorder"};
    lines.insert(lines.begin() + 31, transient.begin(), transient.end());
    control->addDynamicLayer(0, area(99, 0, 0, 1, 1));
    ASSERT_TRUE(control->loadDynamicLayerInfo(lines));
    ASSERT_EQ(set().count(), 2);
    EXPECT_EQ(set().At(0)->attrId, 7);  // B on top again
    const DynamicLayerList& back = *set().At(1);
    EXPECT_EQ(back.attrId, 5);
    EXPECT_EQ(back.animeType, DLAnimeType::Repeat);
    EXPECT_EQ(back.animeIndex, 1);
    EXPECT_EQ(back.pageChange, DLPageChange::KeepCall);
    EXPECT_EQ(back.clickBook, sjis("本"));
    EXPECT_TRUE(back.autoClear);
    EXPECT_FALSE(back.cursor);
    EXPECT_EQ(back.fontColor, 0x123456u);
    EXPECT_EQ(back.status, DLStatus::Active);
    EXPECT_EQ(back.width, 4);  // from the reloaded picture
    ASSERT_NE(back.surface(), nullptr);
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_GT(canvas.presents(), 0u);
}

TEST_F(DynamicScreenTest, DamagedSaveBlocksFallBackOrDropAlone) {
    StringList lines = {
        // Words that are not the save's own give the first value; a missing status is Idle.
        "DynamicLayer.AttrID=2000", "DynamicLayer.ActiveArea=all", "DynamicLayer.ActiveMode=x",
        "DynamicLayer.Image.AnimeType=Repeat", "DynamicLayer.Clickable.PageChange=call",
        "DynamicLayer.Text.FontColor=nonsense", "DynamicLayer.Area.Width=5",
        "DynamicLayer.Area.Height=5", "@LayerBorder",
        // Bad status; ids just outside the transient range are kept.
        "DynamicLayer.AttrID=999", "DynamicLayer.Status=Sleeping", "@LayerBorder",
        // A picture that no longer loads: reported and left out.
        "DynamicLayer.AttrID=3", "DynamicLayer.Image.FileName=gone.png", "@LayerBorder",
        // Silly numbers do no harm.
        "DynamicLayer.AttrID=4", "DynamicLayer.Image.FileName=a.png",
        "DynamicLayer.Image.AnimeCount=-7", "DynamicLayer.Image.DivideCount=0",
        "DynamicLayer.AnimeIndex=2147483647", "DynamicLayer.ImageIndex.Enable=-2147483648",
        "@LayerBorder",
        // No border line: dropped.
        "DynamicLayer.AttrID=6"};
    ASSERT_TRUE(control->loadDynamicLayerInfo(lines));
    ASSERT_EQ(set().count(), 3);
    const DynamicLayerList& expired = *set().At(0);
    EXPECT_EQ(expired.attrId, 2000);
    EXPECT_EQ(expired.activeArea, DLActiveArea::None);
    EXPECT_EQ(expired.activeMode, DLActiveMode::Disable);
    EXPECT_EQ(expired.animeType, DLAnimeType::None);
    EXPECT_EQ(expired.pageChange, DLPageChange::Move);
    EXPECT_EQ(expired.fontColor, 0u);
    EXPECT_EQ(expired.status, DLStatus::Idle);
    EXPECT_EQ(set().At(1)->attrId, 999);
    EXPECT_EQ(set().At(1)->status, DLStatus::Disable);
    EXPECT_EQ(set().At(2)->attrId, 4);
    EXPECT_EQ(set().At(2)->animeCount, 1);
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].kind, platform::BoxKind::Plain);
    EXPECT_EQ(dialogs.shown()[0].text, std::string(texts::kDynamicLayerCreateFailed));
    control->refreshAndPaint(0);  // drawing the odd layer stays inside the strip

    // An empty section leaves no dynamic layers.
    ASSERT_TRUE(control->loadDynamicLayerInfo({}));
    EXPECT_EQ(set().count(), 0);
}

TEST_F(DynamicScreenTest, KeyMarkerShowsAtTheLineEndUntilTheWaitIsOver) {
    const std::string_view textLayer = texts::kTextLayer;
    Layer* layer = control->findLayer(0, textLayer);
    layer->left = 30;
    layer->top = 40;
    control->charWaitPercent = 0;  // instant text: each reveal runs to the next wait
    control->drawLayerText(0, textLayer, "AB<KEY>CD");
    process.beginMessageEffect(0, textLayer);
    EXPECT_TRUE(control->revealMessage(0, textLayer));
    EXPECT_EQ(process.playerMode(), PlayerMode::MessageWait);
    ASSERT_EQ(set().count(), 1);
    const DynamicLayerList& marker = *set().first();
    EXPECT_EQ(marker.attrId, dynamic_ids::kMarker);
    EXPECT_EQ(marker.animeType, DLAnimeType::Repeat);
    EXPECT_EQ(marker.animeCount, 2);
    EXPECT_EQ(marker.width, 4);  // one of the picture's two halves
    // Right after "AB" (two 10-pixel characters of the 21-pixel font), resting on the line.
    EXPECT_EQ(marker.left, 30 + 20);
    EXPECT_EQ(marker.top, 40 + 21 - 4);
    EXPECT_EQ(control->screen(0)->output().getPixel(50, 57), 0x10u);
    EXPECT_TRUE(control->advanceAnimations(true));  // the blink
    EXPECT_EQ(control->screen(0)->output().getPixel(50, 57), 0x20u);

    process.endWait();
    EXPECT_FALSE(control->revealMessage(0, textLayer));  // the rest, then the end
    EXPECT_EQ(set().count(), 0);
    EXPECT_EQ(control->screen(0)->output().getPixel(50, 57), kWhite);

    // Without its picture the page marker is simply left out.
    std::string lines;
    for (int i = 0; i < 15; ++i) lines += "X#";
    control->drawLayerText(0, textLayer, lines);
    process.beginMessageEffect(0, textLayer);
    int before = loads;
    EXPECT_TRUE(control->revealMessage(0, textLayer));
    EXPECT_TRUE(process.anykeyClick());  // at the page wait
    EXPECT_EQ(loads, before + 1);
    EXPECT_EQ(set().count(), 0);
    EXPECT_TRUE(dialogs.shown().empty());
}

}  // namespace
}  // namespace zarvo
