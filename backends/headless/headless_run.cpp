#include "backends/headless/headless_run.hpp"

#include <fstream>
#include <iostream>

#include "backends/freetype/freetype_font_engine.hpp"
#include "backends/headless/frame_canvas.hpp"
#include "backends/headless/headless_host.hpp"
#include "backends/headless/silent_media_player.hpp"
#include "backends/posix/local_file_system.hpp"
#include "player/player.hpp"
#include "player/run_trace.hpp"

namespace zarvo {
namespace {

// A recorded run names the local time it began at; the replay's clock starts there too.
platform::LocalTime startTimeOf(const std::vector<platform::HeadlessEvent>& events) {
    for (const auto& ev : events)
        if (ev.kind == platform::HeadlessEvent::Kind::Date) return ev.date;
    return platform::VirtualClock::kDefaultStart;
}

}  // namespace

bool openTraceFile(const std::string& path, std::ofstream& file, RunTrace& trace) {
    if (path.empty()) return true;
    file.open(path, std::ios::binary | std::ios::trunc);
    if (!file.is_open()) {
        std::cerr << "zarvoplay: cannot write the trace to " << path << "\n";
        return false;
    }
    trace.writeTo(file);
    return true;
}

bool writeVariableDumpFile(const std::string& path, const Variables& variables) {
    if (path.empty()) return true;
    std::ofstream dump(path, std::ios::binary | std::ios::trunc);
    if (writeVariableDump(dump, variables)) return true;
    std::cerr << "zarvoplay: cannot write the variable dump to " << path << "\n";
    return false;
}

void useReaderSettings(Player& main, const ReaderSettings& settings) {
    // Read at the first show; problems with the file go to the player's warnings.
    main.usePlayerSettingsFile(settings.path);
    main.usePicturesFolder(settings.picturesFolder);
    if (settings.textSpeed) main.forceTextSpeed(*settings.textSpeed);
}

int runHeadless(const HeadlessOptions& options) {
    platform::VirtualClock clock(0, startTimeOf(options.events));
    platform::RecordingDialogs dialogs;
    platform::LocalFileSystem files;
    platform::HeadlessHost host(clock, dialogs, options.events);
    platform::FrameCanvas canvas;
    platform::FreeTypeFontEngine fonts;
    platform::SilentMediaPlayerFactory players(clock);

    RunTrace trace([&host] { return host.elapsed(); });
    std::ofstream traceFile;
    if (!openTraceFile(options.tracePath, traceFile, trace)) return kExitUsage;
    dialogs.onShown = [&](const platform::ShownBox& box) {
        trace.box(box);
        if (!options.quiet)
            std::cerr << "zarvoplay: " << trace.boxLine(box) << " -> "
                      << platform::boxAnswerName(box.answer) << "\n";
    };
    int status = kExitEnded;
    {
        Player main({host, clock, dialogs, files, &fonts, &canvas, &players}, options.programDir);
        auto shot = [&main](const std::string& path) {
            if (!main.saveScreenshot(path))
                std::cerr << "zarvoplay: cannot write the screenshot " << path << "\n";
        };
        host.onShot = shot;
        host.progress = options.progress;
        trace.follow(main);
        main.onWarning = [](const std::string& text) {
            std::cerr << "zarvoplay: " << text << "\n";
        };
        main.setLanguage(options.english ? MenuLanguage::English : MenuLanguage::Japanese);
        host.setClient(&main);
        useReaderSettings(main, options.settings);
        main.open(options.projectPath, options.programDir);
        main.keepReadMessages(options.settings.readFolder);
        main.keepSaveStates(options.settings.readFolder);
        if (!main.endedByFatalError()) {
            main.show();
            main.activate();
            switch (host.run(options.maxTime)) {
                case platform::HeadlessHost::RunEnd::Terminated:
                    break;
                case platform::HeadlessHost::RunEnd::MaxTime:
                    status = kExitTimeout;
                    break;
                case platform::HeadlessHost::RunEnd::Idle:
                    // The story ended; its last frame waits for a reader who is not there.
                    if (main.heldAtStoryEnd()) break;
                    if (!options.quiet)
                        std::cerr
                            << "zarvoplay: the story waits for input and no events are left\n";
                    status = kExitTimeout;
                    break;
            }
        }
        if (main.endedByFatalError()) {
            status = kExitFatal;
            if (!options.quiet && !main.fatalReason().empty())
                std::cerr << "zarvoplay: " << main.fatalReason() << "\n";
        }
        if (!options.shotPath.empty()) shot(options.shotPath);
        writeVariableDumpFile(options.dumpPath, main.story().variables());
        host.setClient(nullptr);
    }
    return status;
}

}  // namespace zarvo
