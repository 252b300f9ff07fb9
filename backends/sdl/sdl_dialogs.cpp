#include "backends/sdl/sdl_dialogs.hpp"

#include <SDL.h>
#include <langinfo.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "backends/sdl/box_kinds.hpp"
#include "backends/sdl/input_box_view.hpp"
#include "backends/sdl/line_edit.hpp"
#include "backends/sdl/sdl_canvas.hpp"
#include "backends/sdl/sdl_host.hpp"
#include "base/sjis.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::platform {
namespace {

// SDL's X11 box draws with a font set for the locale the environment names, which it sets for
// the box's run; under "C" or another locale that is not UTF-8 that set has no Japanese glyphs
// and a box of Japanese text comes up blank. For the box's run the environment names a UTF-8
// locale instead; the program's own locale is left as it was.
class Utf8LocaleForBox {
  public:
    Utf8LocaleForBox() {
        const std::string own = std::setlocale(LC_CTYPE, nullptr);
        const bool named = std::setlocale(LC_CTYPE, "") != nullptr;
        const bool utf8 = named && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
        std::setlocale(LC_CTYPE, own.c_str());
        if (utf8) return;
        if (const char* all = std::getenv("LC_ALL")) saved_ = all;
        changed_ = setenv("LC_ALL", "C.UTF-8", 1) == 0;
    }
    ~Utf8LocaleForBox() {
        if (!changed_) return;
        if (saved_)
            setenv("LC_ALL", saved_->c_str(), 1);
        else
            unsetenv("LC_ALL");
    }
    Utf8LocaleForBox(const Utf8LocaleForBox&) = delete;
    Utf8LocaleForBox& operator=(const Utf8LocaleForBox&) = delete;

  private:
    std::optional<std::string> saved_;
    bool changed_ = false;
};

}  // namespace

SdlDialogs::SdlDialogs(SdlHost& host, FontEngine& fonts) : host_(host), fonts_(fonts) {}

BoxAnswer SdlDialogs::showMessage(BoxKind kind, std::string_view sjisText) {
    return showMessageUtf8(kind, boxTextUtf8(sjisText));
}

BoxAnswer SdlDialogs::showMessageWithNote(BoxKind kind, std::string_view sjisText,
                                          std::string_view note) {
    std::string text = boxTextUtf8(sjisText);
    if (!note.empty()) text.append("\n\n").append(note);
    return showMessageUtf8(kind, text);
}

BoxAnswer SdlDialogs::showMessageUtf8(BoxKind kind, const std::string& utf8Text) {
    BoxLayout layout = boxLayout(kind);
    Utf8LocaleForBox locale;
    if (messageHook) return messageHook(kind, utf8Text);

    std::vector<std::string> labels;
    for (BoxAnswer a : layout.buttons) labels.push_back(sjisToUtf8(buttonLabel(a)));
    std::vector<SDL_MessageBoxButtonData> buttons;
    for (size_t i = 0; i < layout.buttons.size(); ++i) {
        uint32_t flags = 0;
        if (i == 0) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (layout.buttons[i] == layout.onClose) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        buttons.push_back({flags, static_cast<int>(i), labels[i].c_str()});
    }
    uint32_t flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    switch (layout.icon) {
        case BoxIcon::Error:
            flags |= SDL_MESSAGEBOX_ERROR;
            break;
        case BoxIcon::Warning:
            flags |= SDL_MESSAGEBOX_WARNING;
            break;
        case BoxIcon::Information:
            flags |= SDL_MESSAGEBOX_INFORMATION;
            break;
        case BoxIcon::None:
            break;
    }
    std::string title = sjisToUtf8(boxTitle(kind));
    SDL_MessageBoxData data{};
    data.flags = flags;
    data.window = host_.isShown() ? host_.window() : nullptr;
    data.title = title.c_str();
    data.message = utf8Text.c_str();
    data.numbuttons = static_cast<int>(buttons.size());
    data.buttons = buttons.data();

    // A click that opened the box must not keep the pointer captured by the main window.
    SDL_CaptureMouse(SDL_FALSE);
    int pressed = -1;
    int failed = SDL_ShowMessageBox(&data, &pressed);
    // Clicks and keys given to the main window while the box was up are not the story's; the
    // window could not repaint meanwhile, so the box's image may still be on it.
    host_.discardPendingInput();
    if (host_.isShown()) host_.canvas().redraw();
    if (failed != 0) {
        std::fprintf(stderr, "zarvoplay: box %s: %s\n", std::string(boxKindName(kind)).c_str(),
                     utf8Text.c_str());
        return layout.onClose;
    }
    if (pressed < 0 || pressed >= static_cast<int>(layout.buttons.size())) return layout.onClose;
    return layout.buttons[pressed];
}

