// What the player tells the reader over the story, in the reader's language: notices of the
// modes its keys turn on and off, screenshots, and the end of a story the reader skipped to.
#include <cstdio>
#include <functional>

#include "base/sjis.hpp"
#include "platform/clock.hpp"
#include "platform/file_system.hpp"
#include "player/notices.hpp"
#include "player/player.hpp"
#include "player/player_notice.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

namespace keys = platform::keys;

namespace {

// Holds the story's last frame until a click, a key or a button; modifiers alone do not count,
// as the Ctrl that skipped here is still held.
class StoryEndHold final : public Overlay {
  public:
    explicit StoryEndHold(std::function<void()> done) : done_(std::move(done)) {}

    bool isOpen() const override { return true; }
    void draw(Surface&) override {}
    void onKeyDown(int key) override {
        if (key != keys::kControl && key != keys::kAlt && key != keys::kShift) done_();
    }
    void onMouseDown(platform::MouseButton, int, int) override { done_(); }
    void onPadButton(platform::PadButton, bool down) override {
        if (down) done_();
    }

  private:
    std::function<void()> done_;
};

// A story's title as a folder name: no separators, no control characters, nothing hidden, not
// too long; "story" when nothing is left.
std::string safeFolderName(const std::string& utf8) {
    std::string out;
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        const bool unsafe = u < 0x20 || u == 0x7F || c == '/' || c == '\\' || c == ':' ||
                            c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
        out += unsafe ? '_' : c;
    }
    while (!out.empty() && (out.front() == ' ' || out.front() == '.')) out.erase(0, 1);
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    // At most 120 bytes, cut between characters.
    if (out.size() > 120) {
        size_t end = 120;
        while (end > 0 && (static_cast<unsigned char>(out[end]) & 0xC0) == 0x80) --end;
        out.resize(end);
    }
    return out.empty() ? "story" : out;
}

}  // namespace

void Player::setLanguage(MenuLanguage language) {
    settings_.setLanguage(language);
    parts_.notices->setLanguage(language);
}

std::string Player::fatalReason() const {
    return parts_.notices->lastTold();
}

void Player::tellPlayerEvent(const std::string& what) {
    if (onPlayerEvent) onPlayerEvent(what);
    struct Shown {
        std::string_view event, japanese, english;
    };
    static constexpr Shown kShown[] = {
        {"skip on", texts::kNoticeSkipOn, texts::kNoticeSkipOnEn},
        {"skip off", texts::kNoticeSkipOff, texts::kNoticeSkipOffEn},
        {"auto on", texts::kNoticeAutoOn, texts::kNoticeAutoOnEn},
        {"auto off", texts::kNoticeAutoOff, texts::kNoticeAutoOffEn},
    };
    // The trace has said it already.
    for (const Shown& shown : kShown)
        if (shown.event == what) showNotice(shown.japanese, shown.english, {}, false);
}

void Player::showNotice(std::string_view japanese, std::string_view english,
                        const std::string& detail, bool traced) {
    // Nothing covers the end of the story: the reader is to close it.
    PlayerNotice* notice = overlays_.notice();
    if (!notice || run_.storyEndHeld) return;
    const bool inEnglish = settings_.language() == MenuLanguage::English;
    std::string sjis(inEnglish ? english : japanese);
    std::string utf8 = sjisToUtf8(sjis);
    if (!detail.empty()) {
        const std::string gap = inEnglish ? " " : "";
        std::string shown;
        // A path the code page cannot show is named by its file name, which it always can.
        if (!utf8ToSjis(detail, shown) && !utf8ToSjis(platform::fileName(detail), shown))
            shown.clear();
        sjis += gap + shown;
        utf8 += gap + detail;
    }
    notice->show(sjis, services_.clock.ticks(), kNoticeMs);
    services_.host.wakeAfter(kNoticeMs);
    if (traced) tellPlayerEvent("notice " + utf8);
    overlays_.present();
}

std::string Player::screenshotFolder() const {
    if (picturesFolder_.empty()) return {};
    std::string title = sjisToUtf8(window_.caption);
    if (title.empty()) title = platform::fileStem(projectPath_);
    return platform::joinPath(platform::joinPath(picturesFolder_, "zarvoplay"),
                              safeFolderName(title));
}

void Player::takeScreenshot() {
    if (!parts_.screen->screen(0)) return;
    const std::string folder = screenshotFolder();
    platform::LocalTime t = services_.clock.localTime();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", t.year % 10000, t.month % 100,
                  t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
    // Several shots in one second get numbers; an earlier shot is never replaced.
    platform::FileSystem& files = services_.files;
    std::string path;
    for (int n = 1; n < 1000 && path.empty() && !folder.empty(); ++n) {
        std::string name = std::string(stamp) + (n > 1 ? "-" + std::to_string(n) : "") + ".png";
        std::string candidate = platform::joinPath(folder, name);
        if (!files.exists(candidate)) path = candidate;
    }
    // The folders are made on demand, the pictures folder itself too.
    const std::string own = platform::parentPath(folder);
    bool saved = !path.empty() && files.makeDirectory(picturesFolder_) &&
                 files.makeDirectory(own) && files.makeDirectory(folder);
    saved = saved && saveScreenshot(path, false);
    const std::string where =
        folder.empty() ? std::string() : files.absolutePath(path.empty() ? folder : path);
    if (saved)
        showNotice(texts::kScreenshotSaved, texts::kScreenshotSavedEn, where);
    else
        showNotice(texts::kScreenshotFailed, texts::kScreenshotFailedEn, where);
}

void Player::holdStoryEnd() {
    PlayerNotice* notice = overlays_.notice();
    if (run_.storyEndHeld || !notice) return;
    const bool inEnglish = settings_.language() == MenuLanguage::English;
    const std::string_view text = inEnglish ? texts::kNoticeStoryEndedEn : texts::kNoticeStoryEnded;
    notice->show(std::string(text), services_.clock.ticks(), 0);
    run_.storyEndHeld = true;
    overlays_.add(std::make_unique<StoryEndHold>([this] { quit(); }));
    tellPlayerEvent("notice " + sjisToUtf8(text));
    overlays_.present();
}

void Player::quit() {
    // Closing the menu writes the reader's settings if the menu changed them.
    if (SettingsMenu* menu = settings_.menu()) menu->close();
    tellPlayerEvent("quit");
    services_.host.setTimerEnabled(false);
    services_.host.terminate();
}

}  // namespace zarvo
