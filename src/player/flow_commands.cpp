// Branching, jumps, calls, variables and waits.
#include <string>

#include "platform/dialogs.hpp"
#include "player/player.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

using platform::BoxKind;

bool Player::skipToBlockEnd(int32_t level) {
    CommandCache& commands = access_->commands();
    int32_t count = commands.commandCount();
    for (int32_t i = access_->commandIndex; i < count; ++i) {
        if (commands.getCommandLevel(i) == level) {
            access_->commandIndex = i + 1;
            return true;
        }
    }
    return false;
}

bool Player::runIf(const Command& command) {
    std::string type = command.getParamText("if.VariableType", "Value");
    std::string compare = command.getParamText("if.Compare", "Equal");
    std::string left = command.getParamText("if.Variable1", "");
    std::string right = command.getParamText("if.Variable2", "");
    Variables& vars = access_->variables();

    bool holds = false;
    if (type == "Value") {
        int32_t x = vars.getValue(left);
        int32_t y = vars.getValue(right);
        if (compare == "Equal") holds = x == y;
        else if (compare == "Unequal") holds = x != y;
        else if (compare == "Up") holds = x < y;
        else if (compare == "Down") holds = x > y;
        else if (compare == "UpEqual") holds = x <= y;
        else if (compare == "DownEqual") holds = x >= y;
    } else {
        bool error;
        std::string s1 = vars.expandText(left, error);
        std::string s2 = vars.expandText(right, error);
        if (compare == "Equal") holds = s1 == s2;
        else if (compare == "Unequal") holds = s1 != s2;
        else if (compare == "in") holds = !s2.empty() && s1.find(s2) != std::string::npos;
    }
    if (holds || skipToBlockEnd(command.level)) return true;
    services_.dialogs->showMessage(BoxKind::ErrorOk, texts::kIfWithoutEndif);
    return false;
}

bool Player::runElse(const Command& command) {
    if (skipToBlockEnd(command.level)) return true;
    services_.dialogs->showMessage(BoxKind::ErrorOk, texts::kElseWithoutEndif);
    return false;
}

bool Player::runMove(const Command& command) {
    access_->jumpTo(command.getParamText("Move.BookName", ""),
                    command.getParamText("Move.PageName", ""));
    return true;
}

bool Player::runCall(const Command& command) {
    access_->callPage(command.getParamText("Call.BookName", ""),
                      command.getParamText("Call.PageName", ""));
    return true;
}

bool Player::runReturn(const Command&) {
    if (!access_->returnFromCall())
        services_.dialogs->showMessage(BoxKind::WarningOk, texts::kStackUnderflow);
    return true;
}

bool Player::runValueCtrl(const Command& command) {
    Variables& vars = access_->variables();
    int32_t left = vars.getValue(command.getParamText("ValueCtrl.LeftValue", ""));
    int32_t right = vars.getValue(command.getParamText("ValueCtrl.RightValue", ""));
    std::string calc = command.getParamText("ValueCtrl.Calc", "");
    // Wrapping arithmetic is done in unsigned form, where overflow is defined.
    uint32_t l = static_cast<uint32_t>(left), r = static_cast<uint32_t>(right);
    int32_t result = left;
    if (calc == "Add") {
        result = static_cast<int32_t>(l + r);
    } else if (calc == "Sub") {
        result = static_cast<int32_t>(l - r);
    } else if (calc == "Mul") {
        result = static_cast<int32_t>(l * r);
    } else if (calc == "Div" || calc == "Mod") {
        if (right == 0) {
            services_.dialogs->showMessage(BoxKind::Plain, texts::kDivideByZero);
            return false;
        }
        // The smallest integer divided by -1 would trap; it wraps to itself, remainder 0.
        if (left == INT32_MIN && right == -1)
            result = calc == "Div" ? INT32_MIN : 0;
        else
            result = calc == "Div" ? left / right : left % right;
    }
    vars.setValue(command.getParamText("ValueCtrl.ValueVar", ""), result);
    return true;
}

bool Player::runStringCtrl(const Command& command) {
    Variables& vars = access_->variables();
    bool error;
    std::string text = vars.expandText(command.getParamText("StringCtrl.Text", ""), error);
    vars.setText(command.getParamText("StringCtrl.StringVar", ""), text);
    return true;
}

bool Player::runStringInput(const Command& command) {
    Variables& vars = access_->variables();
    std::string reference = command.getParamText("StringInput.StringVar", "");
    bool error;
    std::string value = vars.expandText(reference, error);
    // Cancel keeps the present value.
    services_.dialogs->inputBox(command.getParamText("StringInput.Caption", ""),
                                command.getParamText("StringInput.Text", ""), value);
    vars.setText(reference, value);
    return true;
}

bool Player::runWait(const Command& command) {
    RunState& process = access_->process();
    process.beginWait();
    if (command.getParamFlag("Wait.TimeBreak", false))
        process.startWaitTimer(command.getParamValue("Wait.Time", 0));
    if (command.getParamFlag("Wait.InputBreak", false)) {
        process.enableActiveClick();
        if (command.getParamText("Wait.Input", "Keypress") != "Clickable")
            process.enableAnykeyClick();
    }
    return true;
}

}  // namespace zarvo
