// The stories of the browser tests, made from the readable scripts beside this file:
//   browser_stories SOURCE_DIR OUT_DIR
// writes OUT_DIR/NAME.zp7, a package of each story (its script and every picture and sound it
// plays), OUT_DIR/NAME/ with the same files loose (NAME.zp7 the script), and OUT_DIR/damaged.zp7,
// the choice story's package cut short.
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "archive/package.hpp"
#include "graphics/surface.hpp"
#include "support/png_files.hpp"
#include "support/temp_dir.hpp"
#include "support/test_media.hpp"

namespace {

using namespace zarvo;
using namespace zarvo::test;

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// A 640 x 480 picture of one colour (0x00BBGGRR, as the player's surfaces hold it), as PNG bytes.
std::string picture(const TempDir& dir, uint32_t color) {
    Surface g;
    g.setSize(640, 480);
    g.fillRect(0, 0, 640, 480, color);
    std::string path = dir.file("picture.png");
    if (!writePngFile(path, g)) return {};
    return readFile(path);
}

// Notes of a C major chord struck again every half second for 40 s: sounding all along
// whatever the instrument's envelope.
std::string tune() {
    std::vector<MidiEvent> events;
    events.push_back({0, {0xC0, 19}});  // church organ
    for (int i = 0; i < 80; ++i) {
        events.push_back({0, {0x90, 60, 100}});
        events.push_back({0, {0x90, 64, 100}});
        events.push_back({0, {0x90, 67, 100}});
        events.push_back({440, {0x80, 60, 0}});
        events.push_back({0, {0x80, 64, 0}});
        events.push_back({0, {0x80, 67, 0}});
        events.push_back({40, {0x90, 60, 0}});  // a rest, ended by a note-off in running form
    }
    events.push_back({0, {0xFF, 0x2F, 0x00}});
    return midiFile(0, 480, {midiTrack(events)});
}

using Files = std::map<std::string, std::string>;  // name -> bytes

bool writePackage(const std::string& path, const Files& files, bool compressed) {
    PackageWriter writer;
    initWriter(writer);
    setMagic(writer, "QZ7PKG");
    if (!createPackage(localFiles(), writer, path)) return false;
    writer.compressed = compressed;
    for (const auto& [name, bytes] : files)
        if (!writeStreamEntry(writer, bytes, name)) return false;
    return finishPackage(writer);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: browser_stories SOURCE_DIR OUT_DIR\n";
        return 2;
    }
    const std::string source = argv[1];
    const std::string out = argv[2];
    std::filesystem::create_directories(out);
    TempDir scratch;

    const std::string grey = picture(scratch, 0x808080);
    const std::string red = picture(scratch, 0x0000C0);
    const std::string green = picture(scratch, 0x00A000);
    const std::string blue = picture(scratch, 0xC00000);
    const std::string black = picture(scratch, 0x000000);
    const std::map<std::string, Files> stories = {
        {"choice",
         {{"grey.png", grey}, {"red.png", red}, {"green.png", green}, {"blue.png", blue}}},
        {"reading", {{"grey.png", grey}, {"red.png", red}, {"green.png", green}}},
        {"transition", {{"red.png", red}, {"blue.png", blue}}},
        {"sound",
         {{"grey.png", grey},
          {"red.png", red},
          {"green.png", green},
          {"blue.png", blue},
          {"black.png", black},
          {"music.ogg", oggVorbisFile(20.0, 44100, 2)},
          {"tone.wav", wavFile(22050, 1, 16, 22050 * 5)},
          {"tune.mid", tune()}}},
    };
    for (const auto& [name, media] : stories) {
        std::string script = readFile(source + "/" + name + ".txt");
        if (script.empty()) {
            std::cerr << "browser_stories: cannot read " << source << "/" << name << ".txt\n";
            return 1;
        }
        script = sjis(crlf(script));
        Files files = media;
        files["zarvo.zf7"] = script;
        if (!writePackage(out + "/" + name + ".zp7", files, true)) {
            std::cerr << "browser_stories: cannot write " << out << "/" << name << ".zp7\n";
            return 1;
        }
        const std::string folder = out + "/" + name;
        std::filesystem::create_directories(folder);
        writeFile(folder + "/" + name + ".zp7", script);
        for (const auto& [file, bytes] : media) writeFile(folder + "/" + file, bytes);
    }

    // A download cut short: the package without its last third, entries and end marker.
    std::string bytes = readFile(out + "/choice.zp7");
    writeFile(out + "/damaged.zp7", bytes.substr(0, bytes.size() * 2 / 3));
    return 0;
}
