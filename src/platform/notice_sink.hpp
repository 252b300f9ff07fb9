// What the engine tells the user: each notice names one situation, and its details carry the
// variable parts (paths, names, numbers as text) as code page 932. The player decides how each
// notice is shown, so the engine holds no box texts and no box kinds of its own.
#pragma once
#include <initializer_list>
#include <string_view>

#include "platform/dialogs.hpp"

namespace zarvo::platform {

enum class Notice {
    // Opening a project. Details: the project's path.
    ScriptOpenFailed,
    // A folder given as the project. Details: the folder; the story files found, one a line.
    ProjectFolderEmpty,
    ProjectFolderSeveral,
    WrongHeaderId,
    WrongFileType,        // Abort ends the program
    NewerCommandVersion,  // Abort ends the program
    // Extracting package entries. Details: the folder (ask), the entry's name (the others).
    AskCreateDataFolder,
    FolderCreateFailed,
    ExtractUnsafeName,
    ExtractFailed,
    MagDecodeFailed,
    // The script. Details: the damage's tag, the unknown marker line.
    ScriptDamaged,
    UnknownBlock,
    TooManyCommands,
    // Details: the operation ("Set_Value"), the reference as written.
    VariableSyntaxError,
    BrokenStack,
    // The screen. Details: the layer's name, the picture's file name.
    LayerNotFound,
    ImageLoadFailed,  // Abort ends the program
    DynamicLayerCreateFailed,
    // Save files. Details: the path; for SaveDamaged also the entry, possibly empty.
    SaveWriteFailed,
    SaveNotFlushed,
    SaveDamaged,
    SaveAppendUnreadable,
    AskCreateSaveFolder,
    IncompatibleSave,  // Abort refuses the save
    ScreenSaveFailed,
    ScreenLoadFailed,
    // The reader's save states. Details: the state file's path (write failed, damaged).
    StateWriteFailed,
    StateDamaged,
    StateOtherStory,
    StateOtherPlayer,
    // Running the story. Details: book and page (PageNotFound); book, page, line number,
    // keyword and the library's own words, possibly empty (CommandFailed); the picture's file
    // name (GraphicDrawFailed); the command as written (UnknownSystemCommand).
    LibraryOpenFailed,
    PageNotFound,
    CommandFailed,
    UnknownCommand,
    IfWithoutEndif,
    ElseWithoutEndif,
    StackUnderflow,
    DivideByZero,
    GraphicDrawFailed,
    LoadValueBadVariable,
    UnknownSystemCommand,
};

class NoticeSink {
  public:
    virtual ~NoticeSink() = default;
    // Shows the notice and returns the user's answer (OK where the box asks nothing).
    virtual BoxAnswer tell(Notice notice, std::initializer_list<std::string_view> details) = 0;
    BoxAnswer tell(Notice notice) { return tell(notice, {}); }
};

}  // namespace zarvo::platform
