// The story played on the web page: the page's canvas, input, boxes and clock in place of the
// desktop's window. Called by main() as the desktop run is; the page's script starts main() with
// the story's path once it has put the story's files in place (web/page.js).
#include <emscripten.h>

#include <fstream>
#include <iostream>

#include "backends/freetype/freetype_font_engine.hpp"
#include "backends/posix/local_file_system.hpp"
#include "backends/web/kept_file_system.hpp"
#include "backends/web/web_dialogs.hpp"
#include "backends/web/web_host.hpp"
#include "backends/web/web_media_player.hpp"
#include "desktop_run.hpp"
#include "player/player.hpp"
#include "player/run_trace.hpp"

// clang-format off
EM_JS(void, zarvoFileChanged, (const char* path), { Module.page.fileChanged(UTF8ToString(path)); });
// clang-format on

namespace zarvo {

int runDesktop(const DesktopOptions& options) {
    if (!options.recordPath.empty()) {
        std::cerr << "zarvoplay: the page records no runs\n";
        return kExitUsage;
    }
    platform::WebClock clock;
    const uint32_t start = clock.ticks();
    RunTrace trace([&] { return clock.ticks() - start; });
    std::ofstream traceFile;
    if (!openTraceFile(options.tracePath, traceFile, trace)) return kExitUsage;

    platform::WebHost host(clock);
    platform::FreeTypeFontEngine fonts;
    platform::WebDialogs webDialogs;
    platform::ObservedDialogs dialogs(webDialogs);
    dialogs.onShown = [&](const platform::ShownBox& box) { trace.box(box); };
    platform::LocalFileSystem local;
    platform::KeptFileSystem files(local,
                                   [](const std::string& path) { zarvoFileChanged(path.c_str()); });
    // Music and sound through the page's audio module (web/audio.js); silent without it.
    platform::WebMediaPlayerFactory players(local);

    Player main({host, clock, dialogs, files, &fonts, &host.canvas(), &players},
                options.programDir);
    host.setClient(&main);
    trace.follow(main);
    main.onWarning = [](const std::string& text) { std::cerr << "zarvoplay: " << text << "\n"; };
    main.setLanguage(options.english ? MenuLanguage::English : MenuLanguage::Japanese);
    useReaderSettings(main, options.settings);
    main.open(options.projectPath, options.programDir);
    main.keepReadMessages(options.settings.readFolder);
    host.onHidden = [&main] { main.keepStateNow(); };
    if (!main.endedByFatalError()) {
        main.show();
        main.activate();
        host.run();
    }
    if (!options.shotPath.empty() && !main.saveScreenshot(options.shotPath))
        std::cerr << "zarvoplay: cannot write the screenshot " << options.shotPath << "\n";
    writeVariableDumpFile(options.dumpPath, main.story().variables());
    host.setClient(nullptr);
    if (!main.endedByFatalError()) return kExitEnded;
    if (!main.fatalReason().empty()) std::cerr << "zarvoplay: " << main.fatalReason() << "\n";
    return kExitFatal;
}

}  // namespace zarvo
