#include "player/rollback_history.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/hash.hpp"

namespace zarvo {

struct RollbackHistory::Piece {
    Piece(Counters& counters, uint64_t contentHash, std::string raw, unsigned byteStride)
        : held(counters),
          hash(contentHash),
          rawSize(raw.size()),
          stride(byteStride),
          data(std::move(raw)) {
        held.stored += data.size();
        held.raw += data.size();
    }
    ~Piece() {
        held.stored -= data.size();
        if (!settled) held.raw -= data.size();
    }
    Piece(const Piece&) = delete;
    Piece& operator=(const Piece&) = delete;

    Counters& held;
    uint64_t hash;
    size_t rawSize;
    unsigned stride;        // the byte distance of the delta taken before deflating; 0: none
    bool settled = false;   // compressed, or found not worth it
    bool deflated = false;  // `data` is deflated, else raw
    std::string data;
};

namespace {

// Pictures deflate far better as differences from the pixel before: a gradient turns into runs
// of small numbers. A raw picture of a state (width, height, a mode byte, then four bytes a
// pixel and a mask byte a pixel when it has one) and a BMP (how saves keep pictures) are
// recognised by their sizes; anything else (text) is left as it is.
unsigned strideFor(const std::string& bytes) {
    if (bytes.size() >= 54 && bytes[0] == 'B' && bytes[1] == 'M') {
        const unsigned bits = static_cast<uint8_t>(bytes[28]) | static_cast<uint8_t>(bytes[29])
                                                                    << 8;
        if (bits == 24 || bits == 32) return bits / 8;
    }
    if (bytes.size() < 4096) return 0;
    auto i32 = [&](size_t at) {
        uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i)
            v |= uint32_t{static_cast<uint8_t>(bytes[at + i])} << (8 * i);
        return uint64_t{v};
    };
    const uint64_t pixels = i32(0) * i32(4), size = bytes.size() - 9;
    return size == pixels * 4 || size == pixels * 5 ? 4 : 0;
}

}  // namespace

RollbackHistory::RollbackHistory(Limits limits) : limits_(limits) {}

RollbackHistory::~RollbackHistory() {
    if (deflaterReady_) deflateEnd(&deflater_);
    // The pieces count themselves out of held_ as they go: they go before it.
    kept_.clear();
    referencePieces_.entries.clear();
}

uint64_t RollbackHistory::tag(size_t back) const {
    return kept_[kept_.size() - 1 - back].tag;
}

void RollbackHistory::clear() {
    kept_.clear();
    reference_.clear();
    referencePieces_.entries.clear();
    referenceBytes_ = 0;
    byHash_.clear();
    rawQueue_.clear();
}

std::shared_ptr<RollbackHistory::Piece> RollbackHistory::pieceFor(const std::string& bytes,
                                                                  size_t at, size_t length,
                                                                  unsigned stride,
                                                                  const Entry* before,
                                                                  const std::string* beforeBytes) {
    const char* p = bytes.data() + at;
    // Most pieces are where they were in the snapshot before, unchanged.
    if (before && beforeBytes && at + length <= beforeBytes->size()) {
        const size_t index = at / kPieceBytes;
        if (index < before->pieces.size() && before->pieces[index]->rawSize == length &&
            std::memcmp(beforeBytes->data() + at, p, length) == 0)
            return before->pieces[index];
    }
    // Or the same content elsewhere: a picture shown again, a layer moved to another name.
    const uint64_t hash = hashBytes(p, length);
    auto found = byHash_.find(hash);
    if (found != byHash_.end()) {
        if (std::shared_ptr<Piece> piece = found->second.lock()) {
            if (piece->rawSize == length) {
                std::string content;
                if (readPiece(*piece, content, 0) && std::memcmp(content.data(), p, length) == 0)
                    return piece;
            }
        }
    }
    auto piece = std::make_shared<Piece>(held_, hash, std::string(p, length), stride);
    byHash_[hash] = piece;
    rawQueue_.push_back(piece);
    return piece;
}

int RollbackHistory::referenceIndex(const std::string& name, size_t hint) const {
    if (hint < reference_.size() && reference_[hint].name == name) return static_cast<int>(hint);
    for (size_t i = 0; i < reference_.size(); ++i)
        if (reference_[i].name == name) return static_cast<int>(i);
    return -1;
}

void RollbackHistory::push(RollbackSnapshot snapshot, uint64_t tag) {
    Kept kept;
    kept.tag = tag;
    kept.entries.reserve(snapshot.size());
    for (size_t e = 0; e < snapshot.size(); ++e) {
        const std::string& bytes = *snapshot[e].bytes;
        // The entry of the same name in the snapshot before; usually at the same place.
        const int at = referenceIndex(snapshot[e].name, e);
        const Entry* before =
            at >= 0 ? &referencePieces_.entries[static_cast<size_t>(at)] : nullptr;
        const std::string* beforeBytes =
            at >= 0 ? reference_[static_cast<size_t>(at)].bytes.get() : nullptr;
        if (before && beforeBytes == &bytes) {  // the very same bytes: shared whole
            kept.entries.push_back(*before);
            continue;
        }
        Entry entry;
        entry.name = snapshot[e].name;
        entry.size = bytes.size();
        const unsigned stride = strideFor(bytes);
        for (size_t offset = 0; offset < bytes.size(); offset += kPieceBytes)
            entry.pieces.push_back(pieceFor(bytes, offset,
                                            std::min(kPieceBytes, bytes.size() - offset), stride,
                                            before, beforeBytes));
        kept.entries.push_back(std::move(entry));
    }
    kept_.push_back(kept);
    setReference(std::move(snapshot), kept);
    while (kept_.size() > 1 && (kept_.size() > limits_.count || bytes() > limits_.bytes))
        dropOldest();
    while (held_.raw > limits_.rawBytes && compressSome(1)) {
    }
    // Hashes of pieces that are gone are let go now and then.
    if (byHash_.size() > sweepAt_) {
        std::erase_if(byHash_, [](const auto& item) { return item.second.expired(); });
        sweepAt_ = std::max<size_t>(1024, byHash_.size() * 2);
    }
}

