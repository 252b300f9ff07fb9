#include "support/story.hpp"

#include <filesystem>

#include "archive/package.hpp"
#include "base/string_list.hpp"

namespace zarvo::test {
namespace {

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

std::string storyScript(const std::string& body, const std::string& head) {
    return "/// Game Creative Tool - Zarvo Third -\n/// test story\n<Head=\"Zarvo\">\n" + head +
           "<Head End>\n" + body;
}

bool StoryRun::hasCommand(const std::string& line) const {
    for (const auto& c : commands)
        if (c == line) return true;
    return false;
}

std::vector<std::string> StoryRun::userDump() const {
    std::vector<std::string> out;
    for (const auto& line : dump)
        if (line.rfind("%_musicvolume%=", 0) != 0 && line.rfind("%_soundvolume%=", 0) != 0)
            out.push_back(line);
    return out;
}

long StoryRun::timeOf(const std::string& command) const {
    for (const auto& line : trace)
        if (line.size() > command.size() &&
            line.compare(line.size() - command.size(), command.size(), command) == 0)
            return std::stol(line.substr(0, line.find(' ')));
    return -1;
}

StoryBuilder::StoryBuilder() : programDir(dir.file("program")) {
    std::filesystem::create_directories(programDir);
    writeLibrary(
        "/// system\n<Book=\"_system\">\n<Page=\"_init\">\n@Return\n<Page End>\n"
        "<Page=\"_timer\">\n@Return\n<Page End>\n<Page=\"_reload\">\n@Return\n<Page End>\n"
        "<Book End>\n");
}

std::string StoryBuilder::writeScript(const std::string& utf8Body, const std::string& name) {
    std::string path = dir.file(name);
    writeFile(path, sjis(crlf(utf8Body)));
    return path;
}

void StoryBuilder::writeLibrary(const std::string& utf8SystemScript) {
    PackageWriter writer;
    initWriter(writer);
    setMagic(writer, "QZ7LIB");
    std::string path = programDir + "/zarvoplay.zvl";
    if (!createPackage(test::localFiles(), writer, path)) return;
    writeStreamEntry(writer, sjis(crlf(utf8SystemScript)), "system.zf7");
    finishPackage(writer);
}

void StoryBuilder::writePicture(const std::string& name, int32_t width, int32_t height,
                                uint32_t color) {
    Surface g;
    g.setSize(width, height);
    g.fillRect(0, 0, width, height, color);
    writePngFile(dir.file(name), g);
}

StoryRun StoryBuilder::run(const std::string& projectPath, const std::string& events,
                           uint32_t maxTime) {
    HeadlessOptions options;
    options.projectPath = projectPath;
    options.programDir = programDir;
    options.maxTime = maxTime;
    options.tracePath = dir.file("trace.txt");
    options.dumpPath = dir.file("dump.txt");
    options.shotPath = dir.file("shot.png");
    std::filesystem::remove(options.shotPath);
    options.quiet = true;
    options.settings = settings;
    if (options.settings.path.empty()) options.settings.path = settingsPath();
    // Screenshots never go to the tester's own pictures.
    if (options.settings.picturesFolder.empty())
        options.settings.picturesFolder = dir.file("pictures");
    options.english = english;
    std::string error;
    if (!platform::parseEvents(events, options.events, error)) {
        StoryRun bad;
        bad.trace.push_back("bad events: " + error);
        return bad;
    }
    StoryRun result;
    result.status = runHeadless(options);
    result.trace = splitLines(readFile(options.tracePath));
    for (const auto& line : result.trace) {
        std::string rest = line.substr(line.find(' ') + 1);
        if (rest.rfind("cursor ", 0) == 0)
            result.cursors.push_back(line);
        else if (rest.rfind("player ", 0) == 0)
            result.player.push_back(line);
        else
            (rest.rfind("box ", 0) == 0 ? result.boxes : result.commands).push_back(rest);
    }
    result.dump = splitLines(readFile(options.dumpPath));
    readPngFile(options.shotPath, result.shot);
    return result;
}

}  // namespace zarvo::test
