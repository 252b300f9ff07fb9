// Where the player keeps what belongs to the user rather than to a story, by the XDG base
// directory rules: settings under $XDG_CONFIG_HOME (default ~/.config), what the player learns
// while reading (read messages) under $XDG_DATA_HOME (default ~/.local/share), each in a folder
// "zarvoplay". Empty when neither the variable nor HOME gives an absolute path. The reader's
// pictures folder (screenshots) is $XDG_PICTURES_DIR, else the one user-dirs.dirs names, else
// ~/Pictures.
#pragma once
#include <string>

namespace zarvo::platform {

std::string userConfigDir();
std::string userDataDir();
std::string userPicturesDir();

}  // namespace zarvo::platform
