// A save state's bytes into the state loader, on a running headless player. A state that is
// refused must leave the run exactly where and as it was (a state is checked in full before
// anything is touched); after one that is taken, a good state must still restore.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "player/player_state.hpp"
#include "save_story.hpp"
#include "support/player.hpp"

namespace {

using namespace zarvo;

struct Setup {
    test::StoryBuilder story;
    std::unique_ptr<test::TestPlayer> player;
    PlayerState good;
    std::string resumed;

    Setup() {
        std::string project = fuzz::writeSaveStory(story);
        std::filesystem::create_directories(story.dir.file("story"));
        player = std::make_unique<test::TestPlayer>(project, story.programDir);
        player->run();
        good = player->main().captureState();
        resumed = player->position();
        if (good.empty() || player->main().restoreState(good) != StateRefusal::None) std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    test::TestPlayer& p = *setup.player;
    const std::string where = p.position();
    const int32_t v = p.vars().getValueVar("v");
    const std::string s = p.vars().getTextVar("s");
    const std::vector<uint32_t> frame = p.canvas.frame();
    PlayerState state;
    if (!decodeState(std::string_view(reinterpret_cast<const char*>(data), size), state) ||
        p.main().restoreState(state) != StateRefusal::None) {
        if (p.position() != where || p.vars().getValueVar("v") != v ||
            p.vars().getTextVar("s") != s || p.canvas.frame() != frame)
            std::abort();
    } else if (p.main().restoreState(setup.good) != StateRefusal::None ||
               p.position() != setup.resumed || p.vars().getValueVar("v") != 5) {
        std::abort();
    }
    p.dialogs.clear();
    return 0;
}
