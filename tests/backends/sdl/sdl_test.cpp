#include <SDL.h>
#include <gtest/gtest.h>
#include <langinfo.h>
#include <stdlib.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "backends/sdl/box_kinds.hpp"
#include "backends/sdl/input_box_view.hpp"
#include "backends/sdl/key_map.hpp"
#include "backends/sdl/line_edit.hpp"
#include "backends/sdl/sdl_canvas.hpp"
#include "backends/sdl/sdl_dialogs.hpp"
#include "backends/sdl/sdl_host.hpp"
#include "backends/sdl/select_cursor.hpp"
#include "backends/sdl/window_geometry.hpp"
#include "support/temp_dir.hpp"

namespace zarvo::platform {
namespace {

using test::sjis;

// ---- picture placement and pointer mapping ----

TEST(WindowGeometry, PointerMapsToStoryPixelsAtEachScale) {
    for (int scale : {1, 2, 3}) {
        SCOPED_TRACE(scale);
        Viewport v{0, 0, scale};
        StoryPoint p = mapWindowToStory(0, 0, v, 640, 480);
        EXPECT_TRUE(p.inside);
        EXPECT_EQ(p.x, 0);
        // The last window pixel of a story pixel still belongs to it.
        p = mapWindowToStory(10 * scale + scale - 1, 7 * scale + scale - 1, v, 640, 480);
        EXPECT_TRUE(p.inside);
        EXPECT_EQ(p.x, 10);
        EXPECT_EQ(p.y, 7);
        p = mapWindowToStory(640 * scale - 1, 480 * scale - 1, v, 640, 480);
        EXPECT_TRUE(p.inside);
        EXPECT_EQ(p.x, 639);
        EXPECT_EQ(p.y, 479);
        EXPECT_FALSE(mapWindowToStory(640 * scale, 0, v, 640, 480).inside);
        EXPECT_FALSE(mapWindowToStory(0, 480 * scale, v, 640, 480).inside);
        // Just left of or above the picture: truncating division would call this pixel 0.
        EXPECT_FALSE(mapWindowToStory(-1, 5, v, 640, 480).inside);
        EXPECT_FALSE(mapWindowToStory(5, -1, v, 640, 480).inside);
    }
}

TEST(WindowGeometry, FullScreenCentresThePictureAndMapsThroughTheBorder) {
    // 640x480 on 1920x1080: factor 2, 320 pixels of border left and right, 60 above and below.
    Viewport v = fitPicture(1920, 1080, 640, 480, 0);
    EXPECT_EQ(v.scale, 2);
    EXPECT_EQ(v.x, 320);
    EXPECT_EQ(v.y, 60);
    EXPECT_FALSE(mapWindowToStory(319, 500, v, 640, 480).inside);
    EXPECT_FALSE(mapWindowToStory(1000, 59, v, 640, 480).inside);
    StoryPoint p = mapWindowToStory(321, 61, v, 640, 480);
    EXPECT_TRUE(p.inside);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    p = mapWindowToStory(320 + 1279, 60 + 959, v, 640, 480);
    EXPECT_EQ(p.x, 639);
    EXPECT_EQ(p.y, 479);
    EXPECT_FALSE(mapWindowToStory(320 + 1280, 500, v, 640, 480).inside);

    // A fixed factor in a window of exactly that size has no border.
    v = fitPicture(1920, 1440, 640, 480, 3);
    EXPECT_EQ(v.x, 0);
    EXPECT_EQ(v.y, 0);
    // A picture larger than the display is drawn at 1 and cropped evenly.
    v = fitPicture(800, 600, 1024, 768, 0);
    EXPECT_EQ(v.scale, 1);
    EXPECT_EQ(v.x, -112);
    EXPECT_EQ(v.y, -84);
}

TEST(WindowGeometry, KeptWindowComesBackOntoTheDisplayItOverlapsMost) {
    const std::vector<Rect> displays{{0, 0, 1920, 1040}, {1920, 0, 1280, 1024}};
    const Frame frame{30, 2, 2, 2};
    // On the screen already: untouched.
    EXPECT_EQ(keepOnDisplay({100, 100, 800, 600}, frame, displays), (Rect{100, 100, 800, 600}));
    // Mostly on the second display, its right edge past it: moved left, frame included.
    EXPECT_EQ(keepOnDisplay({2800, 500, 800, 600}, frame, displays),
              (Rect{1920 + 1280 - 802, 422, 800, 600}));
    // On a display since removed (far right) and too large: the first display, shrunk.
    EXPECT_EQ(keepOnDisplay({5000, 0, 4000, 3000}, frame, displays), (Rect{2, 30, 1916, 1008}));
    // Absurd values from a damaged file neither overflow nor leave the display.
    EXPECT_EQ(keepOnDisplay({INT32_MIN, INT32_MAX, INT32_MAX, -5}, {}, displays),
              (Rect{0, 1039, 1920, 1}));
}

TEST(WindowGeometry, AutomaticScaleIsTheLargestThatFits) {
    EXPECT_EQ(chooseScale(640, 480, 1366 - 16, 768 - 64), 1);
    EXPECT_EQ(chooseScale(640, 480, 1920 - 16, 1040 - 64), 2);
    EXPECT_EQ(chooseScale(640, 480, 2560 - 16, 1440 - 64), 2);  // 3 x 480 = 1440 is too tall
    EXPECT_EQ(chooseScale(640, 480, 3840 - 16, 2160 - 64), 4);
    EXPECT_EQ(chooseScale(640, 480, 3840 - 16, 2160 - 64, 3), 3);
    EXPECT_EQ(chooseScale(320, 240, 7680, 4320), 4);  // never above the limit
    EXPECT_EQ(chooseScale(2000, 2000, 1920, 1080), 1);
    EXPECT_EQ(chooseScale(0, 480, 1920, 1080), 1);
    EXPECT_EQ(chooseScale(1 << 30, 1 << 30, 1920, 1080), 1);  // no overflow into "fits"
}

// ---- keys ----

TEST(KeyMap, KeysGetTheWindowsCodesThePlayerTests) {
    EXPECT_EQ(virtualKeyOf(SDLK_SPACE), 32);
    EXPECT_EQ(virtualKeyOf(SDLK_RETURN), 13);
    EXPECT_EQ(virtualKeyOf(SDLK_KP_ENTER), 13);
    EXPECT_EQ(virtualKeyOf(SDLK_ESCAPE), 27);
    EXPECT_EQ(virtualKeyOf(SDLK_a), 'A');
    EXPECT_EQ(virtualKeyOf(SDLK_z), 'Z');
    EXPECT_EQ(virtualKeyOf(SDLK_0), '0');
    EXPECT_EQ(virtualKeyOf(SDLK_9), '9');
    EXPECT_EQ(virtualKeyOf(SDLK_KP_9), 105);
    EXPECT_EQ(virtualKeyOf(SDLK_F12), 123);
    EXPECT_EQ(virtualKeyOf(SDLK_VOLUMEUP), 0);
}

// ---- message boxes ----

TEST(BoxKinds, EachKindHasItsButtonsAndASafeCloseAnswer) {
    using A = BoxAnswer;
    struct Case {
        BoxKind kind;
        BoxIcon icon;
        std::vector<A> buttons;
        A onClose;
    };
    const Case cases[] = {
        {BoxKind::ErrorOk, BoxIcon::Error, {A::Ok}, A::Ok},
        {BoxKind::ErrorAbortIgnore, BoxIcon::Error, {A::Abort, A::Ignore}, A::Ignore},
        {BoxKind::WarningYesNo, BoxIcon::Warning, {A::Yes, A::No}, A::No},
        {BoxKind::WarningAbortIgnore, BoxIcon::Warning, {A::Abort, A::Ignore}, A::Ignore},
        {BoxKind::WarningOk, BoxIcon::Warning, {A::Ok}, A::Ok},
        {BoxKind::InformationOk, BoxIcon::Information, {A::Ok}, A::Ok},
        {BoxKind::Plain, BoxIcon::None, {A::Ok}, A::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(boxKindName(c.kind)));
        BoxLayout l = boxLayout(c.kind);
        EXPECT_EQ(l.icon, c.icon);
        EXPECT_EQ(l.buttons, c.buttons);
        EXPECT_EQ(l.onClose, c.onClose);
        for (A a : l.buttons) EXPECT_FALSE(buttonLabel(a).empty());
        EXPECT_FALSE(boxTitle(c.kind).empty());
    }
    EXPECT_EQ(buttonLabel(A::Yes), sjis("はい"));
    EXPECT_EQ(buttonLabel(A::Ignore), sjis("無視"));
}

TEST(BoxKinds, TextBecomesUtf8WithPlainLineBreaks) {
    EXPECT_EQ(boxTextUtf8(sjis("ブロック構文エラー\r\nＩＦ\rＥＬＳＥ\n終")),
              "ブロック構文エラー\nＩＦ\nＥＬＳＥ\n終");
    EXPECT_EQ(boxTextUtf8(sjis("ソ\r\n")), "ソ\n");  // trail byte 0x5C stays part of its character
    EXPECT_EQ(boxTextUtf8("a\r\n\r\nb"), "a\n\nb");
    EXPECT_EQ(boxTextUtf8("\x82"), "\xEF\xBF\xBD");  // a lone lead byte is shown, not dropped
}

// ---- the edit field and the checks on typed text ----

TEST(LineEdit, BackspaceAndDeleteRemoveWholeCharacters) {
    LineEdit e("aあ😀b");
    EXPECT_FALSE(e.edited());
    e.backspace();
    EXPECT_EQ(e.text(), "aあ😀");
    e.backspace();
    EXPECT_EQ(e.text(), "aあ");
    e.backspace();
    EXPECT_EQ(e.text(), "a");
    e.backspace();
    e.backspace();
    EXPECT_EQ(e.text(), "");
    EXPECT_EQ(e.caret(), 0u);
    EXPECT_TRUE(e.edited());

    LineEdit f("漢字かな");
    f.home();
    f.right();
    f.deleteForward();
    EXPECT_EQ(f.text(), "漢かな");
    f.end();
    f.left();
    f.insert("の");
    EXPECT_EQ(f.text(), "漢かのな");
    f.right();
    f.right();  // past the end stays at the end
    EXPECT_EQ(f.caret(), f.text().size());
    f.deleteForward();
    EXPECT_EQ(f.text(), "漢かのな");
}

TEST(LineEdit, InsertKeepsOneLineAndWholeCharactersWithinTheLimit) {
    LineEdit e;
    e.insert("名前\r\n\tです\x7F");
    EXPECT_EQ(e.text(), "名前です");
    LineEdit full(std::string(LineEdit::kMaxBytes - 2, 'x'));
    full.insert("ああ");  // three bytes each: neither fits in the two left
    EXPECT_EQ(full.text().size(), LineEdit::kMaxBytes - 2);
    full.insert("ab");
    EXPECT_EQ(full.text().size(), LineEdit::kMaxBytes);
    EXPECT_EQ(full.text().substr(full.text().size() - 2), "ab");
}

TEST(LineEdit, BrokenUtf8StepsOneByteAtATime) {
    std::string s = "a\xE3\x81z";  // a three-byte lead with only one continuation byte
    EXPECT_EQ(nextCharEnd(s, 1), 2u);
    EXPECT_EQ(previousCharStart(s, 3), 2u);
    LineEdit e(s);
    e.backspace();
    e.backspace();
    e.backspace();
    EXPECT_EQ(e.text(), "a");
}

TEST(InputConversion, JapaneseConvertsAndUnusableCharactersAreRefused) {
    InputConversion c = convertInput("山田 太郎〜ABC");
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.sjis, sjis("山田 太郎〜ABC"));
    c = convertInput("");
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.sjis, "");

