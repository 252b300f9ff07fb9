#include "graphics/layers.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "backends/headless/frame_canvas.hpp"
#include "backends/headless/virtual_clock.hpp"
#include "graphics/screen.hpp"
#include "interp/run_state.hpp"
#include "script/script_file.hpp"
#include "support/notices.hpp"
#include "support/temp_dir.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

using test::sjis;

Surface solid(int32_t w, int32_t h, uint32_t color) {
    Surface g;
    g.setSize(w, h);
    g.fillRect(0, 0, w, h, color);
    return g;
}

TEST(LayerComposition, VisibleLayersComposeBottomUpWithViewAndAutomaticSize) {
    LayerStack screen(320, 240);
    screen.layerAt(0)->surface.fillRect(0, 0, 320, 240, 0x000000);
    Layer* picture = screen.insertLayerAfter(screen.layerAt(0));
    picture->surface = solid(200, 100, 0x0000FF);        // red
    picture->surface.fillRect(0, 0, 10, 100, 0x00FF00);  // first ten columns green
    picture->left = 100;
    picture->top = 50;
    picture->visible = true;
    Layer* hidden = screen.insertLayerAfter(picture);
    hidden->surface = solid(320, 240, 0xFFFFFF);
    screen.compose();
    const Surface& out = screen.output();
    // 0 x 0 means the whole picture from its position: (100,50)..(299,149).
    EXPECT_EQ(out.getPixel(100, 50), 0x00FF00u);
    EXPECT_EQ(out.getPixel(299, 149), 0x0000FFu);
    EXPECT_EQ(out.getPixel(300, 149), 0u);
    EXPECT_EQ(out.getPixel(99, 50), 0u);  // the invisible white layer changed nothing

    // A view offset of 10 with width 100 shows surface columns 10..109 at left..left+99.
    picture->viewLeft = 10;
    picture->width = 100;
    picture->height = 100;
    screen.layerAt(0)->surface.fillRect(0, 0, 320, 240, 0x000000);
    screen.compose();
    EXPECT_EQ(screen.output().getPixel(100, 50), 0x0000FFu);
    EXPECT_EQ(screen.output().getPixel(199, 50), 0x0000FFu);
    EXPECT_EQ(screen.output().getPixel(200, 50), 0u);
}

TEST(LayerComposition, DynamicLayersGoOverACopyAndEffectsNeedACanvas) {
    LayerStack screen(64, 48);
    screen.layerAt(0)->surface.fillRect(0, 0, 64, 48, 0x112233);
    screen.drawDynamicLayers = [](Surface& out) { out.fillRect(0, 0, 1, 1, 0xFFFFFF); };
    screen.compose();
    EXPECT_EQ(screen.output().getPixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(screen.base().getPixel(0, 0), 0x112233u);

    // Without a canvas an effect neither composes nor paints.
    screen.layerAt(0)->surface.fillRect(0, 0, 64, 48, 0x445566);
    screen.runEffect(EffectType::Fadein, 0, 0, 0, 0, EffectContext{});
    EXPECT_EQ(screen.base().getPixel(5, 5), 0x112233u);
    platform::FrameCanvas canvas;
    screen.setCanvas(&canvas);
    screen.runEffect(EffectType::Fadein, 0, 0, 0, 0, EffectContext{});
    EXPECT_EQ(screen.base().getPixel(5, 5), 0x445566u);
    EXPECT_EQ(canvas.presents(), 8u);  // the fade's eight frames
}

class ScreenControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        script.loadFromStream(sjis(
            "<Head=\"Zarvo\">\r\nImageWidth=320\r\nImageHeight=240\r\n<Head End>\r\n"
            "<Head=\"LayerList\">\r\nLayerCount=3\r\nLayer.1.LayerName=A\r\nLayer.2.LayerName=B\r\n"
            "<Head End>\r\n<Head=\"MessageWindow\">\r\nImageWidth=0\r\n<Head End>\r\n"));
        defs.load(script);
        Screen::Services s{.script = script,
                           .process = process,
                           .layerDefinitions = defs,
                           .systemFont = systemFont,
                           .notices = boxes};
        s.loadGraphic = [](std::string_view name, Surface& g) {
            if (name != "red.bmp") return false;
            g = solid(4, 4, 0x0000FF);
            return true;
        };
        s.endApplication = [this] { ended = true; };
        control = std::make_unique<Screen>(s);
        control->setUpWindows();
    }

    platform::VirtualClock clock;
    test::RecordedNotices boxes;
    platform::RecordingDialogs& dialogs = boxes.dialogs;
    ScriptFile script{boxes};
    LayerDefinitions defs;
    CallStack stack;
    RunState process{stack, clock, boxes};
    std::string systemFont = std::string(texts::kDefaultSystemFont);
    std::unique_ptr<Screen> control;
    bool ended = false;
};