bool SdlDialogs::inputBox(std::string_view caption, std::string_view prompt, std::string& value) {
    if (!host_.ok() || host_.isTerminating()) return false;
    SdlCanvas& canvas = host_.canvas();
    host_.show();
    int pictureW = canvas.pictureWidth() ? canvas.pictureWidth() : host_.clientWidth();
    int pictureH = canvas.pictureHeight() ? canvas.pictureHeight() : host_.clientHeight();
    InputBoxView view(fonts_, pictureW, pictureH, caption, prompt);
    const BoxRect& panel = view.layout().panel;
    LineEdit edit(sjisToUtf8(value));
    std::string composition;

    SDL_CaptureMouse(SDL_FALSE);
    // Keys pressed for the story before the box opened (a held Enter, a Space to skip text)
    // must not type into it or confirm it.
    host_.discardPendingInput();
    SDL_StartTextInput();
    bool done = false, accepted = false, dirty = false;

    auto refresh = [&] {
        view.draw(edit, composition);
        canvas.setOverlay(view.pixels().data(), panel.w, panel.h, panel.w, panel.x, panel.y);
        // The candidate window of the input method opens at the caret.
        Viewport v = canvas.viewport();
        BoxRect c = view.caret();
        // A fitted picture has a factor that is not whole; before the first frame it is whole.
        const int pw = canvas.pictureWidth(), ph = canvas.pictureHeight();
        auto sx = [&](int n) {
            return pw > 0 ? static_cast<int>(static_cast<long long>(n) * v.w / pw) : n * v.scale;
        };
        auto sy = [&](int n) {
            return ph > 0 ? static_cast<int>(static_cast<long long>(n) * v.h / ph) : n * v.scale;
        };
        SDL_Rect r{v.x + sx(c.x), v.y + sy(c.y), 1, std::max(1, sy(c.h))};
        SDL_SetTextInputRect(&r);
        dirty = false;
    };

    auto confirm = [&] {
        // Untouched text goes back as it came, even bytes that have no Unicode form.
        if (!edit.edited()) {
            accepted = done = true;
            return;
        }
        InputConversion conv = convertInput(edit.text());
        if (conv.ok) {
            value = conv.sjis;
            accepted = done = true;
            return;
        }
        std::string shown = conv.badChar;
        if (nextCharEnd(shown, 0) == 1 && static_cast<unsigned char>(shown[0]) >= 0x80)
            shown = "\xEF\xBF\xBD";  // a broken byte shows as U+FFFD
        showMessageUtf8(BoxKind::WarningOk, boxTextUtf8(texts::kInputCharUnusableBefore) + shown +
                                                boxTextUtf8(texts::kInputCharUnusableMiddle) + "(" +
                                                characterName(conv.badChar) + ")" +
                                                boxTextUtf8(texts::kInputCharUnusableAfter));
        dirty = true;
    };
    auto pasteClipboard = [&] {
        if (!SDL_HasClipboardText()) return;
        char* clip = SDL_GetClipboardText();
        if (clip) edit.insert(clip);
        SDL_free(clip);
    };

    refresh();
    if (inputBoxOpened) inputBoxOpened();
    while (!done) {
        if (dirty) refresh();
        SDL_Event ev;
        if (!SDL_WaitEventTimeout(&ev, 500)) continue;
        switch (ev.type) {
            case SDL_QUIT:
                host_.terminate();
                done = true;
                break;
            case SDL_WINDOWEVENT:
                if (ev.window.event == SDL_WINDOWEVENT_CLOSE) {
                    host_.terminate();
                    done = true;
                } else if (ev.window.event == SDL_WINDOWEVENT_EXPOSED ||
                           ev.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    canvas.redraw();
                }
                break;
            case SDL_RENDER_DEVICE_RESET:
                canvas.resetTextures();
                host_.paintClient();
                dirty = true;
                break;
            case SDL_TEXTINPUT:
                edit.insert(ev.text.text);
                composition.clear();
                dirty = true;
                break;
            case SDL_TEXTEDITING:
                composition = ev.edit.text;
                dirty = true;
                break;
            case SDL_TEXTEDITING_EXT:
                composition = ev.editExt.text ? ev.editExt.text : "";
                SDL_free(ev.editExt.text);
                dirty = true;
                break;
            case SDL_KEYDOWN: {
                // Keys pressed while the input method composes belong to it.
                if (!composition.empty()) break;
                SDL_Keycode k = ev.key.keysym.sym;
                bool ctrl = (ev.key.keysym.mod & KMOD_CTRL) != 0;
                bool shift = (ev.key.keysym.mod & KMOD_SHIFT) != 0;
                dirty = true;
                if (k == SDLK_RETURN || k == SDLK_KP_ENTER || k == SDLK_RETURN2)
                    confirm();
                else if (k == SDLK_ESCAPE)
                    done = true;
                else if (k == SDLK_BACKSPACE)
                    edit.backspace();
                else if (k == SDLK_DELETE)
                    edit.deleteForward();
                else if (k == SDLK_LEFT)
                    edit.left();
                else if (k == SDLK_RIGHT)
                    edit.right();
                else if (k == SDLK_HOME)
                    edit.home();
                else if (k == SDLK_END)
                    edit.end();
                else if ((ctrl && k == SDLK_v) || (shift && k == SDLK_INSERT))
                    pasteClipboard();
                else
                    dirty = false;
                break;
            }
            case SDL_MOUSEBUTTONDOWN: {
                if (ev.button.button != SDL_BUTTON_LEFT) break;
                StoryPoint p = host_.toStory(ev.button.x, ev.button.y);
                if (!p.inside) break;
                int x = p.x - panel.x, y = p.y - panel.y;
                if (view.layout().okButton.contains(x, y))
                    confirm();
                else if (view.layout().cancelButton.contains(x, y))
                    done = true;
                break;
            }
            default:
                break;
        }
    }
    SDL_StopTextInput();
    canvas.clearOverlay();
    return accepted;
}

}  // namespace zarvo::platform
