#include "desktop_run.hpp"

#include <cstddef>
#include <fstream>
#include <iostream>
#include <optional>

#include "backends/freetype/freetype_font_engine.hpp"
#include "backends/headless/events.hpp"
#include "backends/headless/headless_run.hpp"
#include "backends/headless/replay_clock.hpp"
#include "backends/headless/replay_timed_player.hpp"
#include "backends/imgui/sdl_debug_window.hpp"
#include "backends/posix/local_file_system.hpp"
#include "backends/sdl/sdl_canvas.hpp"
#include "backends/sdl/sdl_dialogs.hpp"
#include "backends/sdl/sdl_host.hpp"
#include "backends/sdl/sdl_media_player.hpp"
#include "base/sjis.hpp"
#include "formats/png.hpp"
#include "platform/clock.hpp"
#include "player/player.hpp"
#include "player/run_trace.hpp"

namespace zarvo {

extern const unsigned char kWindowIconPng[];
extern const std::size_t kWindowIconPngSize;

namespace {

using platform::HeadlessEvent;

// The events file of a recorded run, written as it happens: a run that crashes leaves
// everything up to the crash.
class EventLog {
  public:
    bool open(const std::string& path) {
        out_.open(path, std::ios::binary | std::ios::trunc);
        return out_.is_open();
    }
    void write(const HeadlessEvent& ev) { out_ << platform::formatEvent(ev) << '\n' << std::flush; }

  private:
    std::ofstream out_;
};

}  // namespace

int runDesktop(const DesktopOptions& options) {
    platform::SystemClock systemClock;
    const uint32_t start = systemClock.ticks();
    EventLog record;
    std::optional<platform::ReplayClock> replay;
    if (!options.recordPath.empty()) {
        if (!record.open(options.recordPath)) {
            std::cerr << "zarvoplay: cannot write the record to " << options.recordPath << "\n";
            return kExitUsage;
        }
        replay.emplace(systemClock);
    }
    // A recorded run keeps the replay's time; any other the system's.
    platform::Clock& clock = replay ? static_cast<platform::Clock&>(*replay) : systemClock;
    RunTrace trace([&] { return replay ? replay->ticks() : systemClock.ticks() - start; });
    std::ofstream traceFile;
    if (!openTraceFile(options.tracePath, traceFile, trace)) return kExitUsage;

    platform::SdlHost host(options.scale);
    if (!host.ok()) {
        std::cerr << "zarvoplay: cannot open a window: " << host.error() << "\n";
        return -1;
    }
    Picture icon;
    if (decodePng({reinterpret_cast<const char*>(kWindowIconPng), kWindowIconPngSize}, icon) ==
        PngError::None)
        host.setIcon(icon.pixels.data(), icon.mask.empty() ? nullptr : icon.mask.data(), icon.width,
                     icon.height);
    platform::FreeTypeFontEngine fonts;
    platform::SdlDialogs sdlDialogs(host, fonts);
    platform::ObservedDialogs dialogs(sdlDialogs);
    platform::LocalFileSystem localFiles;
    // An archive's files when the story is in one.
    platform::FileSystem& files = options.files ? *options.files : localFiles;
    // Without an audio device every open fails and the story plays on silently.
    platform::SdlMediaPlayerFactory sdlPlayers(files);
    if (!sdlPlayers.audioOpen())
        std::cerr << "zarvoplay: no sound device (" << sdlPlayers.error()
                  << "): the story plays silently\n";
    std::optional<platform::ReplayTimedPlayerFactory> timedPlayers;
    platform::MediaPlayerFactory* players = &sdlPlayers;
    if (replay) {
        HeadlessEvent date = HeadlessEvent::of(HeadlessEvent::Kind::Date);
        date.date = replay->startTime();
        record.write(date);
        host.record(*replay, [&record](const HeadlessEvent& ev) { record.write(ev); });
        timedPlayers.emplace(sdlPlayers, *replay);
        players = &*timedPlayers;
    }
    // Each answer is recorded at the moment its box was shown: a replay's boxes take no time.
    dialogs.onShown = [&](const platform::ShownBox& box) {
        trace.box(box);
        if (!replay) return;
        HeadlessEvent answer = HeadlessEvent::of(HeadlessEvent::Kind::Answer, replay->ticks());
        answer.answer = box.answer;
        record.write(answer);
    };
    dialogs.onInput = [&](bool ok, const std::string& text) {
        if (!replay) return;
        HeadlessEvent input = HeadlessEvent::of(
            ok ? HeadlessEvent::Kind::Input : HeadlessEvent::Kind::InputCancel, replay->ticks());
        input.text = text;
        record.write(input);
    };

    Player main({host, clock, dialogs, files, &fonts, &host.canvas(), players}, options.programDir);
    host.setClient(&main);
    trace.follow(main);
    main.onWarning = [](const std::string& text) { std::cerr << "zarvoplay: " << text << "\n"; };
    main.setLanguage(options.english ? MenuLanguage::English : MenuLanguage::Japanese);
    // A packaged story in debug mode gets the debug window beside its own; not while recording,
    // as a replay could not repeat what is done in it.
    if (!replay)
        main.createDebugWindow = [&host, &clock](const DebugWindowRequest& request) {
            auto window = std::make_unique<platform::SdlDebugWindow>(host, clock, request);
            std::unique_ptr<DebugHooks> hooks;
            if (window->ok())
                hooks = std::move(window);
            else
                std::cerr << "zarvoplay: " << window->error() << "\n";
            return hooks;
        };
    useReaderSettings(main, options.settings);
    main.open(options.projectPath, options.programDir);
    main.keepReadMessages(options.settings.readFolder);
    main.keepSaveStates(options.settings.readFolder);
    if (!main.endedByFatalError()) {
        main.show();
        // The window is shown: this is the application's first activation.
        main.activate();
        host.run();
    }
    if (host.displayLost())
        std::cerr << "zarvoplay: the connection to the display was lost; the story is closed\n";
    if (!options.shotPath.empty() && !main.saveScreenshot(options.shotPath))
        std::cerr << "zarvoplay: cannot write the screenshot " << options.shotPath << "\n";
    writeVariableDumpFile(options.dumpPath, main.story().variables());
    host.setClient(nullptr);
    if (!main.endedByFatalError()) return kExitEnded;
    // The box may have gone unseen (a program started from a file manager logs stderr).
    if (!main.fatalReason().empty()) std::cerr << "zarvoplay: " << main.fatalReason() << "\n";
    return kExitFatal;
}

}  // namespace zarvo
