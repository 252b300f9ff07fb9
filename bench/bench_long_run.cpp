// A day of play: a story that loops on its own (pictures with effects, animated and clickable
// layers, a timed choice, messages with tags, music and sounds, a call, AutoSave and AutoLoad)
// run for 24 virtual hours on the headless host with the real fonts. Resident memory is taken
// after the first virtual hour, when caches are warm, and at the end; it must grow by less than
// 1 MB ("RSS growth KB"), or the run is reported as an error.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "backends/freetype/freetype_font_engine.hpp"
#include "backends/headless/frame_canvas.hpp"
#include "backends/headless/headless_host.hpp"
#include "backends/headless/silent_media_player.hpp"
#include "backends/posix/local_file_system.hpp"
#include "base/sjis.hpp"
#include "player/player.hpp"

namespace {

constexpr uint32_t kHour = 3600 * 1000;

// Pages 朝 and 効果 of book 一日; %n% counts the days, and from the third on every day ends
// by loading the save of the day before, so the loop also goes through AutoLoad.
std::string dayScript() {
    auto lines = [](std::initializer_list<const char*> list) {
        std::string s;
        for (const char* line : list) s += std::string(line) + "\r\n";
        return s;
    };
    std::string utf8 = lines({
        "/// zarvoplay long run",
        "<Head=\"Zarvo\">",
        "FileType=QZ7",
        "StartBook=一日",
        "StartPage=朝",
        "ImageWidth=640",
        "ImageHeight=480",
        "<Head End>",
        "<Head=\"LayerList\">",
        "LayerCount=3",
        "Layer.1.LayerName=キャラクター",
        "Layer.2.LayerName=ウィンドウ",
        "<Head End>",
        "<Book=\"一日\">",
        "<Page=\"朝\">",
        "ValueCtrl.ValueVar=%n%",
        "ValueCtrl.LeftValue=%n%",
        "ValueCtrl.RightValue=1",
        "ValueCtrl.Calc=Add",
        "@ValueCtrl",
        "Music.FileName=bgm.wav",
        "Music.Loop=0",
        "@Music",
        "GraphicDraw.FileName=bg_morning.png",
        "GraphicDraw.EffectType=Fadein",
        "@GraphicDraw",
        "GraphicDraw.FileName=chara.png",
        "GraphicDraw.Layer=キャラクター",
        "GraphicDraw.EffectType=Mosaic",
        "@GraphicDraw",
        "GraphicDraw.FileName=window.png",
        "GraphicDraw.Layer=ウィンドウ",
        "GraphicDraw.Layer.Move=1",
        "GraphicDraw.Area.Left=20",
        "GraphicDraw.Area.Top=340",
        "@GraphicDraw",
        "DynamicLayer.Type=Image",
        "DynamicLayer.Image.FileName=sprite_star.png",
        "DynamicLayer.Image.AnimeCount=4",
        "DynamicLayer.Image.AnimeType=Repeat",
        "DynamicLayer.Area.Left=560",
        "DynamicLayer.Area.Top=30",
        "DynamicLayer.Area.Width=48",
        "DynamicLayer.Area.Height=48",
        "DynamicLayer.AttrID=20",
        "@DynamicLayer",
        "DynamicLayer.Type=Image",
        "DynamicLayer.Image.FileName=button_start.png",
        "DynamicLayer.Image.DivideCount=2",
        "DynamicLayer.Clickable.Mode=Opaque",
        "DynamicLayer.Clickable.BookName=一日",
        "DynamicLayer.Clickable.PageName=朝",
        "DynamicLayer.Area.Left=220",
        "DynamicLayer.Area.Top=100",
        "DynamicLayer.Area.Width=200",
        "DynamicLayer.Area.Height=44",
        "DynamicLayer.AttrID=10",
        "@DynamicLayer",
        "StringCtrl.StringVar=$名$",
        "StringCtrl.Text=旅人%n%",
        "@StringCtrl",
        "MessageDraw.Text=<clWhite><B>%n%</B>日目の<*20>朝<N>、$名$さん。"
        "<clRed>赤<FAST>速く<W300>待って#次の行",
        "MessageDraw.Layer.Move=1",
        "MessageDraw.Area.Left=40",
        "MessageDraw.Area.Top=352",
        "MessageDraw.Area.Width=560",
        "MessageDraw.Area.Height=110",
        "@MessageDraw",
        "Select.Area.Left=170",
        "Select.Area.Top=170",
        "Select.Area.Width=300",
        "Select.Text1=はい",
        "Select.Page1=朝",
        "Select.Text2=いいえ",
        "Select.Page2=朝",
        "Select.Timeout=1",
        "Select.Time=2000",
        "@Select",
        "DynamicLayerClear.AttrID=10",
        "@DynamicLayerClear",
        "DynamicLayerClear.AttrID=20",
        "@DynamicLayerClear",
        "Call.BookName=一日",
        "Call.PageName=効果",
        "@Call",
        "if.Compare=DownEqual",
        "if.Variable1=%n%",
        "if.Variable2=3",
        "@if",
        "SaveCtrl.Command=AutoLoad",
        "SaveCtrl.FileName=day.sav",
        "@SaveCtrl",
        "@else",
        "SaveCtrl.Command=AutoSave",
        "SaveCtrl.FileName=day.sav",
        "@SaveCtrl",
        "@endif",
        "Wait.TimeBreak=1",
        "Wait.Time=20000",
        "@Wait",
        "Move.BookName=一日",
        "Move.PageName=朝",
        "@Move",
        "<Page End>",
        "<Page=\"効果\">",
        "Sound.FileName=chime.wav",
        "@Sound",
        "GraphicDraw.FileName=bg_night.png",
        "GraphicDraw.EffectType=Blind",
        "@GraphicDraw",
        "Layer.Name=キャラクター",
        "Layer.Visible.Change=1",
        "Layer.Visible.Show=0",
        "@LayerCtrl",
        "MessageDraw.Text=$名$さん、おやすみ。<W500>",
        "@MessageDraw",
        "@Return",
        "<Page End>",
        "<Book End>",
    });
    std::string sjis;
    zarvo::utf8ToSjis(utf8, sjis);
    return sjis;
}

long residentKb() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void BM_DayOfPlay(benchmark::State& state) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zarvo-bench-day";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "day");  // its data folder, so that nothing asks
    for (const auto& entry : std::filesystem::directory_iterator(ZARVO_DEMO_DIR))
        if (entry.path().extension() == ".png" || entry.path().extension() == ".wav")
            std::filesystem::copy(entry.path(), dir / entry.path().filename());
    const std::string project = (dir / "day.zp7").string();
    std::ofstream(project, std::ios::binary) << dayScript();

