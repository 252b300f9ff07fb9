#include "support/png_files.hpp"

#include "backends/posix/local_file_system.hpp"
#include "formats/png.hpp"

namespace zarvo::test {

bool readPngFile(const std::string& path, Surface& surface) {
    std::string bytes;
    Picture picture;
    if (!platform::LocalFileSystem().readFile(path, bytes) ||
        decodePng(bytes, picture) != PngError::None)
        return false;
    surface.assignPicture(std::move(picture));
    return true;
}

bool writePngFile(const std::string& path, const Surface& surface) {
    std::string bytes;
    platform::LocalFileSystem files;
    return encodePng(surface.view(), bytes) && files.writeFile(path, bytes);
}

}  // namespace zarvo::test
