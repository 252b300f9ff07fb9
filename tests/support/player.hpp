// A whole player on the headless host, held by a test: run it to a point, then look at and act
// on its controllers directly.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "backends/freetype/freetype_font_engine.hpp"
#include "backends/headless/frame_canvas.hpp"
#include "backends/headless/headless_host.hpp"
#include "backends/headless/silent_media_player.hpp"
#include "backends/posix/local_file_system.hpp"
#include "player/player.hpp"
#include "save/save_files.hpp"

namespace zarvo::test {

class TestPlayer {
  public:
    // Opens the project and shows the window; the story starts with the first run. The player
    // works on `fileSystem` when one is given (it must outlive the player), else on `files`;
    // `readerFolder` is the reader's data folder (none when empty).
    TestPlayer(const std::string& project, const std::string& programDir,
               std::vector<platform::HeadlessEvent> events = {},
               platform::FileSystem* fileSystem = nullptr, const std::string& readerFolder = {});
    ~TestPlayer();  // the shutdown sequence

    // Runs until the story waits for input only, ends, or `until` virtual ms have passed.
    platform::HeadlessHost::RunEnd run(uint32_t until = 60000) { return host.run(until); }

    Player& main() { return *main_; }
    SaveFiles& save() { return main_->saveSystem(); }
    Story& story() { return main_->story(); }
    Execution& execution() { return main_->execution(); }
    Variables& vars() { return main_->story().variables(); }
    // "BOOK/PAGE#INDEX" of the next command.
    std::string position();

    platform::VirtualClock clock;
    platform::RecordingDialogs dialogs;
    platform::LocalFileSystem files;
    platform::HeadlessHost host;
    platform::FrameCanvas canvas;
    platform::FreeTypeFontEngine fonts;
    platform::SilentMediaPlayerFactory players;

  private:
    std::unique_ptr<Player> main_;
};

}  // namespace zarvo::test
