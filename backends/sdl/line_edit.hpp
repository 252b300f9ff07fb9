// The edit field of the input box and the checks on what was typed. Text is kept in UTF-8 while
// it is edited (what the desktop's text input delivers) and converted to code page 932 only
// when the user confirms it.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace zarvo::platform {

// Byte index where the UTF-8 character before `pos` starts (0 at the start).
size_t previousCharStart(std::string_view utf8, size_t pos);
// Byte index just after the UTF-8 character that starts at `pos` (size() at the end).
size_t nextCharEnd(std::string_view utf8, size_t pos);

// One line of text with a caret; every edit moves by whole characters, never by bytes.
class LineEdit {
  public:
    explicit LineEdit(std::string utf8 = {});

    const std::string& text() const { return text_; }
    size_t caret() const { return caret_; }  // byte index into text()
    // True once the text was changed by the user.
    bool edited() const { return edited_; }

    // Inserts at the caret; control characters (line breaks, tabs) are dropped, as a one-line
    // field has no use for them.
    void insert(std::string_view utf8);
    void backspace();
    void deleteForward();
    void left() { caret_ = previousCharStart(text_, caret_); }
    void right() { caret_ = nextCharEnd(text_, caret_); }
    void home() { caret_ = 0; }
    void end() { caret_ = text_.size(); }

    // Upper bound of the text, in bytes: a paste of a whole file stays a line.
    static constexpr size_t kMaxBytes = 4096;

  private:
    std::string text_;
    size_t caret_ = 0;
    bool edited_ = false;
};

struct InputConversion {
    bool ok = false;
    std::string sjis;     // the text in code page 932 when ok
    std::string badChar;  // otherwise the first character (UTF-8) that has no such form
};

// Converts confirmed text for the player. Text holding a character code page 932 cannot hold
// (an emoji, Hangul, a broken byte) is refused as a whole rather than stored damaged.
InputConversion convertInput(std::string_view utf8);

// How a refused character is named in the message, since the desktop may have no glyph for it:
// "U+1F600" for a character, "0xFF" for a byte that is not UTF-8.
std::string characterName(std::string_view utf8Char);

// The text as the field draws it: code page 932, with "?" for each character that has no such
// form (the user sees where the refused character is).
std::string displaySjis(std::string_view utf8);

}  // namespace zarvo::platform
