#include "player/ending_dialogs.hpp"

namespace zarvo {

using platform::BoxAnswer;
using platform::BoxKind;

BoxAnswer EndingDialogs::showMessageWithNote(BoxKind kind, std::string_view text,
                                             std::string_view note) {
    if (onBox) onBox();
    if (!silent()) return inner_.showMessageWithNote(kind, text, note);
    switch (kind) {
        case BoxKind::ErrorAbortIgnore:
        case BoxKind::WarningAbortIgnore:
            return BoxAnswer::Abort;
        case BoxKind::WarningYesNo:
            return BoxAnswer::No;
        default:
            return BoxAnswer::Ok;
    }
}

}  // namespace zarvo
