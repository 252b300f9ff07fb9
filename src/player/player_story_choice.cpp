// Several stories found equally near the top of what the reader gave (a folder, an archive, a
// disc image): before any of them opens, the reader picks one from their titles, in the same
// menu as the settings (pointer, keys and game controller alike). Closing it without a choice
// ends the program.
#include "platform/host.hpp"
#include "player/player.hpp"
#include "player/settings_menu.hpp"
#include "story/story_finder.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

// The chooser's screen: no story has said its size yet.
constexpr int kChooserWidth = 640, kChooserHeight = 480;
constexpr uint32_t kChooserBackground = 0x101420;

}  // namespace

void Player::showStoryChooser() {
    std::vector<SettingsMenu::Row> rows;
    const std::vector<std::string> titles = storyTitles(services_.files, chooser_.stories);
    for (size_t i = 0; i < titles.size(); ++i)
        rows.push_back({titles[i], nullptr, [this, i](int) { storyChosen(i); }});
    const bool english = settings_.language() == MenuLanguage::English;
    auto chooser = std::make_unique<SettingsMenu>(
        std::string(english ? texts::kMenuChooseStoryEn : texts::kMenuChooseStory), std::move(rows),
        services_.fonts, parts_.story->systemFont);
    chooser->onOpenChange = [this](bool open) {
        tellPlayerEvent(open ? "chooser open" : "chooser close");
        // Closed with nothing chosen: there is no story to play.
        if (!open && choosingStory()) endProgram(false);
    };
    chooser_.menu = chooser.get();
    overlays_.add(std::move(chooser));

    chooser_.menu->open();
    showEmptyScreen(kChooserWidth, kChooserHeight, kChooserBackground);
}

void Player::storyChosen(size_t index) {
    if (index >= chooser_.stories.size()) return;
    const std::string path = chooser_.stories[index];
    chooser_.stories.clear();
    tellPlayerEvent("chosen " + path);
    chooser_.menu->close();
    openStory(path);
    keepReadMessages(chooser_.readFolder);
    keepSaveStates(chooser_.readFolder);
    if (endedByFatalError()) {
        services_.host.terminate();
        return;
    }
    show();
    activate();
}

}  // namespace zarvo
