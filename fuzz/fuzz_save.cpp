// A whole save package into AutoLoad's checks, on a running headless player. A save that is
// refused must leave the story exactly where and as it was (a save is checked in full before
// anything is touched); after one that is taken, a good save must still load.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "save_story.hpp"
#include "support/player.hpp"

namespace {

using namespace zarvo;

struct Setup {
    test::StoryBuilder story;
    std::unique_ptr<test::TestPlayer> player;
    std::string good, input, resumed;

    Setup() {
        std::string project = fuzz::writeSaveStory(story);
        std::filesystem::create_directories(story.dir.file("story"));
        player = std::make_unique<test::TestPlayer>(project, story.programDir);
        player->run();
        good = player->save().saveFilePath("good.sav");
        input = player->save().saveFilePath("input.sav");
        // A loaded story resumes where the good save puts it; every later load must too.
        if (!player->save().autoSave(good) || !player->save().autoLoad(good)) std::abort();
        resumed = player->position();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    test::TestPlayer& p = *setup.player;
    test::writeFile(setup.input, std::string(reinterpret_cast<const char*>(data), size));
    const std::string where = p.position();
    const int32_t v = p.vars().getValueVar("v");
    const std::string s = p.vars().getTextVar("s");
    if (!p.save().autoLoad(setup.input)) {
        if (p.position() != where || p.vars().getValueVar("v") != v ||
            p.vars().getTextVar("s") != s) {
            std::abort();
        }
    } else if (!p.save().autoLoad(setup.good) || p.position() != setup.resumed ||
               p.vars().getValueVar("v") != 5) {
        std::abort();
    }
    p.dialogs.clear();
    return 0;
}
