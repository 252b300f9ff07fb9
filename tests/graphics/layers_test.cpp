#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "graphics/layers.hpp"
#include "graphics/screen.hpp"
#include "interp/run_state.hpp"
#include "backends/headless/frame_canvas.hpp"
#include "backends/headless/recording_dialogs.hpp"
#include "backends/headless/virtual_clock.hpp"
#include "script/script_file.hpp"
#include "support/temp_dir.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

using test::sjis;

Surface solid(int32_t w, int32_t h, uint32_t color) {
    Surface g;
    g.SetSize(w, h);
    g.FillRect(0, 0, w, h, color);
    return g;
}

TEST(LayerComposition, VisibleLayersComposeBottomUpWithViewAndAutomaticSize) {
    LayerStack screen(320, 240);
    screen.LayerAt(0)->surface.FillRect(0, 0, 320, 240, 0x000000);
    Layer* picture = screen.InsertLayerAfter(screen.LayerAt(0));
    picture->surface = solid(200, 100, 0x0000FF);  // red
    picture->surface.FillRect(0, 0, 10, 100, 0x00FF00);  // first ten columns green
    picture->left = 100;
    picture->top = 50;
    picture->visible = true;
    Layer* hidden = screen.InsertLayerAfter(picture);
    hidden->surface = solid(320, 240, 0xFFFFFF);
    screen.Compose();
    const Surface& out = screen.output();
    // 0 x 0 means the whole picture from its position: (100,50)..(299,149).
    EXPECT_EQ(out.GetPixel(100, 50), 0x00FF00u);
    EXPECT_EQ(out.GetPixel(299, 149), 0x0000FFu);
    EXPECT_EQ(out.GetPixel(300, 149), 0u);
    EXPECT_EQ(out.GetPixel(99, 50), 0u);  // the invisible white layer changed nothing

    // A view offset of 10 with width 100 shows surface columns 10..109 at left..left+99.
    picture->viewLeft = 10;
    picture->width = 100;
    picture->height = 100;
    screen.LayerAt(0)->surface.FillRect(0, 0, 320, 240, 0x000000);
    screen.Compose();
    EXPECT_EQ(screen.output().GetPixel(100, 50), 0x0000FFu);
    EXPECT_EQ(screen.output().GetPixel(199, 50), 0x0000FFu);
    EXPECT_EQ(screen.output().GetPixel(200, 50), 0u);
}

TEST(LayerComposition, DynamicLayersGoOverACopyAndEffectsNeedACanvas) {
    LayerStack screen(64, 48);
    screen.LayerAt(0)->surface.FillRect(0, 0, 64, 48, 0x112233);
    screen.drawDynamicLayers = [](Surface& out) { out.FillRect(0, 0, 1, 1, 0xFFFFFF); };
    screen.Compose();
    EXPECT_EQ(screen.output().GetPixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(screen.base().GetPixel(0, 0), 0x112233u);

    // Without a canvas an effect neither composes nor paints.
    screen.LayerAt(0)->surface.FillRect(0, 0, 64, 48, 0x445566);
    screen.RunEffect(0, 0, 0, 0, 0, EffectContext{});
    EXPECT_EQ(screen.base().GetPixel(5, 5), 0x112233u);
    platform::FrameCanvas canvas;
    screen.SetCanvas(&canvas);
    screen.RunEffect(0, 0, 0, 0, 0, EffectContext{});
    EXPECT_EQ(screen.base().GetPixel(5, 5), 0x445566u);
    EXPECT_EQ(canvas.presents(), 8u);  // the fade's eight frames
}

class ScreenControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        script.LoadFromStream(sjis(
            "<Head=\"Zarvo\">\r\nImageWidth=320\r\nImageHeight=240\r\n<Head End>\r\n"
            "<Head=\"LayerList\">\r\nLayerCount=3\r\nLayer.1.LayerName=A\r\nLayer.2.LayerName=B\r\n"
            "<Head End>\r\n<Head=\"MessageWindow\">\r\nImageWidth=0\r\n<Head End>\r\n"));
        defs.Load(script);
        process.setClock(&clock);
        Screen::Services s;
        s.script = &script;
        s.process = &process;
        s.layerDefinitions = &defs;
        s.systemFont = &systemFont;
        s.dialogs = &dialogs;
        s.loadGraphic = [](std::string_view name, Surface& g) {
            if (name != "red.bmp") return false;
            g = solid(4, 4, 0x0000FF);
            return true;
        };
        s.endApplication = [this] { ended = true; };
        control = std::make_unique<Screen>(s);
        control->SetUpWindows();
    }

    ScriptFile script;
    LayerDefinitions defs;
    RunState process;
    platform::VirtualClock clock;
    platform::RecordingDialogs dialogs;
    std::string systemFont = std::string(texts::kDefaultSystemFont);
    std::unique_ptr<Screen> control;
    bool ended = false;
};

