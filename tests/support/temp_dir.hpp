// Test helpers: a private temporary folder removed at the end of the test, and Shift_JIS from
// readable UTF-8 sources.
#pragma once
#include <string>
#include <string_view>

namespace zarvo::platform {
class FileSystem;
}

namespace zarvo::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

  private:
    std::string path_;
};

// Code page 932 bytes of a UTF-8 literal; aborts the test program on text with no such form.
std::string sjis(std::string_view utf8);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, std::string_view bytes);

// The machine's own file system, for tests that work in a TempDir.
platform::FileSystem& localFiles();

}  // namespace zarvo::test
