#include "support/temp_dir.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "backends/posix/local_file_system.hpp"
#include "base/sjis.hpp"

namespace zarvo::test {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zarvo-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string sjis(std::string_view utf8) {
    std::string out;
    if (!utf8ToSjis(utf8, out)) {
        std::fprintf(stderr, "test text has no code page 932 form\n");
        std::abort();
    }
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

platform::FileSystem& localFiles() {
    static platform::LocalFileSystem files;
    return files;
}

}  // namespace zarvo::test
