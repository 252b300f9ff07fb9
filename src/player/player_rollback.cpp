// Rollback: the run's whole state kept at every message, and going back to any of them.
// Snapshots are taken where a message has just been laid out and is about to type (the step
// after its command), so going back plays it again exactly as it was first shown; they are
// only read from the run, so a run that never goes back computes and traces what it would
// without them.
#include <string>

#include "player/backlog.hpp"
#include "player/player.hpp"
#include "player/player_state.hpp"
#include "player/rollback_history.hpp"
#include "player/save_states.hpp"
#include "save/save_files.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

namespace {
// Pieces deflated on each timer tick (about a millisecond each): a changed full-screen picture
// is compressed within a second or two of reading, long before the next one as a rule.
constexpr size_t kPiecesPerTick = 8;
}  // namespace

void Player::noteRollback(const Command& command) {
    if (command.type == CommandType::MessageDraw) rollback_->snapshotDue = true;
    // A story that loads its save starts another run: the messages before it are not its past.
    if (command.type == CommandType::SaveCtrl &&
        command.choice(params::save_ctrl::kCommand, SaveCommand::Other) == SaveCommand::AutoLoad) {
        forgetRollback();
    }
}

void Player::forgetRollback() {
    rollback_->history.clear();
    rollback_->pictures.clear();
    rollback_->recorded = 0;
    rollback_->snapshotDue = false;
}

const RollbackHistory& Player::rollbackHistory() const {
    return rollback_->history;
}

void Player::takeRollbackSnapshot() {
    rollback_->snapshotDue = false;
    SaveStates& states = saveStates();
    if (states.storyId.empty()) states.storyId = storyIdentity(*parts_.story);
    // Taken inside the step (Player::captureState refuses there): the message's command has
    // just run and nothing else has. Pictures shared with the snapshot before where unchanged,
    // kept by their files where they can be read again; the history deflates the rest when
    // idle.
    ReaderState reader = messages_.readerState();
    PlayerState state =
        zarvo::captureState({*parts_.story, *parts_.execution, *parts_.screen, *parts_.music,
                             parts_.save->messageHistory(), reader, states.storyId},
                            &rollback_->pictures);
    if (state.empty()) return;
    rollback_->history.push(state.entries(), rollback_->recorded);
}

void Player::compressRollback() {
    rollback_->history.compressSome(kPiecesPerTick);
}

bool Player::rollBack(int messages) {
    if (messages < 0 || run_.stepping) return false;
    RollbackHistory& history = rollback_->history;
    const auto back = static_cast<size_t>(messages);
    RollbackSnapshot snapshot;
    if (!history.read(back, snapshot)) {
        showNotice(texts::kNoticeRollbackTooFar, texts::kNoticeRollbackTooFarEn);
        return false;
    }
    PlayerState state;
    for (const RollbackEntry& entry : snapshot) state.put(entry.name, entry.bytes);
    messages_.closeBacklog();
    const uint64_t recorded = history.tag(back);
    if (restoreState(state, &rollback_->pictures) != StateRefusal::None) {
        showNotice(texts::kNoticeRollbackTooFar, texts::kNoticeRollbackTooFarEn);
        return false;
    }
    history.forgetAfter(back, std::move(snapshot));
    rollback_->recorded = recorded;
    rollback_->snapshotDue = false;
    tellPlayerEvent("rollback " + std::to_string(messages));
    // The message types itself out again from its start.
    answerInput();
    return true;
}

void Player::chooseBacklogEntry(int back) {
    // Entry `back` before the newest is the message recorded as number recorded - 1 - back.
    const RollbackHistory& history = rollback_->history;
    if (static_cast<uint64_t>(back) < rollback_->recorded) {
        const uint64_t wanted = rollback_->recorded - 1 - static_cast<uint64_t>(back);
        for (size_t i = 0; i < history.size(); ++i)
            if (history.tag(i) == wanted) {
                rollBack(static_cast<int>(i));
                return;
            }
    }
    showNotice(texts::kNoticeRollbackTooFar, texts::kNoticeRollbackTooFarEn);
    overlays_.present();
}

}  // namespace zarvo
