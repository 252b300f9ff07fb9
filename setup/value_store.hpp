// A registry-like settings store kept as plain files below a root folder, so that any program
// can read it without a library: the key "A\B\C\D" is the file ROOT/A/B/C/D and each value in it
// is one line NAME=DATA.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace zarvo::setup {

// The file that holds the values of `key` (components separated by backslashes); empty when
// the key has no usable component or would leave the root ("." or "..").
std::filesystem::path keyFile(const std::filesystem::path& root, std::string_view key);

// `contents` with NAME=DATA set: the first line of that name (ASCII letter case and blanks
// around the name ignored) is replaced and later ones dropped; otherwise the line is appended.
// Every other line keeps its bytes; a file written with CR LF gets a CR LF line.
std::string withValue(std::string_view contents, std::string_view name, std::string_view data);

// Creates the key's folders and sets the value in its file, replacing the file atomically so
// that a failure leaves the previous file as it was. False with a reason on any failure,
// including data that a line cannot hold.
bool setStringValue(const std::filesystem::path& root, std::string_view key, std::string_view name,
                    std::string_view data, std::string& why);

}  // namespace zarvo::setup
