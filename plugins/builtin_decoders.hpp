// The JPEG and GIF plug-ins linked into the program, for builds where plug-ins cannot be loaded
// (the web build): the program registers them with the plug-in host at its start.
#pragma once

namespace zarvo {

void registerBuiltInDecoders();

}  // namespace zarvo