    c = convertInput("名前😀です");
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.badChar, "😀");
    EXPECT_TRUE(c.sjis.empty());  // nothing half-converted to store by mistake
    c = convertInput("あ한글");
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.badChar, "한");
    c = convertInput("ab\xFF");
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.badChar, "\xFF");

    EXPECT_EQ(characterName("😀"), "U+1F600");
    EXPECT_EQ(characterName("한"), "U+D55C");
    EXPECT_EQ(characterName("é"), "U+00E9");
    EXPECT_EQ(characterName("\xFF"), "0xFF");

    EXPECT_EQ(displaySjis("あ😀い"), sjis("あ?い"));
    EXPECT_EQ(displaySjis("ok"), "ok");
}

// ---- cursor and input box layout ----

TEST(SelectCursor, HandIsAValidCursorPicture) {
    const CursorBitmap& c = selectCursorBitmap();
    EXPECT_EQ(c.width % 8, 0);
    EXPECT_LE(c.width, 32);
    EXPECT_LE(c.height, 32);
    EXPECT_EQ(c.data.size(), static_cast<size_t>(c.width / 8 * c.height));
    EXPECT_TRUE(c.blackAt(c.hotX, c.hotY));  // the hot spot is on the drawn tip
    // Black pixels only where the mask shows something.
    for (size_t i = 0; i < c.data.size(); ++i) EXPECT_EQ(c.data[i] & ~c.mask[i], 0);

    CursorBitmap t = cursorFromArt({"X.", " X", ".........X"}, 0, 0);
    EXPECT_EQ(t.width, 16);
    EXPECT_TRUE(t.blackAt(0, 0));
    EXPECT_TRUE(t.opaqueAt(1, 0) && !t.blackAt(1, 0));
    EXPECT_FALSE(t.opaqueAt(0, 1));
    EXPECT_TRUE(t.blackAt(9, 2));
    EXPECT_FALSE(t.opaqueAt(15, 2));
}

