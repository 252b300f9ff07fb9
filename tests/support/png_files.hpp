// PNG files on disk for tests: what the player wrote, and pictures a story is given.
#pragma once
#include <string>

#include "graphics/surface.hpp"

namespace zarvo::test {

// False, with the surface unchanged, when the file cannot be read or is no good PNG.
bool readPngFile(const std::string& path, Surface& surface);
// RGB, or RGBA with the mask as alpha; false when the file could not be written.
bool writePngFile(const std::string& path, const Surface& surface);

}  // namespace zarvo::test
