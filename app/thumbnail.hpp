// Previews of stories for file managers: the story's Opening picture, or else the first picture
// its start page draws, scaled down to fit a square. Nothing is written and nothing runs.
#pragma once
#include <cstdint>
#include <string>

#include "formats/picture.hpp"

namespace zarvo {

namespace platform {
class FileSystem;
}

// The picture scaled by area averages so that neither side exceeds `size`, keeping its aspect
// ratio; a picture that already fits is returned as it is. A mask is scaled alike.
Picture fitPicture(const Picture& picture, int32_t size);

// The story's preview as PNG bytes into `png`. False with the reason in `why` when the project
// cannot be opened, draws no picture that can be found, or the picture cannot be decoded.
// `files` is only read from.
bool renderThumbnail(platform::FileSystem& files, const std::string& projectPath,
                     const std::string& programDir, int32_t size, std::string& png,
                     std::string& why);

}  // namespace zarvo
