// Modal message boxes and the one-line input box. Texts are code page 932 bytes, as the player
// holds them; each host converts them for display.
#pragma once
#include <functional>
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
    // The same box with a line for a reader who does not read Japanese under its text (UTF-8;
    // empty: none). Only a window shows the line: traces see the text alone, as stories wrote it.
    virtual BoxAnswer showMessageWithNote(BoxKind kind, std::string_view text,
                                          std::string_view note) {
        (void)note;
        return showMessage(kind, text);
    }
    // Returns false on Cancel; on OK `value` holds the entered text.
    virtual bool inputBox(std::string_view caption, std::string_view prompt,
                          std::string& value) = 0;
};

// A message box as it was shown and answered.
struct ShownBox {
    BoxKind kind;
    std::string text;  // code page 932, as shown
    BoxAnswer answer;
    std::string note = {};  // the line for a reader of English under it, UTF-8
};

// Another host's dialogs, with every answer reported after the box closes (traces, records).
class ObservedDialogs final : public Dialogs {
  public:
    explicit ObservedDialogs(Dialogs& inner) : inner_(inner) {}

    std::function<void(const ShownBox&)> onShown;
    // An input box closed: with OK and its text (code page 932), or cancelled.
    std::function<void(bool ok, const std::string& text)> onInput;

    BoxAnswer showMessage(BoxKind kind, std::string_view text) override {
        BoxAnswer answer = inner_.showMessage(kind, text);
        if (onShown) onShown({kind, std::string(text), answer});
        return answer;
    }
    BoxAnswer showMessageWithNote(BoxKind kind, std::string_view text,
                                  std::string_view note) override {
        BoxAnswer answer = inner_.showMessageWithNote(kind, text, note);
        if (onShown) onShown({kind, std::string(text), answer, std::string(note)});
        return answer;
    }
    bool inputBox(std::string_view caption, std::string_view prompt, std::string& value) override {
        bool ok = inner_.inputBox(caption, prompt, value);
        if (onInput) onInput(ok, ok ? value : std::string());
        return ok;
    }

  private:
    Dialogs& inner_;
};

}  // namespace zarvo::platform
