// Message boxes and the input box as dialogs of the page over the story's canvas: keyboard
// operable, read by screen readers, and typed into through the browser's own input methods.
// The player waits for the answer while the browser goes on.
#pragma once
#include "platform/dialogs.hpp"

namespace zarvo::platform {

class WebDialogs final : public Dialogs {
  public:
    BoxAnswer showMessage(BoxKind kind, std::string_view text) override;
    BoxAnswer showMessageWithNote(BoxKind kind, std::string_view text,
                                  std::string_view note) override;
    bool inputBox(std::string_view caption, std::string_view prompt, std::string& value) override;
};

}  // namespace zarvo::platform