TEST(InputBoxLayout, PanelFitsEveryPictureAndKeepsItsPartsInside) {
    for (auto [w, h] : std::vector<std::pair<int, int>>{
             {640, 480}, {320, 240}, {1920, 1080}, {200, 80}, {1, 1}}) {
        for (int lines : {1, 3, 50}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " " + std::to_string(lines));
            InputBoxLayout l = inputBoxLayout(w, h, lines);
            EXPECT_GE(l.panel.x, 0);
            EXPECT_GE(l.panel.y, 0);
            EXPECT_LE(l.panel.x + l.panel.w, w);
            EXPECT_LE(l.panel.y + l.panel.h, h);
            if (w >= 320 && h >= 200) {
                for (const BoxRect& r :
                     {l.titleBar, l.prompt, l.field, l.okButton, l.cancelButton}) {
                    EXPECT_GE(r.x, 0);
                    EXPECT_LE(r.x + r.w, l.panel.w);
                    EXPECT_LE(r.y + r.h, l.panel.h);
                }
                EXPECT_LE(l.field.y + l.field.h, l.okButton.y);
                EXPECT_LE(l.okButton.x + l.okButton.w, l.cancelButton.x);
            }
        }
    }
}

// ---- the host and dialogs with SDL's display-less driver ----

// Every byte is a solid 6-pixel-wide block: where text lands can be checked without fonts.
class BlockFonts final : public FontEngine {
  public:
    StringList faces() override { return {}; }
    bool hasFace(std::string_view) override { return false; }
    TextExtent measure(const FontSpec& f, std::string_view t) override {
        return {static_cast<int>(t.size()) * 6, f.pixelHeight};
    }
    void draw(const FontSpec& f, std::string_view t, int x, int y, uint32_t colour,
              const GlyphTarget& g) override {
        int x0 = std::max(0, x), x1 = std::min(g.width, x + static_cast<int>(t.size()) * 6);
        int y0 = std::max(0, y), y1 = std::min(g.height, y + f.pixelHeight);
        for (int yy = y0; yy < y1; ++yy)
            for (int xx = x0; xx < x1; ++xx)
                g.pixels[static_cast<size_t>(yy) * g.stride + xx] = colour;
    }
};

