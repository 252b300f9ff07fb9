// The interpreter: runs the story's commands one at a time, each through its handler (one file
// per family: flow, screen, layers, audio, save and system). It owns no state of its own beyond a
// mode: the place and the run state are the Execution's, the pictures the Screen's.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "script/command_cache.hpp"

namespace zarvo {

namespace platform {
class Dialogs;
class NoticeSink;
}  // namespace platform

class Execution;
class MusicControl;
class SaveFiles;
class Screen;
class Story;

// What the commands ask of the program that runs them.
class ProgramControl {
  public:
    virtual ~ProgramControl() = default;
    // The story is over: after its last command, or (fatal) after an error.
    virtual void endProgram(bool fatal) = 0;
    virtual void enterFullScreen() = 0;
    virtual void leaveFullScreen() = 0;
};

class Interpreter {
  public:
    struct Parts {
        Story& story;
        Execution& execution;
        Screen& screen;
        MusicControl& music;
        SaveFiles& saves;
        platform::Dialogs& dialogs;  // the input box of StringInput
        platform::NoticeSink& notices;
        ProgramControl& program;
    };

    enum class Step : uint8_t {
        Idle,      // no command ran: the run state holds the step back, or the story ended
        Continue,  // a command ran and the next may follow in the same tick
        Yield,     // a command ran and the rest waits for the next tick
    };

    explicit Interpreter(const Parts& parts);

    // Runs the next command, if the run state lets one run.
    Step step();

    // What "@System" does for `what` (`volume` for the two volume commands), for the player's
    // settings menu: the story's variables follow as they do for the command. False for Other.
    bool runSystemAction(SystemCommand what, int32_t volume = 0);

    // The legacy drawing mode of old stories (merge onto the background).
    void setLegacyMode(bool on) { legacyMode_ = on; }

    // Observes each command just before its handler runs (traces).
    std::function<void(const std::string& book, const std::string& page, int32_t index,
                       const Command& command)>
        onCommand;

  private:
    using Handler = bool (Interpreter::*)(const Command&);
    static Handler handlerFor(CommandType type);

    // A handler that failed with an exception: says which command, where, and goes on.
    void reportCommandFailure(const Command& command, const std::string& book,
                              const std::string& page, std::string_view what);
    void expireGauges();
    void composeAndPaint();

    // Handlers: the fetched command in, the continue flag out.
    bool runUnknown(const Command&);
    bool runNothing(const Command&) { return true; }
    bool endTick(const Command&) { return false; }
    // Branches, jumps, calls, variables and waits (flow_commands.cpp).
    bool runIf(const Command&);
    bool runElse(const Command&);
    bool runMove(const Command&);
    bool runCall(const Command&);
    bool runReturn(const Command&);
    bool runValueCtrl(const Command&);
    bool runStringCtrl(const Command&);
    bool runStringInput(const Command&);
    bool runWait(const Command&);
    // Messages and pictures (screen_commands.cpp).
    bool runMessageDraw(const Command&);
    bool runGraphicDraw(const Command&);
    // Layers, dynamic layers and choices (layer_commands.cpp).
    bool runLayerCtrl(const Command&);
    bool runDynamicLayer(const Command&);
    bool runDynamicLayerClear(const Command&);
    bool runSelect(const Command&);
    // Music and sound (audio_commands.cpp).
    bool runMusic(const Command&);
    bool runSound(const Command&);
    bool runMusicStop(const Command&);
    // Save files, settings and player-wide switches (system_commands.cpp).
    bool runSaveCtrl(const Command&);
    bool runSystem(const Command&);

    // The command being run and where it came from. Its buffers serve one step after another,
    // so a step allocates nothing once the lines have been seen; a step started from inside a
    // handler finds it in use and makes its own.
    struct Running {
        Command command;
        std::string book, page;
    };
    Running running_;
    bool runningInUse_ = false;

    Story& story_;
    Execution& execution_;
    Screen& screen_;
    MusicControl& music_;
    SaveFiles& saves_;
    platform::Dialogs& dialogs_;
    platform::NoticeSink& notices_;
    ProgramControl& program_;
    bool legacyMode_ = false;
};

}  // namespace zarvo
