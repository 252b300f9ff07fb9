// Where the player keeps what belongs to the user rather than to a story, by the XDG base
// directory rules: settings under $XDG_CONFIG_HOME (default ~/.config), what the player learns
// while reading (read messages) under $XDG_DATA_HOME (default ~/.local/share), each in a folder
// "zarvoplay". Empty when neither the variable nor HOME gives an absolute path.
#pragma once
#include <string>

namespace zarvo::platform {

std::string userConfigDir();
std::string userDataDir();

}  // namespace zarvo::platform
