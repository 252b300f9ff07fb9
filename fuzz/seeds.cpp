// Writes the seeds of every fuzz corpus into OUTDIR/TARGET/, all made by our own writers and
// encoders (and the test builders): `fuzz_seeds OUTDIR`. The seeds are kept in the repository
// beside the inputs that once crashed a target; rerun this only when a format gains a case.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/package.hpp"
#include "formats/bmp.hpp"
#include "formats/mag_encoder.hpp"
#include "formats/png.hpp"
#include "graphics/surface.hpp"
#include "player/player_state.hpp"
#include "save_story.hpp"
#include "support/archive_files.hpp"
#include "support/player.hpp"
#include "support/test_media.hpp"

namespace {

using namespace zarvo;
namespace fs = std::filesystem;

std::string outDir;

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
    fs::create_directories(outDir + "/" + target);
    test::writeFile(outDir + "/" + target + "/seed-" + name, bytes);
}

Surface picture(int32_t w, int32_t h) {
    Surface g;
    g.setSize(w, h);
    g.fillRect(0, 0, w, h, 0x00FF00);
    g.fillRect(1, 1, w / 2, h / 2, 0x0000FF);
    return g;
}

std::string packageOf(bool compressed, bool scrambled, const std::string& magic) {
    test::TempDir dir;
    PackageWriter w;
    setMagic(w, magic);
    w.compressed = compressed;
    w.scrambled = scrambled;
    const std::string path = dir.file("p");
    if (!createPackage(test::localFiles(), w, path) ||
        !writeStreamEntry(w, "text text text text", "a.txt") ||
        !writeStreamEntry(w, std::string(300, 'z'), "dir\\b.bin") || !finishPackage(w))
        std::abort();
    return test::readFile(path);
}

