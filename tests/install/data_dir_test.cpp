#include "data_dir.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.hpp"

namespace zarvo::test {
namespace {

TEST(PlayerDataDir, BesideTheProgramThenTheInstalledFolderElseTheProgramFolder) {
    TempDir dir;
    namespace fs = std::filesystem;
    std::string bin = dir.file("bin");
    std::string data = dir.file("lib/zarvoplay");
    fs::create_directories(bin);
    fs::create_directories(data);

    // Nothing anywhere: the program's folder, which the missing-library message names.
    EXPECT_EQ(playerDataDir(bin), bin);
    // An installed tree, wherever it was moved.
    writeFile(data + "/zarvoplay.zvl", "QZ7LIB");
    EXPECT_EQ(fs::path(playerDataDir(bin)), fs::path(data));
    // A library beside the program wins (a build folder, files copied together).
    writeFile(bin + "/zarvoplay.zvl", "QZ7LIB");
    EXPECT_EQ(playerDataDir(bin), bin);
    // A folder of that name is no library.
    fs::remove(bin + "/zarvoplay.zvl");
    fs::create_directories(bin + "/zarvoplay.zvl");
    EXPECT_EQ(fs::path(playerDataDir(bin)), fs::path(data));
}

}  // namespace
}  // namespace zarvo::test
