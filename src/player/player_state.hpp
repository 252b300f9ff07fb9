// The player's own save states: the whole of a run at one moment (the place and the stack, the
// run state with its waits, the variables and the random generator, every layer of the screen
// with its picture, the message being typed, the dynamic layers, the music and where it was,
// the backlog), taken and given back independently of the story's save system.
//
// A state is a list of named entries, the same as the entries of a package: each picture is
// an entry of its own, so snapshots taken one after another share the bytes of every picture
// that did not change (shareWith). Restoring checks every entry before the running story is
// touched: a state that does not fit changes nothing. On disk a state is a package (magic
// kStateMagic) whose "state.info" names the format, the player's version and the story's
// contents it was taken from; a state of another story or player version is refused.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/string_list.hpp"

namespace zarvo {

namespace platform {
class FileSystem;
}  // namespace platform

class Execution;
class MusicControl;
class Screen;
class Story;
class Surface;
struct Picture;

inline constexpr std::string_view kStateMagic = "QZ7STAT";
// The entry every state holds first: Name=Value lines of its identity.
inline constexpr std::string_view kStateInfoEntry = "state.info";

struct StateEntry {
    std::string name;
    std::shared_ptr<const std::string> bytes;  // shared between snapshots where equal
};

class PlayerState {
  public:
    // Raised whenever what a state holds changes meaning; a state of another format is refused.
    static constexpr int32_t kFormat = 1;

    const std::vector<StateEntry>& entries() const { return entries_; }
    bool empty() const { return entries_.empty(); }
    // The bytes of an entry, or null.
    const std::string* find(std::string_view name) const;
    // The same, shared: null when there is no such entry.
    const std::shared_ptr<const std::string>* findShared(std::string_view name) const;
    // Adds the entry or replaces the one of that name.
    void put(std::string_view name, std::string bytes);
    void put(std::string_view name, std::shared_ptr<const std::string> bytes);
    // Every entry whose bytes equal those of `earlier`'s entry of the same name shares them.
    void shareWith(const PlayerState& earlier);
    // Bytes of all entries (a shared entry counts in every state holding it).
    size_t byteSize() const;
    // The identity lines ("state.info"); empty when there are none.
    StringList info() const;

  private:
    std::vector<StateEntry> entries_;
};

// Why a state is not restored.
enum class StateRefusal : uint8_t {
    None,         // restored
    Damaged,      // an entry is missing, cut short or holds what no run can hold
    OtherStory,   // taken from another story, or another version of it
    OtherPlayer,  // written by another version of the player (or another state format)
    Busy,         // a command is running (input pumped during a transition or a sound)
};

// What the player keeps of the reading besides the engine: the message waiting to go into the
// backlog and the layer messages go to.
struct ReaderState {
    bool messagePending = false;
    std::optional<std::string> pendingText;
    std::string lastMessageLayer;
};

// The pictures of the snapshot last taken or restored, by the stamp of the surface each was
// taken from. A history of snapshots passes it to every capture and restore: a picture that
// did not change is not copied again (the snapshot shares the bytes), and a restore keeps a
// surface that already holds the picture it would decode.
class SnapshotPictures {
  public:
    // The bytes kept for a surface of that stamp, or null.
    const std::shared_ptr<const std::string>* find(uint64_t stamp) const;
    // Keeps the bytes of a surface for the next snapshot; what was found before goes when
    // settle is called.
    void keep(uint64_t stamp, std::shared_ptr<const std::string> bytes);
    void settle();
    void clear();

  private:
    std::unordered_map<uint64_t, std::shared_ptr<const std::string>> now_, next_;
};

// Everything a state is taken from and given back to.
struct StateParts {
    Story& story;
    Execution& execution;
    Screen& screen;
    MusicControl& music;
    StringList& history;  // the backlog's messages
    ReaderState& reader;
    std::string_view storyId;  // storyIdentity(story), worked out once
};

// The player's version as states record it.
std::string_view playerVersion();
// What tells one story's contents from another's (its script and the system library's pages).
std::string storyIdentity(Story& story);

// Without `shared` the pictures are deflated, as files keep them. With it, for a history taken
// at every message: pictures raw and shared with the snapshot before where unchanged, a layer
// that holds just its picture file by the file's name (read again on restore, refused if it
// changed), and a screen that is just its layers composed by a mark.
PlayerState captureState(const StateParts& parts, SnapshotPictures* shared = nullptr);
// Checks the whole state against the running story first; None when it was restored. Any
// other answer leaves every part as it was. The caller shows the screen again.
StateRefusal restoreState(const StateParts& parts, const PlayerState& state,
                          SnapshotPictures* shared = nullptr);

// A picture as a state's entries hold it (deflated), and back; false for bytes that are none.
std::string encodeStatePicture(const Surface& picture);
bool decodeStatePicture(const std::string* bytes, Picture& picture);

// The state as the bytes of a package, and back (raw pictures are deflated in the package). Reading
// takes only well-formed packages whose entries all decode in full and are not larger than a state
// can be.
std::string encodeState(const PlayerState& state);
bool decodeState(std::string_view bytes, PlayerState& state);
// The same through files: written beside `path` and moved over it only when complete, so a
// failed write keeps the state that was there. False when it could not be written.
bool writeStateFile(platform::FileSystem& files, const std::string& path, const PlayerState& state);
// False when the file is missing or is no readable state package.
bool readStateFile(const platform::FileSystem& files, const std::string& path, PlayerState& state);

}  // namespace zarvo
