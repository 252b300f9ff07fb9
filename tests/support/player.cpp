#include "support/player.hpp"

#include "base/sjis.hpp"

namespace zarvo::test {

Player::Player(const std::string& project, const std::string& programDir,
               std::vector<platform::HeadlessEvent> events)
    : host(clock, dialogs, std::move(events)), players(clock) {
    main_ = std::make_unique<TfrmMain>(
        TfrmMain::Services{&host, &clock, &dialogs, &files, &fonts, &canvas, &players}, programDir);
    host.setClient(main_.get());
    main_->FormCreate(project, programDir);
    main_->FormShow();
    main_->activate();
}

Player::~Player() {
    host.setClient(nullptr);
    main_.reset();
}

std::string Player::position() {
    TCommandCtrl& c = access().commands();
    return sjisToUtf8(c.bookName()) + "/" + sjisToUtf8(c.pageName()) + "#" +
           std::to_string(access().commandIndex);
}

}  // namespace zarvo::test
