// AutoSave and AutoLoad of a typical state: ten layers (eight of them pictures, one a message),
// fifty variables, two buttons, inside a called page, on a 640 x 480 screen.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "archive/package.hpp"
#include "backends/freetype/freetype_font_engine.hpp"
#include "backends/headless/frame_canvas.hpp"
#include "backends/headless/headless_host.hpp"
#include "backends/headless/silent_media_player.hpp"
#include "backends/posix/local_file_system.hpp"
#include "base/sjis.hpp"
#include "formats/png.hpp"
#include "player/player.hpp"
#include "save/save_files.hpp"

namespace {

zarvo::platform::LocalFileSystem& hostFiles() {
    static zarvo::platform::LocalFileSystem files;
    return files;
}

namespace fs = std::filesystem;
using namespace zarvo;

bool savePng(const Surface& g, const std::string& path) {
    std::string bytes;
    platform::LocalFileSystem files;
    return encodePng(g.view(), bytes) && files.writeFile(path, bytes);
}

std::string crlf(const std::string& utf8) {
    std::string sjis, out;
    utf8ToSjis(utf8, sjis);
    for (char c : sjis) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string typicalStory() {
    std::string s =
        "///\n<Head=\"Zarvo\">\nFileType=QZ7\nStartBook=b\nStartPage=p\n<Head End>\n"
        "<Head=\"LayerList\">\nLayerCount=8\n";
    for (int i = 1; i < 8; ++i)
        s += "Layer." + std::to_string(i) + ".LayerName=L" + std::to_string(i) + "\n";
    s += "<Head End>\n<Book=\"b\">\n<Page=\"p\">\nGraphicDraw.FileName=bg.png\n@GraphicDraw\n";
    for (int i = 1; i < 8; ++i)
        s += "GraphicDraw.FileName=p" + std::to_string(i) + ".png\nGraphicDraw.Layer=L" +
             std::to_string(i) +
             "\nGraphicDraw.Layer.Move=1\nGraphicDraw.Area.Left=" + std::to_string(60 * i) +
             "\nGraphicDraw.Area.Top=" + std::to_string(40 * i) + "\n@GraphicDraw\n";
    for (int i = 0; i < 40; ++i)
        s += "ValueCtrl.ValueVar=%v" + std::to_string(i) +
             "%\nValueCtrl.LeftValue=" + std::to_string(i * 37) + "\n@ValueCtrl\n";
    for (int i = 0; i < 10; ++i)
        s += "StringCtrl.StringVar=$s" + std::to_string(i) + "$\nStringCtrl.Text=名前その" +
             std::to_string(i) + "\n@StringCtrl\n";
    for (int i = 0; i < 2; ++i)
        s += "DynamicLayer.Type=Text\nDynamicLayer.Text.Text=ボタン\nDynamicLayer.Area.Left=" +
             std::to_string(400 + 100 * i) +
             "\nDynamicLayer.Area.Top=440\nDynamicLayer.Area.Width=90\n"
             "DynamicLayer.Clickable.Mode=All\nDynamicLayer.Clickable.PageName=p\n@DynamicLayer\n";
    s += "MessageDraw.Text=吾輩は猫である。名前はまだ無い。#どこで生れたかとんと見当がつかぬ。\n"
         "MessageDraw.Effect=None\n@MessageDraw\nCall.BookName=b\nCall.PageName=sub\n@Call\n"
         "<Page End>\n<Page=\"sub\">\nWait.InputBreak=1\n@Wait\n@Return\n<Page End>\n<Book End>\n";
    return crlf(s);
}

// A player stopped inside the called page, its save folder ready.
struct Typical {
    Typical()
        : dir(fs::temp_directory_path() / "zarvo-bench-save"),
          host(clock, dialogs, {}),
          players(clock) {
        fs::remove_all(dir);
        fs::create_directories(dir + "/story");
        Surface g;
        g.setSize(640, 480);
        g.fillRect(0, 0, 640, 480, 0x336699);
        savePng(g, dir + "/bg.png");
        for (int i = 1; i < 8; ++i) {
            g.setSize(160, 120);
            g.fillRect(0, 0, 160, 120, 0x102030u * static_cast<uint32_t>(i));
            savePng(g, dir + "/p" + std::to_string(i) + ".png");
        }
        std::ofstream(dir + "/story.zp7", std::ios::binary) << typicalStory();
        PackageWriter library;
        initWriter(library);
        setMagic(library, "QZ7LIB");
        createPackage(hostFiles(), library, dir + "/zarvoplay.zvl");
        writeStreamEntry(library,
                         crlf("<Book=\"_system\">\n<Page=\"_init\">\n@Return\n<Page End>\n"
                              "<Page=\"_reload\">\n@Return\n<Page End>\n<Book End>\n"),
                         "system.zf7");
        finishPackage(library);
        main = std::make_unique<Player>(
            Player::Services{host, clock, dialogs, files, &fonts, &canvas, &players}, dir);
        host.setClient(main.get());
        main->open(dir + "/story.zp7", dir);
        main->show();
        main->activate();
        host.run(60000);
        path = main->saveSystem().saveFilePath("bench.sav");
    }
    ~Typical() {
        host.setClient(nullptr);
        main.reset();
        fs::remove_all(dir);
    }
    std::string dir;
    platform::VirtualClock clock;
    platform::RecordingDialogs dialogs;
    platform::LocalFileSystem files;
    platform::HeadlessHost host;
    platform::FrameCanvas canvas;
    platform::FreeTypeFontEngine fonts;
    platform::SilentMediaPlayerFactory players;
    std::unique_ptr<Player> main;
    std::string path;
};

void BM_AutoSave(benchmark::State& state) {
    Typical t;
    for (auto _ : state) benchmark::DoNotOptimize(t.main->saveSystem().autoSave(t.path));
    state.counters["bytes"] = static_cast<double>(fs::file_size(t.path));
}
BENCHMARK(BM_AutoSave)->Unit(benchmark::kMillisecond);

void BM_AutoLoad(benchmark::State& state) {
    Typical t;
    if (!t.main->saveSystem().autoSave(t.path)) state.SkipWithError("the save failed");
    for (auto _ : state) benchmark::DoNotOptimize(t.main->saveSystem().autoLoad(t.path));
    if (!t.dialogs.shown().empty()) state.SkipWithError("a box was shown");
}
BENCHMARK(BM_AutoLoad)->Unit(benchmark::kMillisecond);

}  // namespace