TEST_F(ScreenControlTest, WindowsAndTheInitialStackFollowTheDefinitions) {
    LayerStack& main = *control->screen(0);
    ASSERT_EQ(main.LayerCount(), 5);
    EXPECT_EQ(main.LayerAt(0)->name, "");
    EXPECT_EQ(main.LayerAt(1)->name, texts::kBackgroundLayer);
    EXPECT_EQ(main.LayerAt(2)->name, "A");
    EXPECT_EQ(main.LayerAt(3)->name, "B");
    EXPECT_EQ(main.LayerAt(4)->name, texts::kTextLayer);
    EXPECT_EQ(main.width(), 320);
    // A window size that cannot be a screen falls back to its default.
    EXPECT_EQ(control->GetWindow(1)->imageWidth, 520);
    EXPECT_EQ(control->screen(2)->LayerAt(1)->name, texts::kBackgroundLayer);
    EXPECT_EQ(control->GetWindow(6), nullptr);
}

TEST_F(ScreenControlTest, LayersByNameReportUnknownNamesAndClampViews) {
    EXPECT_EQ(control->FindLayer(0, ""), nullptr);  // the bottom layer has no name to find
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].kind, platform::BoxKind::Plain);
    EXPECT_EQ(dialogs.shown()[0].text, "debug - error:\n layername not found:");
    EXPECT_TRUE(control->SetLayerView(0, "A", -5, 20));
    int32_t l, t, w, h;
    EXPECT_EQ(control->FindLayer(0, "A")->viewLeft, 0);
    EXPECT_EQ(control->FindLayer(0, "A")->viewTop, 20);
    EXPECT_TRUE(control->SetLayerPos(0, "B", 7, 8));
    EXPECT_TRUE(control->GetLayerRect(0, "B", l, t, w, h));
    EXPECT_EQ(l, 7);
    EXPECT_FALSE(control->SetLayerPos(0, "missing", 1, 1));
}

TEST_F(ScreenControlTest, FailedPictureAsksAbortOrIgnore) {
    EXPECT_TRUE(control->LoadLayerImage(0, "A", "red.bmp", false, false));
    EXPECT_EQ(control->FindLayer(0, "A")->fileName, "red.bmp");
    dialogs.queueAnswer(platform::BoxAnswer::Ignore);
    EXPECT_FALSE(control->LoadLayerImage(0, "A", "missing.png", false, false));
    EXPECT_FALSE(ended);
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].kind, platform::BoxKind::ErrorAbortIgnore);
    EXPECT_EQ(dialogs.shown()[0].text,
              sjis("画像ファイル「") + "missing.png" +
                  sjis("」の読み込みに失敗しました\nこのファイルが存在しないか、このファイルを読み込むためのSusieプラグインが必要です。"));
    dialogs.queueAnswer(platform::BoxAnswer::Abort);
    control->LoadLayerImage(0, "A", "missing.png", false, false);
    EXPECT_TRUE(ended);
}

TEST_F(ScreenControlTest, TransparentBmpTakesItsColourKey) {
    Surface g;
    EXPECT_TRUE(control->LoadImage(g, "red.bmp", true, false));
    EXPECT_FALSE(g.HitTest(0, 0));  // every pixel has the bottom-left colour
}

TEST_F(ScreenControlTest, MergeBackgroundBakesTheLayerAboveIntoTheBottom) {
    Layer* background = control->FindLayer(0, texts::kBackgroundLayer);
    background->surface = solid(10, 10, 0x0000FF);
    background->left = 5;
    control->MergeBackground(0);
    LayerStack& main = *control->screen(0);
    EXPECT_EQ(main.LayerAt(0)->surface.GetPixel(5, 0), 0x0000FFu);
    EXPECT_EQ(main.LayerAt(0)->surface.GetPixel(4, 0), 0xFFFFFFu);
}

}  // namespace
}  // namespace zarvo
