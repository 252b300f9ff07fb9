#include "backends/web/web_dialogs.hpp"

#include <emscripten.h>

#include <cstdlib>
#include <string>

#include "backends/sdl/box_kinds.hpp"
#include "backends/sdl/line_edit.hpp"
#include "base/sjis.hpp"
#include "zarvo/texts.hpp"

// The page's side is in web/page.js. A box takes its buttons as "answer:label" lines and returns
// the answer pressed; the input box returns the text (malloc'd UTF-8) or null for Cancel.
// clang-format off
EM_ASYNC_JS(int, zarvoShowBox, (const char* title, const char* text, const char* note,
                                const char* buttons, int onClose), {
    return await Module.page.showBox(UTF8ToString(title), UTF8ToString(text), UTF8ToString(note),
                                     UTF8ToString(buttons), onClose);
});
EM_ASYNC_JS(char*, zarvoInputBox, (const char* caption, const char* prompt, const char* value,
                                   const char* error, const char* ok, const char* cancel), {
    const text = await Module.page.inputBox(UTF8ToString(caption), UTF8ToString(prompt),
                                            UTF8ToString(value), UTF8ToString(error),
                                            UTF8ToString(ok), UTF8ToString(cancel));
    if (text === null) return 0;
    const size = lengthBytesUTF8(text) + 1;
    const out = _malloc(size);
    stringToUTF8(text, out, size);
    return out;
});
// clang-format on

namespace zarvo::platform {

BoxAnswer WebDialogs::showMessage(BoxKind kind, std::string_view text) {
    return showMessageWithNote(kind, text, {});
}

BoxAnswer WebDialogs::showMessageWithNote(BoxKind kind, std::string_view text,
                                          std::string_view note) {
    const BoxLayout layout = boxLayout(kind);
    std::string buttons;
    for (BoxAnswer answer : layout.buttons)
        buttons +=
            std::to_string(static_cast<int>(answer)) + ":" + sjisToUtf8(buttonLabel(answer)) + "\n";
    int answer =
        zarvoShowBox(sjisToUtf8(boxTitle(kind)).c_str(), boxTextUtf8(text).c_str(),
                     std::string(note).c_str(), buttons.c_str(), static_cast<int>(layout.onClose));
    if (answer < static_cast<int>(BoxAnswer::Ok) || answer > static_cast<int>(BoxAnswer::Ignore))
        return layout.onClose;
    return static_cast<BoxAnswer>(answer);
}

bool WebDialogs::inputBox(std::string_view caption, std::string_view prompt, std::string& value) {
    std::string text = sjisToUtf8(value);
    std::string error;
    const std::string ok = sjisToUtf8(buttonLabel(BoxAnswer::Ok));
    const std::string cancel = sjisToUtf8(buttonLabel(BoxAnswer::Cancel));
    for (;;) {
        char* typed = zarvoInputBox(sjisToUtf8(caption).c_str(), boxTextUtf8(prompt).c_str(),
                                    text.c_str(), error.c_str(), ok.c_str(), cancel.c_str());
        if (!typed) return false;
        text = typed;
        std::free(typed);
        // Text the story could not hold is refused whole, and the box stays open to mend it.
        InputConversion conv = convertInput(text);
        if (conv.ok) {
            value = std::move(conv.sjis);
            return true;
        }
        std::string shown = conv.badChar;
        if (nextCharEnd(shown, 0) == 1 && static_cast<unsigned char>(shown[0]) >= 0x80)
            shown = "\xEF\xBF\xBD";  // a broken byte shows as U+FFFD
        error = boxTextUtf8(texts::kInputCharUnusableBefore) + shown +
                boxTextUtf8(texts::kInputCharUnusableMiddle) + "(" + characterName(conv.badChar) +
                ")" + boxTextUtf8(texts::kInputCharUnusableAfter);
    }
}

}  // namespace zarvo::platform