// A state with every entry stored as it is rather than deflated: a changed byte then reaches
// the state's own decoders instead of stopping at the inflater.
std::string storedState(const PlayerState& state) {
    test::TempDir dir;
    PackageWriter w;
    initWriter(w);
    setMagic(w, kStateMagic);
    const std::string path = dir.file("state");
    if (!createPackage(test::localFiles(), w, path)) std::abort();
    for (const StateEntry& e : state.entries())
        if (!writeStreamEntry(w, *e.bytes, e.name)) std::abort();
    if (!finishPackage(w)) std::abort();
    return test::readFile(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTDIR\n");
        return 2;
    }
    outDir = argv[1];

    for (auto [w, h] : {std::pair{4, 3}, std::pair{17, 5}}) {
        Picture p;
        p.width = w;
        p.height = h;
        for (int i = 0; i < w * h; ++i) p.pixels.push_back(0x102030u * uint32_t(i));
        seed("fuzz_bmp", std::to_string(w) + "x" + std::to_string(h), encodeBmp(p));
        std::string png;
        if (!encodePng(picture(w, h).view(), png)) std::abort();
        seed("fuzz_png", std::to_string(w) + "x" + std::to_string(h), png);
    }
    for (bool colors256 : {true, false}) {
        test::MagImage img;
        img.colors256 = colors256;
        img.width = 16;
        img.height = 4;
        const size_t colours = colors256 ? 256 : 16;
        for (size_t i = 0; i < colours; ++i) img.palette.push_back(uint32_t(i) * 0x010203u);
        for (int i = 0; i < img.width * img.height; ++i)
            img.indices.push_back(uint8_t((i / 3) % colours));
        seed("fuzz_mag", colors256 ? "256" : "16", test::encodeMag(img).bytes);
    }
    seed("fuzz_media_duration", "wav", test::wavFile(8000, 1, 16, 800));
    seed("fuzz_media_duration", "mid",
         test::midiFile(1, 480, {test::midiTrack({{0, {0x90, 60, 100}}, {480, {0x80, 60, 0}}})}));
    seed("fuzz_media_duration", "mp3", test::mp3Frames(3));
    seed("fuzz_media_duration", "ogg", test::oggVorbisFile(0.1, 8000, 1));
    seed("fuzz_package", "plain", packageOf(false, false, "QZ7PKG"));
    seed("fuzz_package", "compressed-scrambled", packageOf(true, true, "QZ7PKG"));
    seed("fuzz_script", "story",
         test::storyScript("<Book=\"本\">\n<Page=\"頁\">\nValueCtrl.ValueVar=%a%\n"
                           "ValueCtrl.LeftValue=%b%\nValueCtrl.RightValue=2\n"
                           "ValueCtrl.Calc=Add\n@ValueCtrl\nif.Variable1=%a%\nif.Variable2=1\n"
                           "@if\nMessageDraw.Text=$s$ です\n@MessageDraw\n@endif\n<Page End>\n"
                           "<Book End>\n"));
    // The first three bytes: width, height and mode (see the target).
    seed("fuzz_text_layout", "tags",
         std::string("\x40\x20\x00", 3) +
             test::sjis("ab#c<*24>大きい<+4>a<-8>b<B>太字<I>斜め<N><clRed>赤<0x00FF00>緑"
                        "<FAST>速く<W15>待って<KEY>キー<SLOW><NORMAL>次##最後<<a<"));
    seed("fuzz_text_layout", "paged",
         std::string("\x20\x08\x05", 3) + "<0x00FF0000><B><I>a#b#c#d#e#f#g");

    // A whole save and one with an appended information list, from the story the target plays.
    test::StoryBuilder story;
    std::string project = fuzz::writeSaveStory(story);
    fs::create_directories(story.dir.file("story"));
    test::TestPlayer p(project, story.programDir);
    p.run();
    const std::string slot = p.save().saveFilePath("slot.sav");
    if (!p.save().autoSave(slot)) std::abort();
    seed("fuzz_save", "whole", test::readFile(slot));
    if (!p.save().openSaveFile(slot, SaveFiles::FileMode::Append)) std::abort();
    p.save().saveValue("Comment", "appended");
    if (!p.save().closeSaveFile()) std::abort();
    seed("fuzz_save", "appended", test::readFile(slot));
    // A whole save state of the same story, one stored undeflated, and one as rollback keeps
    // it: raw pictures, a layer by its file, the screen by its marks.
    seed("fuzz_state", "whole", encodeState(p.main().captureState()));
    seed("fuzz_state", "stored", storedState(p.main().captureState()));
    {
        SnapshotPictures shared;
        ReaderState reader;
        const std::string storyId = storyIdentity(p.main().story());
        Player& m = p.main();
        seed("fuzz_state", "raw-pictures",
             encodeState(captureState({m.story(), m.execution(), m.screen(), m.music(),
                                       m.saveSystem().messageHistory(), reader, storyId},
                                      &shared)));
    }

    // Every archive format, small: code page 932 and Unicode names, a folder, a link, a
    // duplicate, a name leaving its folder, and a zip holding an lzh; then the same files
    // packed by Debian's zip, 7z and xorriso. A tool that is missing leaves its seed out.
    test::TempDir archives;
    for (test::ArchiveKind kind :
         {test::ArchiveKind::Zip, test::ArchiveKind::ZipUtf8, test::ArchiveKind::ZipStored,
          test::ArchiveKind::SevenZip, test::ArchiveKind::Iso, test::ArchiveKind::IsoJoliet,
          test::ArchiveKind::Lzh, test::ArchiveKind::Cab}) {
        const bool unicode = kind == test::ArchiveKind::ZipUtf8 ||
                             kind == test::ArchiveKind::SevenZip ||
                             kind == test::ArchiveKind::IsoJoliet;
        const bool tool = kind == test::ArchiveKind::Lzh || kind == test::ArchiveKind::Cab;
        std::vector<test::ArchiveItem> items = {{unicode ? "デモ/表示.txt"
                                                 : tool  ? "a/b.txt"
                                                         : test::sjis("デモ/表示.txt"),
                                                 "text text text text"},
                                                {"dir/b.bin", std::string(300, 'z')}};
        if (!tool) {
            items.push_back({"dir/", ""});
            items.push_back({"dir/b.bin", "again"});
            items.push_back({"../up.txt", "x"});
            items.push_back({"link", "", 1, "dir/b.bin"});
        }
        const std::string path = archives.file(test::archiveKindName(kind));
        std::string why;
        if (!test::writeArchive(kind, path, items, why)) {
            std::fprintf(stderr, "fuzz_seeds: no %s seed: %s\n", test::archiveKindName(kind),
                         why.c_str());
            continue;
        }
        seed("fuzz_archive", test::archiveKindName(kind), test::readFile(path));
        if (kind == test::ArchiveKind::Lzh) {
            const std::string outer = archives.file("nested.zip");
            if (test::writeArchive(test::ArchiveKind::Zip, outer,
                                   {{"dl.lzh", test::readFile(path)}}, why))
                seed("fuzz_archive", "nested", test::readFile(outer));
        }
    }
    fs::create_directories(archives.file("files/dir"));
    test::writeFile(archives.file("files/a.txt"), "text text text text");
    test::writeFile(archives.file("files/dir/b.bin"), std::string(300, 'z'));
    for (auto [name, command] :
         {std::pair{"tool-zip", "zip -qr ../out.zip a.txt dir"},
          {"tool-7z", "7z a -bd -t7z ../out.7z a.txt dir"},
          {"tool-iso", "xorriso -as mkisofs -quiet -J -R -o ../out.iso ."}}) {
        const std::string out = archives.file(std::string("out.") + (name + 5));
        fs::remove(out);
        const std::string line =
            "cd '" + archives.file("files") + "' && " + command + " > /dev/null 2>&1";
        if (std::system(line.c_str()) == 0 && fs::exists(out))
            seed("fuzz_archive", name, test::readFile(out));
        else
            std::fprintf(stderr, "fuzz_seeds: no %s seed\n", name);
    }
    return 0;
}