TEST(InputBoxView, LongTextScrollsSoTheCaretStaysInTheField) {
    BlockFonts fonts;
    InputBoxView view(fonts, 640, 480, "caption", "prompt");
    const InputBoxLayout& l = view.layout();
    auto pixel = [&](int x, int y) {
        return view.pixels()[static_cast<size_t>(y) * l.panel.w + x];
    };
    int midY = l.field.y + l.field.h / 2;

    LineEdit edit("ab");
    view.draw(edit, "");
    EXPECT_EQ(pixel(l.field.x + 4, midY), 0x000000u);              // text at the left
    EXPECT_EQ(pixel(l.field.x + l.field.w - 6, midY), 0xFFFFFFu);  // empty field on the right

    edit.insert(std::string(200, 'x'));  // far wider than the field
    view.draw(edit, "");
    BoxRect caret = view.caret();
    EXPECT_GT(caret.w, 0);
    EXPECT_GE(caret.x, l.panel.x + l.field.x);
    EXPECT_LT(caret.x, l.panel.x + l.field.x + l.field.w);
    EXPECT_EQ(pixel(l.field.x + l.field.w - 6, midY), 0x000000u);  // the end is what shows
    // Nothing spills over the field's frame or the panel beside it.
    EXPECT_EQ(pixel(l.field.x + l.field.w - 1, midY), 0x7A7A7Au);
    EXPECT_EQ(pixel(l.field.x + l.field.w + 2, midY), 0xF0F0F0u);
    EXPECT_EQ(pixel(l.field.x - 2, midY), 0xF0F0F0u);

    // The input method's text is shown at the caret, before the rest of the line.
    LineEdit mid("abcd");
    mid.home();
    view.draw(mid, "ZZ");
    EXPECT_EQ(view.caret().x, l.panel.x + l.field.x + 3 + 12);
}

struct Received {
    std::vector<std::string> events;
    int ticks = 0;
};

class RecordingClient final : public HostClient {
  public:
    explicit RecordingClient(Received& r) : r_(r) {}
    std::function<void()> onTick;
    void onTimer() override {
        ++r_.ticks;
        if (onTick) onTick();
    }
    void onMouseDown(MouseButton b, int x, int y) override {
        const char* n = b == MouseButton::Left ? "left" : b == MouseButton::Right ? "right" : "mid";
        r_.events.push_back(std::string(n) + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void onMouseMove(int x, int y) override {
        r_.events.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    }
    void onKeyDown(int key) override { r_.events.push_back("key " + std::to_string(key)); }
    void onPadButton(PadButton button, bool down) override {
        r_.events.push_back(std::string(down ? "pad " : "padup ") +
                            std::to_string(static_cast<int>(button)));
    }
    void onPaint() override {}

  private:
    Received& r_;
};

class SdlWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Never a real display: CI has none, and a developer's desktop must not flash windows.
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        host = std::make_unique<SdlHost>(2);
        if (!host->ok()) GTEST_SKIP() << host->error();
        host->setClient(&client);
        SDL_Event ev;
        while (SDL_PollEvent(&ev)) {
        }
    }
    void push(SDL_Event ev) { ASSERT_EQ(SDL_PushEvent(&ev), 1); }
    void mouse(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
        SDL_Event ev{};
        ev.type = type;
        if (type == SDL_MOUSEMOTION) {
            ev.motion.windowID = SDL_GetWindowID(host->window());
            ev.motion.x = x;
            ev.motion.y = y;
        } else {
            ev.button.windowID = SDL_GetWindowID(host->window());
            ev.button.button = button;
            ev.button.x = x;
            ev.button.y = y;
        }
        push(ev);
    }
    void key(SDL_Keycode k, Uint16 mod = 0) {
        SDL_Event ev{};
        ev.type = SDL_KEYDOWN;
        ev.key.windowID = SDL_GetWindowID(host->window());
        ev.key.keysym.sym = k;
        ev.key.keysym.mod = mod;
        push(ev);
    }
    void text(const char* utf8) {
        SDL_Event ev{};
        ev.type = SDL_TEXTINPUT;
        ev.text.windowID = SDL_GetWindowID(host->window());
        SDL_strlcpy(ev.text.text, utf8, sizeof ev.text.text);
        push(ev);
    }
    void presentFrame(int w, int h) {
        std::vector<uint32_t> px(static_cast<size_t>(w) * h, 0x000000);
        px[0] = 0x123456;
        px[static_cast<size_t>(w) * h - 1] = 0xABCDEF;
        host->canvas().present(px.data(), w, h, w);
    }

    Received got;
    RecordingClient client{got};
    std::unique_ptr<SdlHost> host;
};

