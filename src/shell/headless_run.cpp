#include "shell/headless_run.hpp"

#include <cstdio>
#include <fstream>
#include <iostream>

#include "base/sjis.hpp"
#include "platform/fonts/freetype_font_engine.hpp"
#include "platform/headless/frame_canvas.hpp"
#include "platform/headless/headless_host.hpp"
#include "platform/headless/silent_media_player.hpp"
#include "platform/local_file_system.hpp"
#include "shell/main_window.hpp"

namespace zarvo {
namespace {

// Dialog texts on one line: every line break written as \n.
std::string oneLine(std::string_view sjis) {
    std::string utf8 = sjisToUtf8(sjis);
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r' || utf8[i] == '\n') {
            out += "\\n";
            if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

void writeDump(const std::string& path, const TVariableCtrl& vars) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& [isText, line] : vars.linesInSetOrder()) {
        size_t eq = line.find('=');
        std::string name = sjisToUtf8(line.substr(0, eq));
        std::string value = sjisToUtf8(line.substr(eq + 1));
        char sign = isText ? '$' : '%';
        out << sign << name << sign << '=' << value << '\n';
    }
    if (!out) std::cerr << "zarvoplay: cannot write the variable dump to " << path << "\n";
}

}  // namespace

int runHeadless(const HeadlessOptions& options) {
    platform::VirtualClock clock;
    platform::RecordingDialogs dialogs;
    platform::LocalFileSystem files;
    platform::HeadlessHost host(clock, dialogs, options.events);
    platform::FrameCanvas canvas;
    platform::FreeTypeFontEngine fonts;
    platform::SilentMediaPlayerFactory players(clock);

    std::ofstream trace;
    if (!options.tracePath.empty()) {
        trace.open(options.tracePath, std::ios::binary | std::ios::trunc);
        if (!trace) {
            std::cerr << "zarvoplay: cannot write the trace to " << options.tracePath << "\n";
            return kExitUsage;
        }
    }
    dialogs.onShown = [&](const platform::ShownBox& box) {
        std::string line = std::to_string(host.elapsed()) + " box " +
                           std::string(platform::boxKindName(box.kind)) + ": " + oneLine(box.text);
        if (trace.is_open()) trace << line << '\n';
        if (!options.quiet)
            std::cerr << "zarvoplay: " << line << " -> " << platform::boxAnswerName(box.answer)
                      << "\n";
    };
    int status = kExitEnded;
    {
        TfrmMain main({&host, &clock, &dialogs, &files, &fonts, &canvas, &players},
                      options.programDir);
        auto shot = [&main](const std::string& path) {
            if (!main.saveScreenshot(path))
                std::cerr << "zarvoplay: cannot write the screenshot " << path << "\n";
        };
        host.onShot = shot;
        if (trace.is_open()) {
            main.onCommand = [&](const std::string& book, const std::string& page, int32_t index,
                                 const TZarvoCommand& command) {
                trace << host.elapsed() << ' ' << sjisToUtf8(book) << '/' << sjisToUtf8(page) << '#'
                      << index << ' ' << sjisToUtf8(command.keyword) << '\n';
            };
            main.onCursorChange = [&](platform::Cursor cursor) {
                trace << host.elapsed() << " cursor "
                      << (cursor == platform::Cursor::Select ? "select" : "default") << '\n';
            };
        }
        host.setClient(&main);
        main.FormCreate(options.projectPath, options.programDir);
        if (!main.endedByFatalError()) {
            main.FormShow();
            main.activate();
            switch (host.run(options.maxTime)) {
                case platform::HeadlessHost::RunEnd::Terminated: break;
                case platform::HeadlessHost::RunEnd::MaxTime: status = kExitTimeout; break;
                case platform::HeadlessHost::RunEnd::Idle:
                    if (!options.quiet)
                        std::cerr << "zarvoplay: the story waits for input and no events are left\n";
                    status = kExitTimeout;
                    break;
            }
        }
        if (main.endedByFatalError()) status = kExitFatal;
        if (!options.shotPath.empty()) shot(options.shotPath);
        if (!options.dumpPath.empty()) writeDump(options.dumpPath, main.access().variables());
        host.setClient(nullptr);
    }
    return status;
}

}  // namespace zarvo
