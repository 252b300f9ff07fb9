// The tool's message boxes: a desktop box when a display is there, else a line on stderr.
#pragma once
#include <string_view>

namespace zarvo::setup {

enum class NoticeKind { Error, Information };

inline constexpr std::string_view kCaption = "Zarvo 3 Runtime Setup";

// Shows `text` (UTF-8) with the tool's caption and an OK button and waits for it. With
// `allowWindow` false, or without a display, or when the box cannot open, the text goes to
// stderr as "CAPTION: TEXT".
void showNotice(NoticeKind kind, std::string_view text, bool allowWindow);

}  // namespace zarvo::setup