TEST_F(SdlWindowTest, FramesAreShownScaledWithTheirColours) {
    host->setClientSize(160, 120);
    EXPECT_TRUE(host->isShown());
    std::vector<uint32_t> px(160 * 120, 0x00FF00);
    px[0] = 0x123456;                // top-left story pixel
    px[160 * 119 + 159] = 0xFF0000;  // bottom-right
    std::vector<uint32_t> padded(200 * 120);
    for (int y = 0; y < 120; ++y) std::copy_n(&px[y * 160], 160, &padded[y * 200]);
    host->canvas().present(padded.data(), 160, 120, 200);  // rows longer than the picture

    std::vector<uint32_t> out;
    int w = 0, h = 0;
    ASSERT_TRUE(host->canvas().readBack(out, w, h));
    ASSERT_EQ(w, 320);
    ASSERT_EQ(h, 240);
    auto at = [&](int x, int y) { return out[static_cast<size_t>(y) * w + x] & 0xFFFFFF; };
    EXPECT_EQ(at(0, 0), 0x123456u);
    EXPECT_EQ(at(1, 1), 0x123456u);
    EXPECT_EQ(at(2, 0), 0x00FF00u);
    EXPECT_EQ(at(318, 238), 0xFF0000u);
    EXPECT_EQ(at(319, 239), 0xFF0000u);
    EXPECT_EQ(at(317, 239), 0x00FF00u);
}

TEST_F(SdlWindowTest, ResizedWindowKeepsTheAspectAndTheMouseMapsExactly) {
    // A 160 x 120 story with a red button at (41, 31) .. (80, 50) on white: at 1.5x its edges
    // fall in the middle of window pixels.
    host->setClientSize(160, 120);
    std::vector<uint32_t> px(160 * 120, 0xFFFFFF);
    for (int y = 31; y < 51; ++y)
        for (int x = 41; x < 81; ++x) px[static_cast<size_t>(y) * 160 + x] = 0xFF0000;
    host->canvas().present(px.data(), 160, 120, 160);
    struct Size {
        int w, h;
        WindowScaling scaling;
    };
    // 1x, 1.5x filtered smoothly and sharply, and 3x in a wider window (black bars left and
    // right).
    for (Size size : {Size{160, 120, WindowScaling::Whole}, Size{240, 180, WindowScaling::Smooth},
                      Size{240, 180, WindowScaling::Sharp}, Size{520, 360, WindowScaling::Sharp}}) {
        SCOPED_TRACE(size.w);
        host->setScaling(size.scaling);
        SDL_SetWindowSize(host->window(), size.w, size.h);
        host->processMessages();
        std::vector<uint32_t> out;
        int w = 0, h = 0;
        ASSERT_TRUE(host->canvas().readBack(out, w, h));
        ASSERT_EQ(w, size.w);
        const Viewport v = host->canvas().viewport();
        EXPECT_EQ(v.w * 120, v.h * 160);  // the aspect ratio kept
        EXPECT_EQ(v.x, (size.w - v.w) / 2);
        // No window pixel that maps onto the button shows the white around it, and none that maps
        // off it shows the button's red; smooth filtering blends the pixels across an edge.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                StoryPoint p = mapWindowToStory(x, y, v, 160, 120);
                bool onButton = p.inside && p.x >= 41 && p.x < 81 && p.y >= 31 && p.y < 51;
                uint32_t c = out[static_cast<size_t>(y) * w + x];
                bool red = ((c >> 16) & 0xFF) > 0xC0 && ((c >> 8) & 0xFF) < 0x40;
                bool white = ((c >> 8) & 0xFF) > 0xC0;
                ASSERT_FALSE(onButton ? white : red) << x << "," << y;
            }
        // A click on either corner's outermost window pixel hits the button's corner pixel.
        got.events.clear();
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                StoryPoint p = mapWindowToStory(x, y, v, 160, 120);
                if (p.inside && p.x == 41 && p.y == 31 && !x0) x0 = x, y0 = y;
                if (p.inside && p.x == 80 && p.y == 50) x1 = x, y1 = y;
            }
        mouse(SDL_MOUSEBUTTONDOWN, x0, y0);
        mouse(SDL_MOUSEBUTTONDOWN, x1, y1);
        mouse(SDL_MOUSEBUTTONDOWN, x0 - 1, y0);
        host->processMessages();
        EXPECT_EQ(got.events, (std::vector<std::string>{"left 41,31", "left 80,50", "left 40,31"}));
    }
}

