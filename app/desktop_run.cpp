#include "desktop_run.hpp"

#include <iostream>

#include "platform/clock.hpp"
#include "platform/fonts/freetype_font_engine.hpp"
#include "platform/local_file_system.hpp"
#include "platform/sdl/sdl_canvas.hpp"
#include "platform/sdl/sdl_dialogs.hpp"
#include "platform/sdl/sdl_host.hpp"
#include "platform/sdl_audio/sdl_media_player.hpp"
#include "platform/sdl_debug/sdl_debug_window.hpp"
#include "shell/headless_run.hpp"
#include "shell/main_window.hpp"

namespace zarvo {

int runDesktop(const DesktopOptions& options) {
    platform::SdlHost host(options.scale);
    if (!host.ok()) {
        std::cerr << "zarvoplay: cannot open a window: " << host.error() << "\n";
        return -1;
    }
    platform::SystemClock clock;
    platform::FreeTypeFontEngine fonts;
    platform::SdlDialogs dialogs(host, fonts);
    platform::LocalFileSystem files;
    // Without an audio device every open fails and the story plays on silently.
    platform::SdlMediaPlayerFactory players;
    TfrmMain main({&host, &clock, &dialogs, &files, &fonts, &host.canvas(), &players},
                  options.programDir);
    host.setClient(&main);
    // A packaged story in debug mode gets the debug window beside its own.
    main.createDebugWindow = [&host, &clock](const DebugWindowRequest& request) {
        auto window = std::make_unique<platform::SdlDebugWindow>(host, clock, request);
        std::unique_ptr<DebugHooks> hooks;
        if (window->ok())
            hooks = std::move(window);
        else
            std::cerr << "zarvoplay: " << window->error() << "\n";
        return hooks;
    };
    main.FormCreate(options.projectPath, options.programDir);
    if (!main.endedByFatalError()) {
        main.FormShow();
        // The window is shown: this is the application's first activation.
        main.activate();
        host.run();
    }
    host.setClient(nullptr);
    return main.endedByFatalError() ? kExitFatal : kExitEnded;
}

}  // namespace zarvo