    for (auto _ : state) {
        zarvo::platform::VirtualClock clock;
        zarvo::platform::RecordingDialogs dialogs;
        zarvo::platform::LocalFileSystem files;
        zarvo::platform::HeadlessHost host(clock, dialogs, {});
        zarvo::platform::FrameCanvas canvas;
        zarvo::platform::FreeTypeFontEngine fonts;
        zarvo::platform::SilentMediaPlayerFactory players(clock);
        zarvo::Player main({host, clock, dialogs, files, &fonts, &canvas, &players},
                           ZARVO_PROGRAM_DIR);
        host.setClient(&main);
        long warm = 0;
        uint64_t commands = 0;
        main.onCommand = [&](const std::string&, const std::string&, int32_t,
                             const zarvo::Command&) {
            ++commands;
            if (warm == 0 && host.elapsed() >= kHour) warm = residentKb();
        };
        main.open(project, ZARVO_PROGRAM_DIR);
        main.show();
        main.activate();
        host.run(25 * kHour);
        host.setClient(nullptr);
        const long growth = residentKb() - warm;
        state.counters["RSS growth KB"] = static_cast<double>(growth);
        state.counters["commands"] = static_cast<double>(commands);
        state.counters["virtual h"] = host.elapsed() / double(kHour);
        if (!dialogs.shown().empty()) {
            const std::string box =
                "the story showed a box: " + zarvo::sjisToUtf8(dialogs.shown().front().text);
            state.SkipWithError(box.c_str());
        }
        if (host.elapsed() < 25 * kHour) state.SkipWithError("the story stopped before a day");
        if (growth >= 1024) state.SkipWithError("resident memory grew by 1 MB or more");
    }
}
BENCHMARK(BM_DayOfPlay)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