TEST_F(SdlWindowTest, SharpScalingFillsTheWindowAndKeepsMorePixelsPureThanSmooth) {
    // One-pixel green stripes, the hardest picture to enlarge by 1.5, across red bands 7 rows
    // high.
    host->setClientSize(160, 120);
    std::vector<uint32_t> px(160 * 120);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = ((i % 160) % 2 ? 0x00FF00 : 0) | ((i / 160) / 7 % 2 ? 0xFF0000 : 0);
    host->canvas().present(px.data(), 160, 120, 160);
    SDL_SetWindowSize(host->window(), 240, 190);
    host->processMessages();
    auto pureShare = [&](WindowScaling scaling) {
        host->setScaling(scaling);
        std::vector<uint32_t> out;
        int w = 0, h = 0;
        EXPECT_TRUE(host->canvas().readBack(out, w, h));
        const Viewport v = host->canvas().viewport();
        int pure = 0;
        for (int x = v.x; x < v.x + v.w; ++x) {
            uint32_t g = (out[static_cast<size_t>(v.y + v.h / 2) * w + x] >> 8) & 0xFF;
            pure += g < 0x10 || g > 0xF0;
        }
        return static_cast<double>(pure) / std::max(1, v.w);
    };
    const double smooth = pureShare(WindowScaling::Smooth);
    const double sharp = pureShare(WindowScaling::Sharp);
    EXPECT_EQ(host->canvas().viewport().w, 240);  // no black bars at the sides
    EXPECT_GT(sharp, 0.6);
    EXPECT_GT(sharp, smooth + 0.3);
    // Sharp at 1.25 is the picture enlarged twice with square pixels, then filtered linearly
    // down to the viewport: every output pixel within 2 of that in each channel.
    host->setScaling(WindowScaling::Sharp);
    SDL_SetWindowSize(host->window(), 200, 150);
    host->processMessages();
    std::vector<uint32_t> out;
    int w = 0, h = 0;
    ASSERT_TRUE(host->canvas().readBack(out, w, h));
    const Viewport v = host->canvas().viewport();
    ASSERT_EQ(v.w, 200);
    auto sample = [](int o, int outSize, int inSize, int& s0, int& s1) {
        double pos = std::clamp((o + 0.5) * 2 * inSize / outSize - 0.5, 0.0, 2.0 * inSize - 1);
        int i0 = static_cast<int>(pos);
        s0 = i0 / 2, s1 = std::min(i0 + 1, 2 * inSize - 1) / 2;
        return pos - i0;
    };
    for (int y = 0; y < v.h; ++y)
        for (int x = 0; x < v.w; ++x) {
            int x0, x1, y0, y1;
            const double fx = sample(x, v.w, 160, x0, x1), fy = sample(y, v.h, 120, y0, y1);
            const uint32_t c = out[static_cast<size_t>(v.y + y) * w + v.x + x];
            for (int shift : {16, 8, 0}) {
                auto at = [&](int sx, int sy) { return (px[sy * 160 + sx] >> shift) & 0xFF; };
                const double want = (1 - fy) * ((1 - fx) * at(x0, y0) + fx * at(x1, y0)) +
                                    fy * ((1 - fx) * at(x0, y1) + fx * at(x1, y1));
                ASSERT_NEAR(static_cast<double>((c >> shift) & 0xFF), want, 2.0)
                    << x << "," << y << " shift " << shift;
            }
        }
    // A panel laid over it shows as well, pure inside.
    std::vector<uint32_t> panel(20 * 20, 0x0000FF);
    host->canvas().setOverlay(panel.data(), 20, 20, 20, 40, 40);
    ASSERT_TRUE(host->canvas().readBack(out, w, h));
    EXPECT_EQ(out[static_cast<size_t>(v.y + 62) * w + v.x + 62], 0x0000FFu);
    host->canvas().clearOverlay();
    EXPECT_EQ(pureShare(WindowScaling::Whole), 1.0);
    EXPECT_EQ(host->canvas().viewport().w, 160);
}

TEST_F(SdlWindowTest, InputReachesTheClientInStoryPixelsAndCloseTerminates) {
    host->setClientSize(320, 240);
    presentFrame(320, 240);
    mouse(SDL_MOUSEBUTTONDOWN, 21, 41);
    mouse(SDL_MOUSEBUTTONDOWN, 639, 479, SDL_BUTTON_RIGHT);
    mouse(SDL_MOUSEBUTTONDOWN, 640, 10);  // off the picture: dropped
    mouse(SDL_MOUSEBUTTONDOWN, 5, 5, SDL_BUTTON_X1);
    mouse(SDL_MOUSEMOTION, 100, 3);
    key(SDLK_RETURN);
    key(SDLK_KP_ENTER);
    key(SDLK_SPACE);
    key(SDLK_q);
    key(SDLK_VOLUMEUP);  // no code: dropped
    // Controller buttons, from whichever pad sent them; the guide button means nothing here.
    for (Uint8 b : {SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_DPAD_LEFT,
                    SDL_CONTROLLER_BUTTON_GUIDE}) {
        SDL_Event ev{};
        ev.type = SDL_CONTROLLERBUTTONDOWN;
        ev.cbutton.button = b;
        push(ev);
    }
    SDL_Event up{};
    up.type = SDL_CONTROLLERBUTTONUP;
    up.cbutton.button = SDL_CONTROLLER_BUTTON_RIGHTSHOULDER;
    push(up);
    host->processMessages();
    EXPECT_EQ(got.events, (std::vector<std::string>{"left 10,20", "right 319,239", "move 50,1",
                                                    "key 13", "key 13", "key 32", "key 81", "pad 4",
                                                    "pad 10", "padup 7"}));
    EXPECT_FALSE(host->isTerminating());

    SDL_Event ev{};
    ev.type = SDL_WINDOWEVENT;
    ev.window.windowID = SDL_GetWindowID(host->window());
    ev.window.event = SDL_WINDOWEVENT_CLOSE;
    push(ev);
    key(SDLK_SPACE);  // after the close: not delivered any more
    host->processMessages();
    EXPECT_TRUE(host->isTerminating());
    EXPECT_EQ(got.events.size(), 10u);
}

