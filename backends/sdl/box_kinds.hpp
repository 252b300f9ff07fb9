// What each kind of message box looks like on the desktop: its icon, its buttons in order, and
// the answer it gives when the user closes it without pressing a button.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialogs.hpp"

namespace zarvo::platform {

enum class BoxIcon { None, Error, Warning, Information };

struct BoxLayout {
    BoxIcon icon = BoxIcon::None;
    std::vector<BoxAnswer> buttons;  // left to right; the first one is the Enter default
    // Closing the box (or Escape) gives the answer that continues safely: Ignore rather than
    // Abort (which would end the program), No rather than Yes, otherwise OK. This differs on
    // purpose from the unanswered default of the headless host for yes/no boxes.
    BoxAnswer onClose = BoxAnswer::Ok;
};

BoxLayout boxLayout(BoxKind kind);

// Button label (code page 932, as the player's texts are kept).
std::string_view buttonLabel(BoxAnswer answer);

// Box title (code page 932): the kind's name, or the application's title for plain boxes.
std::string_view boxTitle(BoxKind kind);

// Message text for a desktop box: UTF-8 with every CR LF, lone CR and LF made one LF.
std::string boxTextUtf8(std::string_view sjisText);

}  // namespace zarvo::platform
