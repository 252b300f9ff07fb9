// Branching, jumps, calls, variables and waits.
#include <string>

#include "platform/dialogs.hpp"
#include "player/player.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

using platform::BoxKind;

bool Player::skipToBlockEnd(int32_t level) {
    CommandCache& commands = access_->commands();
    int32_t count = commands.Get_CommandCount();
    for (int32_t i = access_->commandIndex; i < count; ++i) {
        if (commands.Get_CommandLevel(i) == level) {
            access_->commandIndex = i + 1;
            return true;
        }
    }
    return false;
}

bool Player::runIf(const Command& command) {
    std::string type = command.GetParamText("if.VariableType", "Value");
    std::string compare = command.GetParamText("if.Compare", "Equal");
    std::string left = command.GetParamText("if.Variable1", "");
    std::string right = command.GetParamText("if.Variable2", "");
    Variables& vars = access_->variables();

    bool holds = false;
    if (type == "Value") {
        int32_t x = vars.Get_Value(left);
        int32_t y = vars.Get_Value(right);
        if (compare == "Equal") holds = x == y;
        else if (compare == "Unequal") holds = x != y;
        else if (compare == "Up") holds = x < y;
        else if (compare == "Down") holds = x > y;
        else if (compare == "UpEqual") holds = x <= y;
        else if (compare == "DownEqual") holds = x >= y;
    } else {
        bool error;
        std::string s1 = vars.Expand_Text(left, error);
        std::string s2 = vars.Expand_Text(right, error);
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
    access_->JumpTo(command.GetParamText("Move.BookName", ""),
                    command.GetParamText("Move.PageName", ""));
    return true;
}

bool Player::runCall(const Command& command) {
    access_->CallPage(command.GetParamText("Call.BookName", ""),
                      command.GetParamText("Call.PageName", ""));
    return true;
}

bool Player::runReturn(const Command&) {
    if (!access_->ReturnFromCall())
        services_.dialogs->showMessage(BoxKind::WarningOk, texts::kStackUnderflow);
    return true;
}

bool Player::runValueCtrl(const Command& command) {
    Variables& vars = access_->variables();
    int32_t left = vars.Get_Value(command.GetParamText("ValueCtrl.LeftValue", ""));
    int32_t right = vars.Get_Value(command.GetParamText("ValueCtrl.RightValue", ""));
    std::string calc = command.GetParamText("ValueCtrl.Calc", "");
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
    vars.Set_Value(command.GetParamText("ValueCtrl.ValueVar", ""), result);
    return true;
}

bool Player::runStringCtrl(const Command& command) {
    Variables& vars = access_->variables();
    bool error;
    std::string text = vars.Expand_Text(command.GetParamText("StringCtrl.Text", ""), error);
    vars.Set_Text(command.GetParamText("StringCtrl.StringVar", ""), text);
    return true;
}

bool Player::runStringInput(const Command& command) {
    Variables& vars = access_->variables();
    std::string reference = command.GetParamText("StringInput.StringVar", "");
    bool error;
    std::string value = vars.Expand_Text(reference, error);
    // Cancel keeps the present value.
    services_.dialogs->inputBox(command.GetParamText("StringInput.Caption", ""),
                                command.GetParamText("StringInput.Text", ""), value);
    vars.Set_Text(reference, value);
    return true;
}

bool Player::runWait(const Command& command) {
    RunState& process = access_->process();
    process.BeginWait();
    if (command.GetParamFlag("Wait.TimeBreak", false))
        process.StartWaitTimer(command.GetParamValue("Wait.Time", 0));
    if (command.GetParamFlag("Wait.InputBreak", false)) {
        process.EnableActiveClick();
        if (command.GetParamText("Wait.Input", "Keypress") != "Clickable")
            process.EnableAnykeyClick();
    }
    return true;
}

}  // namespace zarvo
