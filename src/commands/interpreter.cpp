#include "commands/interpreter.hpp"

#include <exception>
#include <optional>

#include "graphics/screen.hpp"
#include "interp/execution.hpp"
#include "platform/notice_sink.hpp"
#include "story/story.hpp"

namespace zarvo {

using platform::Notice;

Interpreter::Interpreter(const Parts& parts)
    : story_(parts.story),
      execution_(parts.execution),
      screen_(parts.screen),
      music_(parts.music),
      saves_(parts.saves),
      dialogs_(parts.dialogs),
      notices_(parts.notices),
      program_(parts.program) {}

Interpreter::Step Interpreter::step() {
    RunState& process = execution_.state();
    CommandCache& commands = execution_.commands();

    if (!process.beginStep()) return Step::Idle;
    if (process.takeTimerExpired()) expireGauges();

    int32_t count = commands.commandCount();
    // A page that is not there, or that has more commands than can run, ends the story with an
    // error; only the end of a page that ran is a story's own end.
    bool broken = false;
    if (count == 0) {
        int32_t start, end;
        if (!story_.script().findPage(commands.bookName(), commands.pageName(), start, end)) {
            notices_.tell(Notice::PageNotFound, {commands.bookName(), commands.pageName()});
            broken = true;
        } else {
            broken = commands.needsRebuild();  // the page was refused and reported
        }
    }
    if (execution_.nextIndex() >= count) {
        // Passing the end of a page ends the story.
        program_.endProgram(broken);
        return Step::Idle;
    }

    std::optional<Running> nested;
    Running& run = runningInUse_ ? nested.emplace() : running_;
    struct InUse {
        bool& flag;
        const bool was = flag;
        ~InUse() { flag = was; }
    } inUse{runningInUse_};
    runningInUse_ = true;
    const Command& command = run.command;
    const int32_t index = execution_.takeNext();
    commands.getCommand(index, run.command);
    if (onCommand) onCommand(commands.bookName(), commands.pageName(), index, command);
    // Where the command ran, for a report: a handler may jump before it fails.
    run.book = commands.bookName();
    run.page = commands.pageName();
    bool more = false;
    try {
        more = (this->*handlerFor(command.type))(command);
    } catch (const std::exception& e) {
        reportCommandFailure(command, run.book, run.page, e.what());
    } catch (...) {
        reportCommandFailure(command, run.book, run.page, {});
    }
    process.endStep();
    return more ? Step::Continue : Step::Yield;
}

Interpreter::Handler Interpreter::handlerFor(CommandType type) {
    switch (type) {
        case CommandType::Rem:
        case CommandType::EndIf:
            return &Interpreter::runNothing;
        case CommandType::If:
            return &Interpreter::runIf;
        case CommandType::Else:
            return &Interpreter::runElse;
        case CommandType::Effect:
        case CommandType::GraphicCtrl:
        case CommandType::WindowShow:
            return &Interpreter::endTick;
        case CommandType::ValueCtrl:
            return &Interpreter::runValueCtrl;
        case CommandType::StringCtrl:
            return &Interpreter::runStringCtrl;
        case CommandType::Wait:
            return &Interpreter::runWait;
        case CommandType::Move:
            return &Interpreter::runMove;
        case CommandType::Call:
            return &Interpreter::runCall;
        case CommandType::Return:
            return &Interpreter::runReturn;
        case CommandType::StringInput:
            return &Interpreter::runStringInput;
        case CommandType::MessageDraw:
            return &Interpreter::runMessageDraw;
        case CommandType::GraphicDraw:
            return &Interpreter::runGraphicDraw;
        case CommandType::Music:
            return &Interpreter::runMusic;
        case CommandType::Sound:
            return &Interpreter::runSound;
        case CommandType::MusicStop:
            return &Interpreter::runMusicStop;
        case CommandType::LayerCtrl:
            return &Interpreter::runLayerCtrl;
        case CommandType::Select:
            return &Interpreter::runSelect;
        case CommandType::DynamicLayer:
            return &Interpreter::runDynamicLayer;
        case CommandType::DynamicLayerClear:
            return &Interpreter::runDynamicLayerClear;
        case CommandType::SaveCtrl:
            return &Interpreter::runSaveCtrl;
        case CommandType::System:
            return &Interpreter::runSystem;
        case CommandType::Unknown:
            break;
    }
    return &Interpreter::runUnknown;
}

void Interpreter::reportCommandFailure(const Command& command, const std::string& book,
                                       const std::string& page, std::string_view what) {
    notices_.tell(Notice::CommandFailed,
                  {book, page, std::to_string(command.line + 1), command.keyword, what});
}

bool Interpreter::runUnknown(const Command&) {
    notices_.tell(Notice::UnknownCommand);
    return false;
}

void Interpreter::expireGauges() {
    bool changed = screen_.updateTimerGauges(false, 0);
    changed = screen_.removeDynamicLayers(0, dynamic_ids::kExpiredGauge) || changed;
    if (changed) screen_.refreshAndPaint(0);
}

void Interpreter::composeAndPaint() {
    screen_.compose(0);
    screen_.paint(0);
}

}  // namespace zarvo