TEST_F(SdlWindowTest, RunDeliversTimerTicksUntilTerminated) {
    host->setClientSize(64, 48);
    client.onTick = [&] {
        if (got.ticks == 3) host->terminate();
    };
    host->setTimerEnabled(true);
    uint32_t start = SDL_GetTicks();
    host->run();
    uint32_t took = SDL_GetTicks() - start;
    EXPECT_EQ(got.ticks, 3);
    EXPECT_GE(took, 3 * SdlHost::kTimerInterval - 5);
    EXPECT_LT(took, 3 * SdlHost::kTimerInterval + 1000);

    // With the timer off, processing messages delivers none.
    Received none;
    RecordingClient quiet(none);
    host->setClient(&quiet);
    host->setTimerEnabled(false);
    SDL_Delay(250);
    host->processMessages();
    EXPECT_EQ(none.ticks, 0);
}

TEST_F(SdlWindowTest, FullScreenSwitchesOnceAndBackToTheWindowsOwnSizeAndPlace) {
    host->setClientSize(64, 48);
    SDL_SetWindowSize(host->window(), 300, 200);  // as the reader left it
    host->setWindowPosition(40, 30);
    EXPECT_TRUE(host->setFullScreen(true));
    EXPECT_TRUE(host->isFullScreen());
    EXPECT_TRUE(host->setFullScreen(true));
    // What is kept for the next run is the window's own size and place, not the screen's.
    int w = 0, h = 0, x = 0, y = 0;
    EXPECT_TRUE(host->windowSize(w, h));
    host->windowPosition(x, y);
    EXPECT_EQ(std::vector<int>({w, h, x, y}), std::vector<int>({300, 200, 40, 30}));
    EXPECT_TRUE(host->setFullScreen(false));
    EXPECT_FALSE(host->isFullScreen());
    SDL_GetWindowSize(host->window(), &w, &h);
    SDL_GetWindowPosition(host->window(), &x, &y);
    EXPECT_EQ(std::vector<int>({w, h, x, y}), std::vector<int>({300, 200, 40, 30}));

    // A size and place kept from a larger desktop come back onto this one's usable area.
    SDL_Rect usable;
    ASSERT_EQ(SDL_GetDisplayUsableBounds(0, &usable), 0);
    SDL_SetWindowSize(host->window(), usable.w + 500, 99999);
    host->setWindowPosition(usable.x + usable.w + 2000, -70000);
    SDL_GetWindowSize(host->window(), &w, &h);
    SDL_GetWindowPosition(host->window(), &x, &y);
    EXPECT_EQ(std::vector<int>({w, h, x, y}),
              std::vector<int>({usable.w, usable.h, usable.x, usable.y}));
}

class SdlInputBoxTest : public SdlWindowTest {
  protected:
    void SetUp() override {
        SdlWindowTest::SetUp();
        if (IsSkipped()) return;
        host->setClientSize(320, 240);
        presentFrame(320, 240);
        dialogs = std::make_unique<SdlDialogs>(*host, fonts);
        dialogs->messageHook = [this](BoxKind kind, const std::string& text) {
            boxes.push_back(std::string(boxKindName(kind)) + ": " + text);
            return boxLayout(kind).onClose;
        };
    }
    BlockFonts fonts;
    std::unique_ptr<SdlDialogs> dialogs;
    std::vector<std::string> boxes;
};

