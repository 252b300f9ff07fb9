#include "support/player.hpp"

#include "base/sjis.hpp"

namespace zarvo::test {

TestPlayer::TestPlayer(const std::string& project, const std::string& programDir,
                       std::vector<platform::HeadlessEvent> events,
                       platform::FileSystem* fileSystem, const std::string& readerFolder)
    : host(clock, dialogs, std::move(events)), players(clock) {
    main_ = std::make_unique<Player>(
        Player::Services{host, clock, dialogs, fileSystem ? *fileSystem : files, &fonts, &canvas,
                         &players},
        programDir);
    host.setClient(main_.get());
    main_->useReaderDataFolder(readerFolder);
    main_->open(project, programDir);
    main_->show();
    main_->activate();
}

TestPlayer::~TestPlayer() {
    host.setClient(nullptr);
    main_.reset();
}

std::string TestPlayer::position() {
    Execution& c = execution();
    return sjisToUtf8(c.bookName()) + "/" + sjisToUtf8(c.pageName()) + "#" +
           std::to_string(execution().nextIndex());
}

}  // namespace zarvo::test