void RollbackHistory::setReference(RollbackSnapshot raw, const Kept& kept) {
    referencePieces_ = kept;
    referenceBytes_ = 0;
    for (const RollbackEntry& entry : raw)
        referenceBytes_ += entry.bytes->size() + entry.name.size();
    reference_ = std::move(raw);
}

void RollbackHistory::dropOldest() {
    kept_.pop_front();
}

bool RollbackHistory::readPiece(const Piece& piece, std::string& out, size_t at) {
    if (out.size() < at + piece.rawSize) out.resize(at + piece.rawSize);
    char* target = out.data() + at;
    if (!piece.deflated) {
        std::memcpy(target, piece.data.data(), piece.rawSize);
        return true;
    }
    uLongf length = piece.rawSize;
    if (uncompress(reinterpret_cast<Bytef*>(target), &length,
                   reinterpret_cast<const Bytef*>(piece.data.data()), piece.data.size()) != Z_OK ||
        length != piece.rawSize)
        return false;
    // Undo the differences, front to back.
    for (size_t i = piece.stride; piece.stride && i < length; ++i)
        target[i] = static_cast<char>(static_cast<uint8_t>(target[i]) +
                                      static_cast<uint8_t>(target[i - piece.stride]));
    return true;
}

void RollbackHistory::compress(Piece& piece) {
    if (piece.settled) return;
    piece.settled = true;
    held_.raw -= piece.data.size();
    if (!deflaterReady_) {
        if (deflateInit(&deflater_, Z_BEST_SPEED) != Z_OK) return;  // kept raw
        deflaterReady_ = true;
    } else {
        deflateReset(&deflater_);
    }
    const std::string* input = &piece.data;
    if (piece.stride) {
        scratch_ = piece.data;
        for (size_t i = scratch_.size(); i-- > piece.stride;)
            scratch_[i] = static_cast<char>(static_cast<uint8_t>(scratch_[i]) -
                                            static_cast<uint8_t>(scratch_[i - piece.stride]));
        input = &scratch_;
    }
    std::string out(deflateBound(&deflater_, input->size()), '\0');
    deflater_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input->data()));
    deflater_.avail_in = static_cast<uInt>(input->size());
    deflater_.next_out = reinterpret_cast<Bytef*>(out.data());
    deflater_.avail_out = static_cast<uInt>(out.size());
    if (deflate(&deflater_, Z_FINISH) != Z_STREAM_END || deflater_.total_out >= piece.data.size())
        return;  // not worth it: kept raw
    out.resize(deflater_.total_out);
    out.shrink_to_fit();
    held_.stored -= piece.data.size();
    held_.stored += out.size();
    piece.data = std::move(out);
    piece.deflated = true;
}

bool RollbackHistory::compressSome(size_t pieces) {
    while (pieces > 0 && !rawQueue_.empty()) {
        std::shared_ptr<Piece> piece = rawQueue_.front().lock();
        rawQueue_.pop_front();
        if (!piece || piece->settled) continue;
        compress(*piece);
        --pieces;
    }
    return !rawQueue_.empty();
}

bool RollbackHistory::read(size_t back, RollbackSnapshot& out) {
    if (back >= kept_.size()) return false;
    const Kept& target = kept_[kept_.size() - 1 - back];
    RollbackSnapshot snapshot;
    snapshot.reserve(target.entries.size());
    for (size_t e = 0; e < target.entries.size(); ++e) {
        const Entry& entry = target.entries[e];
        const int at = referenceIndex(entry.name, e);
        const Entry* newest =
            at >= 0 ? &referencePieces_.entries[static_cast<size_t>(at)] : nullptr;
        const std::shared_ptr<const std::string>* newestBytes =
            at >= 0 ? &reference_[static_cast<size_t>(at)].bytes : nullptr;
        if (newest && newest->pieces == entry.pieces) {  // unchanged since: the same bytes
            snapshot.push_back({entry.name, *newestBytes});
            continue;
        }
        auto bytes = std::make_shared<std::string>(entry.size, '\0');
        for (size_t p = 0; p < entry.pieces.size(); ++p) {
            const size_t offset = p * kPieceBytes;
            const Piece& piece = *entry.pieces[p];
            // A piece the newest snapshot shares is copied from its raw bytes, not inflated.
            if (newest && p < newest->pieces.size() && newest->pieces[p].get() == &piece &&
                offset + piece.rawSize <= (*newestBytes)->size()) {
                std::memcpy(bytes->data() + offset, (*newestBytes)->data() + offset, piece.rawSize);
                continue;
            }
            if (!readPiece(piece, *bytes, offset)) return false;
        }
        snapshot.push_back({entry.name, std::move(bytes)});
    }
    out = std::move(snapshot);
    return true;
}

void RollbackHistory::forgetAfter(size_t back, RollbackSnapshot restored, bool keepTarget) {
    if (back >= kept_.size()) return;
    Kept target = kept_[kept_.size() - 1 - back];
    kept_.erase(kept_.end() - static_cast<std::ptrdiff_t>(back + (keepTarget ? 0 : 1)),
                kept_.end());
    setReference(std::move(restored), target);
}

bool RollbackHistory::rollBack(size_t back, RollbackSnapshot& out, bool keepTarget) {
    if (!read(back, out)) return false;
    forgetAfter(back, out, keepTarget);
    return true;
}

}  // namespace zarvo