// Under the C locale the desktop's box had no Japanese glyphs and came up blank: it is shown in
// a UTF-8 locale, with the reader's English line under the story's text, and the program's
// environment is as it was afterwards.
TEST_F(SdlInputBoxTest, BoxIsShownInAUtf8LocaleWithTheReadersLineUnderItsText) {
    const char* lang = std::getenv("LANG");
    const std::string savedLang = lang ? lang : "";
    setenv("LANG", "C", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_CTYPE");
    std::string codeset;
    dialogs->messageHook = [&](BoxKind kind, const std::string& text) {
        const std::string own = std::setlocale(LC_CTYPE, nullptr);
        if (std::setlocale(LC_CTYPE, "")) codeset = nl_langinfo(CODESET);
        std::setlocale(LC_CTYPE, own.c_str());
        boxes.push_back(std::string(boxKindName(kind)) + ": " + text);
        return BoxAnswer::Ok;
    };
    dialogs->showMessageWithNote(BoxKind::ErrorOk, sjis("a.zp7が見つかりません"),
                                 "The story file was not found: a.zp7");
    EXPECT_EQ(codeset, "UTF-8");
    EXPECT_EQ(std::getenv("LC_ALL"), nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "error: a.zp7が見つかりません\n\nThe story file was not found: a.zp7");
    if (lang)
        setenv("LANG", savedLang.c_str(), 1);
    else
        unsetenv("LANG");
}

TEST_F(SdlInputBoxTest, TypedJapaneseIsReturnedInCodePage932) {
    std::string value = sjis("前");
    dialogs->inputBoxOpened = [&] {
        key(SDLK_BACKSPACE);
        text("山田");
        text("太郎");
        key(SDLK_LEFT);
        key(SDLK_BACKSPACE);  // removes 太, one character of three bytes
        key(SDLK_RETURN);
    };
    EXPECT_TRUE(dialogs->inputBox(sjis("名前"), sjis("名前を入れてください"), value));
    EXPECT_EQ(value, sjis("山田郎"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SdlInputBoxTest, KeysQueuedForTheStoryDoNotReachTheBox) {
    // A held Enter or a Space that skipped text is still queued when the command opens the box.
    key(SDLK_RETURN);
    text(" ");
    key(SDLK_SPACE);
    std::string value = sjis("名");
    dialogs->inputBoxOpened = [&] {
        text("x");
        key(SDLK_RETURN);
    };
    EXPECT_TRUE(dialogs->inputBox("", "", value));
    EXPECT_EQ(value, sjis("名x"));
}

TEST_F(SdlInputBoxTest, UnusableCharacterIsRefusedAndTheBoxStaysOpen) {
    std::string value = sjis("元");
    dialogs->inputBoxOpened = [&] {
        text("あ😀");
        key(SDLK_RETURN);  // refused: a message, the box stays
    };
    dialogs->messageHook = [&](BoxKind kind, const std::string& text) {
        boxes.push_back(std::string(boxKindName(kind)) + ": " + text);
        key(SDLK_BACKSPACE);  // the whole emoji goes
        this->text("い");
        key(SDLK_RETURN);
        return BoxAnswer::Ok;
    };
    EXPECT_TRUE(dialogs->inputBox("", "", value));
    EXPECT_EQ(value, sjis("元あい"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("warning: ", 0), 0u);
    EXPECT_NE(boxes[0].find("「😀」(U+1F600)"), std::string::npos) << boxes[0];

    dialogs->inputBoxOpened = [&] {
        text("한");
        key(SDLK_RETURN);
    };
    dialogs->messageHook = [&](BoxKind kind, const std::string& text) {
        boxes.push_back(std::string(boxKindName(kind)) + ": " + text);
        key(SDLK_ESCAPE);  // giving up keeps the old value
        return BoxAnswer::Ok;
    };
    EXPECT_FALSE(dialogs->inputBox("", "", value));
    EXPECT_EQ(value, sjis("元あい"));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[1].find("U+D55C"), std::string::npos) << boxes[1];
}

TEST_F(SdlInputBoxTest, ButtonsAnswerAndUntouchedTextComesBackByteForByte) {
    // A value with a byte pair that has no Unicode form survives an unchanged OK.
    std::string odd = std::string("x") + "\x85\x40";
    std::string value = odd;
    InputBoxLayout l = inputBoxLayout(320, 240, 1);
    int okX = (l.panel.x + l.okButton.x + 3) * 2, okY = (l.panel.y + l.okButton.y + 3) * 2;
    int cancelX = (l.panel.x + l.cancelButton.x + 3) * 2;
    dialogs->inputBoxOpened = [&] { mouse(SDL_MOUSEBUTTONDOWN, okX, okY); };
    EXPECT_TRUE(dialogs->inputBox("", "", value));
    EXPECT_EQ(value, odd);

    dialogs->inputBoxOpened = [&] {
        text("new");
        mouse(SDL_MOUSEBUTTONDOWN, 2, 2);  // outside the panel: nothing
        mouse(SDL_MOUSEBUTTONDOWN, cancelX, okY);
    };
    EXPECT_FALSE(dialogs->inputBox("", "", value));
    EXPECT_EQ(value, odd);

    // Closing the window while the box is open cancels it and ends the program.
    dialogs->inputBoxOpened = [&] {
        text("z");
        SDL_Event ev{};
        ev.type = SDL_WINDOWEVENT;
        ev.window.windowID = SDL_GetWindowID(host->window());
        ev.window.event = SDL_WINDOWEVENT_CLOSE;
        push(ev);
    };
    EXPECT_FALSE(dialogs->inputBox("", "", value));
    EXPECT_TRUE(host->isTerminating());
    EXPECT_EQ(value, odd);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SdlWindowTest, InputBoxBeforeAnyFrameIsStillShown) {
    // A story may ask for input before it has drawn anything.
    host->setClientSize(320, 240);
    BlockFonts fonts;
    SdlDialogs dialogs(*host, fonts);
    uint32_t centre = 0;
    dialogs.inputBoxOpened = [&] {
        std::vector<uint32_t> out;
        int w = 0, h = 0;
        ASSERT_TRUE(host->canvas().readBack(out, w, h));
        ASSERT_EQ(w, 640);
        InputBoxLayout l = inputBoxLayout(320, 240, 1);
        int y = (l.panel.y + l.prompt.y - 3) * 2;  // face colour between title and prompt
        centre = out[static_cast<size_t>(y) * w + w / 2] & 0xFFFFFF;
        key(SDLK_ESCAPE);
    };
    std::string value = "v";
    EXPECT_FALSE(dialogs.inputBox("", "", value));
    EXPECT_EQ(centre, 0xF0F0F0u);
}

TEST_F(SdlInputBoxTest, MessageBoxWithoutADesktopGivesTheSafeAnswerAndDropsInput) {
    // No desktop to show it on (and none reachable): the box cannot appear.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    dialogs->messageHook = nullptr;
    mouse(SDL_MOUSEBUTTONDOWN, 10, 10);
    EXPECT_EQ(dialogs->showMessage(BoxKind::WarningYesNo, sjis("よろしいですか？")), BoxAnswer::No);
    EXPECT_EQ(dialogs->showMessage(BoxKind::ErrorAbortIgnore, "x"), BoxAnswer::Ignore);
    host->processMessages();
    EXPECT_TRUE(got.events.empty());  // the click made while the box was up is not the story's
}

}  // namespace
}  // namespace zarvo::platform