TEST_F(ScreenControlTest, WindowsAndTheInitialStackFollowTheDefinitions) {
    LayerStack& main = *control->screen(0);
    ASSERT_EQ(main.layerCount(), 5);
    EXPECT_EQ(main.layerAt(0)->name, "");
    EXPECT_EQ(main.layerAt(1)->name, texts::kBackgroundLayer);
    EXPECT_EQ(main.layerAt(2)->name, "A");
    EXPECT_EQ(main.layerAt(3)->name, "B");
    EXPECT_EQ(main.layerAt(4)->name, texts::kTextLayer);
    EXPECT_EQ(main.width(), 320);
    // A window size that cannot be a screen falls back to its default.
    EXPECT_EQ(control->getWindow(1)->imageWidth, 520);
    EXPECT_EQ(control->screen(2)->layerAt(1)->name, texts::kBackgroundLayer);
    EXPECT_EQ(control->getWindow(6), nullptr);
}

TEST_F(ScreenControlTest, LayersByNameReportUnknownNamesAndClampViews) {
    EXPECT_EQ(control->findLayer(0, ""), nullptr);  // the bottom layer has no name to find
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].kind, platform::BoxKind::Plain);
    EXPECT_EQ(dialogs.shown()[0].text, "debug - error:\n layername not found:");
    EXPECT_TRUE(control->setLayerView(0, "A", -5, 20));
    int32_t l, t, w, h;
    EXPECT_EQ(control->findLayer(0, "A")->viewLeft, 0);
    EXPECT_EQ(control->findLayer(0, "A")->viewTop, 20);
    EXPECT_TRUE(control->setLayerPos(0, "B", 7, 8));
    EXPECT_TRUE(control->getLayerRect(0, "B", l, t, w, h));
    EXPECT_EQ(l, 7);
    EXPECT_FALSE(control->setLayerPos(0, "missing", 1, 1));
}

TEST_F(ScreenControlTest, FailedPictureAsksAbortOrIgnore) {
    EXPECT_TRUE(control->loadLayerImage(0, "A", "red.bmp", false, false));
    EXPECT_EQ(control->findLayer(0, "A")->fileName, "red.bmp");
    dialogs.queueAnswer(platform::BoxAnswer::Ignore);
    EXPECT_FALSE(control->loadLayerImage(0, "A", "missing.png", false, false));
    EXPECT_FALSE(ended);
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].kind, platform::BoxKind::ErrorAbortIgnore);
    EXPECT_EQ(dialogs.shown()[0].text,
              sjis("画像ファイル「") + "missing.png" +
                  sjis("」の読み込みに失敗しました\nこのファイルが存在しないか、このファイルを読み"
                       "込むためのSusieプラグインが必要です。"));
    dialogs.queueAnswer(platform::BoxAnswer::Abort);
    control->loadLayerImage(0, "A", "missing.png", false, false);
    EXPECT_TRUE(ended);
}

TEST_F(ScreenControlTest, TransparentBmpTakesItsColourKey) {
    Surface g;
    EXPECT_TRUE(control->loadImage(g, "red.bmp", true, false));
    EXPECT_FALSE(g.hitTest(0, 0));  // every pixel has the bottom-left colour
}

TEST_F(ScreenControlTest, MergeBackgroundBakesTheLayerAboveIntoTheBottom) {
    Layer* background = control->findLayer(0, texts::kBackgroundLayer);
    background->surface = solid(10, 10, 0x0000FF);
    background->left = 5;
    control->mergeBackground(0);
    LayerStack& main = *control->screen(0);
    EXPECT_EQ(main.layerAt(0)->surface.getPixel(5, 0), 0x0000FFu);
    EXPECT_EQ(main.layerAt(0)->surface.getPixel(4, 0), 0xFFFFFFu);
}

}  // namespace
}  // namespace zarvo
