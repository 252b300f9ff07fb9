// The snapshots rollback goes back to, one a message, newest last. A snapshot is a list of named
// entries (a run's state as the state core writes it: each layer's picture its own entry). Kept
// cheaply: every entry is cut into pieces; a piece equal to one already kept (the same place of
// the snapshot before, or any live piece of the same content) is shared, and the rest is
// deflated later, a few pieces at a time, so that taking a snapshot never waits for zlib. The
// oldest snapshots go first when there are more than the count or they hold more than the bytes.
#pragma once
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "player/player_state.hpp"

namespace zarvo {

using RollbackEntry = StateEntry;
using RollbackSnapshot = std::vector<RollbackEntry>;

class RollbackHistory {
  public:
    struct Limits {
        size_t count = 200;
        size_t bytes = size_t{64} << 20;
        // Pieces still raw beyond this are deflated at once (a skip takes snapshots faster than
        // the idle time deflates them).
        size_t rawBytes = size_t{8} << 20;
    };
    static constexpr size_t kPieceBytes = 64 * 1024;

    explicit RollbackHistory(Limits limits);
    RollbackHistory() : RollbackHistory(Limits{}) {}
    ~RollbackHistory();
    RollbackHistory(const RollbackHistory&) = delete;
    RollbackHistory& operator=(const RollbackHistory&) = delete;

    // Keeps `snapshot` as the newest, with `tag` (the caller's name for it, such as the message
    // it was taken at); the oldest go past the limits, though the newest always stays.
    void push(RollbackSnapshot snapshot, uint64_t tag = 0);
    size_t size() const { return kept_.size(); }
    bool empty() const { return kept_.empty(); }
    // The tag of the snapshot `back` before the newest (0: the newest); `back` < size().
    uint64_t tag(size_t back) const;
    // Memory held: every kept piece once (deflated or raw) and the newest snapshot whole, which
    // the next one is compared with.
    size_t bytes() const { return held_.stored + referenceBytes_; }
    // Bytes of pieces not deflated yet.
    size_t rawBytes() const { return held_.raw; }

    // The snapshot `back` before the newest (0: the newest), whole; false when the history does
    // not reach that far or a piece does not decode. Nothing changes.
    bool read(size_t back, RollbackSnapshot& out);
    // After the run went back to `restored`, read as snapshot `back`: the ones after it go (the
    // story computes them again), and with `keepTarget` false it goes too, for a caller that
    // takes it again when its message shows again.
    void forgetAfter(size_t back, RollbackSnapshot restored, bool keepTarget = true);
    // read and forgetAfter at once.
    bool rollBack(size_t back, RollbackSnapshot& out, bool keepTarget = true);
    // Deflates up to `pieces` pieces still raw, oldest first; true when some are still raw.
    bool compressSome(size_t pieces);
    void clear();

  private:
    struct Counters {
        size_t stored = 0;  // bytes of every live piece as kept
        size_t raw = 0;     // of those, the ones not deflated yet
    };
    struct Piece;
    struct Entry {
        std::string name;
        size_t size = 0;
        std::vector<std::shared_ptr<Piece>> pieces;
    };
    struct Kept {
        uint64_t tag = 0;
        std::vector<Entry> entries;
    };

    std::shared_ptr<Piece> pieceFor(const std::string& bytes, size_t at, size_t length,
                                    unsigned stride, const Entry* before,
                                    const std::string* beforeBytes);
    // The entry of `name` in the reference, or -1; `hint` is where it usually is.
    int referenceIndex(const std::string& name, size_t hint) const;
    bool readPiece(const Piece& piece, std::string& out, size_t at);
    void compress(Piece& piece);
    void dropOldest();
    void setReference(RollbackSnapshot raw, const Kept& kept);

    Counters held_;  // first: destroyed after the pieces that count themselves out of it
    Limits limits_;
    std::deque<Kept> kept_;
    // The newest snapshot (or the one rolled back to) raw, with its pieces: the next snapshot
    // shares what it has unchanged.
    RollbackSnapshot reference_;
    Kept referencePieces_;
    size_t referenceBytes_ = 0;
    std::unordered_map<uint64_t, std::weak_ptr<Piece>> byHash_;
    size_t sweepAt_ = 1024;
    std::deque<std::weak_ptr<Piece>> rawQueue_;
    z_stream deflater_{};
    bool deflaterReady_ = false;
    std::string scratch_;
};

// The player's rollback: the history and where the run stands in it.
struct MessageRollback {
    RollbackHistory history;
    SnapshotPictures pictures;  // of the newest snapshot, or the one gone back to
    // Messages that went into the backlog in this run, as the story's state now stands: the
    // snapshot of a message holds the count before it, so a backlog entry finds its snapshot.
    uint64_t recorded = 0;
    bool snapshotDue = false;  // a message's command ran: its snapshot is taken after it
};

}  // namespace zarvo
