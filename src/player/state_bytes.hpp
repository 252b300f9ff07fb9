// The byte forms of a player state's entries: little-endian fields, and strings and lists with
// their lengths in front, written and read back with every read checked. Internal to the
// player's states (player_state.cpp and state_pictures.cpp write their entries with them).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "base/string_list.hpp"

namespace zarvo {

// Little-endian fields, strings and lists with their lengths in front.
class StateOut {
  public:
    void u8(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void u64(uint64_t v) {
        u32(static_cast<uint32_t>(v));
        u32(static_cast<uint32_t>(v >> 32));
    }
    void flag(bool v) { u8(v ? 1 : 0); }
    void str(std::string_view s) {
        u32(static_cast<uint32_t>(s.size()));
        bytes_.append(s);
    }
    void list(const StringList& lines) {
        u32(static_cast<uint32_t>(lines.size()));
        for (const std::string& line : lines) str(line);
    }
    std::string take() { return std::move(bytes_); }

  private:
    std::string bytes_;
};

// Reads what StateOut wrote. Every read checks what is left; after the first failure every read
// gives zero and ok() is false, so a decoder checks once at the end.
class StateIn {
  public:
    explicit StateIn(std::string_view bytes) : bytes_(bytes) {}
    uint8_t u8() {
        if (!need(1)) return 0;
        return static_cast<uint8_t>(bytes_[pos_++]);
    }
    uint32_t u32() {
        if (!need(4)) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t{static_cast<uint8_t>(bytes_[pos_++])} << (8 * i);
        return v;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    uint64_t u64() {
        uint64_t low = u32();
        return low | uint64_t{u32()} << 32;
    }
    bool flag() {
        uint8_t v = u8();
        if (v > 1) ok_ = false;
        return v == 1;
    }
    // A value of an enumeration whose largest value is `last`.
    uint8_t choice(uint8_t last) {
        uint8_t v = u8();
        if (v > last) ok_ = false;
        return ok_ ? v : 0;
    }
    std::string str() {
        uint32_t n = u32();
        if (!need(n)) return {};
        std::string s(bytes_.substr(pos_, n));
        pos_ += n;
        return s;
    }
    // A count of items each at least `least` bytes long: never more than the bytes left hold.
    size_t count(size_t least) {
        uint32_t n = u32();
        if (least > 0 && n > (bytes_.size() - pos_) / least) ok_ = false;
        return ok_ ? n : 0;
    }
    StringList list() {
        StringList lines(count(4));
        for (std::string& line : lines) line = str();
        return lines;
    }
    bool ok() const { return ok_; }
    // Everything read, nothing left over.
    bool done() const { return ok_ && pos_ == bytes_.size(); }

  private:
    bool need(size_t n) {
        if (ok_ && bytes_.size() - pos_ >= n) return true;
        ok_ = false;
        return false;
    }
    std::string_view bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace zarvo
