#include "player/story_parts.hpp"

#include "audio/music_control.hpp"
#include "platform/clock.hpp"
#include "platform/file_system.hpp"
#include "player/notices.hpp"
#include "save/save_files.hpp"
#include "story/story_key.hpp"

namespace zarvo {

StoryParts::StoryParts(const Services& services, const std::string& programDir,
                       ProgramControl& program)
    : files(std::make_unique<ReaderCopyFileSystem>(services.files)),
      programDir(programDir),
      dialogs(std::make_unique<EndingDialogs>(services.dialogs, services.host)),
      notices(std::make_unique<Notices>(*dialogs)),
      story(std::make_unique<Story>(
          Story::Services{&services.host, services.clock, *notices, *files, programDir})),
      execution(std::make_unique<Execution>(story->script(), services.clock, *notices)) {
    Screen::Services shown{.script = story->script(),
                           .process = execution->state(),
                           .layerDefinitions = story->layers(),
                           .systemFont = story->systemFont,
                           .notices = *notices};
    shown.loadGraphic = [this](std::string_view name, Surface& surface) {
        Picture picture;
        if (!story->loadPicture(name, picture)) return false;
        surface.assignPicture(std::move(picture));
        return true;
    };
    shown.endApplication = [&program] { program.endProgram(true); };
    shown.fonts = services.fonts;
    shown.effects.clock = &services.clock;
    shown.effects.pumpMessages = [&host = services.host] { host.processMessages(); };
    screen = std::make_unique<Screen>(shown);
    music = std::make_unique<MusicControl>(
        MusicControl::Services{services.players, services.host, services.clock});
    save = std::make_unique<SaveFiles>(
        SaveFiles::Services{*story, *execution, *screen, *music, *notices, *files, services.clock});
    interpreter = std::make_unique<Interpreter>(Interpreter::Parts{
        *story, *execution, *screen, *music, *save, *dialogs, *notices, program});
}

StoryParts::~StoryParts() = default;

void StoryParts::keepWritesOf(const std::string& path) {
    if (readerDataFolder.empty() || files->directoryExists(path)) return;
    const std::string parent = platform::parentPath(path);
    const std::string folder = parent.empty() ? std::string(".") : parent;
    platform::FileSystem& own = files->underlying();
    if (own.exists(path) && !folderIsWritable(own, folder))
        files->redirect(folder, readerStoryFolder(readerDataFolder, storyKey(own, path)));
}

}  // namespace zarvo
