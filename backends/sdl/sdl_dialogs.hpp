// Message boxes as desktop boxes over the main window, and the one-line input box drawn by the
// player in its own window (so Japanese text and the input method work the same everywhere).
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "platform/dialogs.hpp"
#include "platform/font_engine.hpp"

namespace zarvo::platform {

class SdlHost;

class SdlDialogs final : public Dialogs {
  public:
    SdlDialogs(SdlHost& host, FontEngine& fonts);

    // Shows the box and returns the button pressed; closing it gives the kind's safe answer
    // (boxLayout().onClose). When the desktop cannot show a box the text goes to stderr and the
    // safe answer is returned.
    BoxAnswer showMessage(BoxKind kind, std::string_view sjisText) override;
    BoxAnswer showMessageWithNote(BoxKind kind, std::string_view sjisText,
                                  std::string_view note) override;

    // Modal over the main window: typing (with the input method), Backspace/Delete remove whole
    // characters, Left/Right/Home/End move, Ctrl+V pastes; Enter or the OK button confirms,
    // Escape or Cancel cancels. Text that code page 932 cannot hold is refused with a message
    // and the box stays open. Confirming unchanged text gives `value` back byte for byte.
    bool inputBox(std::string_view caption, std::string_view prompt, std::string& value) override;

    // A box whose text is already UTF-8 (it may hold characters code page 932 has not).
    BoxAnswer showMessageUtf8(BoxKind kind, const std::string& utf8Text);

    // When set, boxes go here instead of the desktop (tests; the text is UTF-8 with LF breaks).
    std::function<BoxAnswer(BoxKind, const std::string&)> messageHook;
    // Called when the input box is ready for input (tests type into it from here).
    std::function<void()> inputBoxOpened;

  private:
    SdlHost& host_;
    FontEngine& fonts_;
};

}  // namespace zarvo::platform
