#include "platform/dialogs.hpp"

namespace zarvo::platform {

std::string_view boxKindName(BoxKind kind) {
    switch (kind) {
        case BoxKind::ErrorOk:
            return "error";
        case BoxKind::ErrorAbortIgnore:
            return "error-abort-ignore";
        case BoxKind::WarningYesNo:
            return "warning-yes-no";
        case BoxKind::WarningAbortIgnore:
            return "warning-abort-ignore";
        case BoxKind::WarningOk:
            return "warning";
        case BoxKind::InformationOk:
            return "information";
        case BoxKind::Plain:
            return "plain";
    }
    return "plain";
}

std::string_view boxAnswerName(BoxAnswer answer) {
    switch (answer) {
        case BoxAnswer::Ok:
            return "ok";
        case BoxAnswer::Cancel:
            return "cancel";
        case BoxAnswer::Yes:
            return "yes";
        case BoxAnswer::No:
            return "no";
        case BoxAnswer::Abort:
            return "abort";
        case BoxAnswer::Ignore:
            return "ignore";
    }
    return "ok";
}

BoxAnswer defaultAnswer(BoxKind kind) {
    switch (kind) {
        case BoxKind::ErrorAbortIgnore:
        case BoxKind::WarningAbortIgnore:
            return BoxAnswer::Ignore;
        case BoxKind::WarningYesNo:
            return BoxAnswer::Yes;
        default:
            return BoxAnswer::Ok;
    }
}

}  // namespace zarvo::platform
