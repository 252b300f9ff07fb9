// Modal message boxes and the one-line input box. Texts are code page 932 bytes, as the player
// holds them; each host converts them for display.
#pragma once
#include <string>
#include <string_view>

namespace zarvo::platform {

enum class BoxKind {
    ErrorOk,             // broken or missing data
    ErrorAbortIgnore,    // risky continuation; Abort ends the program
    WarningYesNo,        // confirmation
    WarningAbortIgnore,  // incompatible save file
    WarningOk,
    InformationOk,
    Plain,  // developer texts beginning "debug"
};

enum class BoxAnswer { Ok, Cancel, Yes, No, Abort, Ignore };

// Short names used in traces and on stderr: "error", "error-abort-ignore", ...
std::string_view boxKindName(BoxKind kind);
std::string_view boxAnswerName(BoxAnswer answer);

// The answer a box gets when nobody answers it (the headless host): OK, Ignore or Yes.
BoxAnswer defaultAnswer(BoxKind kind);

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual BoxAnswer showMessage(BoxKind kind, std::string_view text) = 0;
    // Returns false on Cancel; on OK `value` holds the entered text.
    virtual bool inputBox(std::string_view caption, std::string_view prompt, std::string& value) = 0;
};

}  // namespace zarvo::platform
