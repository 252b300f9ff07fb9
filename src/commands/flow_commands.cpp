// Branching, jumps, calls, variables and waits.
#include <string>

#include "commands/interpreter.hpp"
#include "interp/execution.hpp"
#include "platform/notice_sink.hpp"
#include "story/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

using platform::Notice;

bool Interpreter::runIf(const Command& command) {
    namespace p = params::if_;
    bool values = command.choice(p::kVariableType, VariableType::Other) == VariableType::Value;
    Compare compare = command.choice(p::kCompare, Compare::Other);
    std::string left = command.text(p::kVariable1);
    std::string right = command.text(p::kVariable2);
    Variables& vars = story_.variables();

    bool holds = false;
    if (values) {
        int32_t x = vars.getValue(left);
        int32_t y = vars.getValue(right);
        switch (compare) {
            case Compare::Equal:
                holds = x == y;
                break;
            case Compare::Unequal:
                holds = x != y;
                break;
            case Compare::Up:
                holds = x < y;
                break;
            case Compare::Down:
                holds = x > y;
                break;
            case Compare::UpEqual:
                holds = x <= y;
                break;
            case Compare::DownEqual:
                holds = x >= y;
                break;
            default:
                break;
        }
    } else {
        bool error;
        std::string s1 = vars.expandText(left, error);
        std::string s2 = vars.expandText(right, error);
        switch (compare) {
            case Compare::Equal:
                holds = s1 == s2;
                break;
            case Compare::Unequal:
                holds = s1 != s2;
                break;
            case Compare::In:
                holds = !s2.empty() && s1.find(s2) != std::string::npos;
                break;
            default:
                break;
        }
    }
    if (holds || execution_.skipPastLevel(command.level)) return true;
    notices_.tell(Notice::IfWithoutEndif);
    return false;
}

bool Interpreter::runElse(const Command& command) {
    if (execution_.skipPastLevel(command.level)) return true;
    notices_.tell(Notice::ElseWithoutEndif);
    return false;
}

bool Interpreter::runMove(const Command& command) {
    execution_.jumpTo(command.text(params::move::kBookName), command.text(params::move::kPageName));
    return true;
}

bool Interpreter::runCall(const Command& command) {
    execution_.callPage(command.text(params::call::kBookName),
                        command.text(params::call::kPageName));
    return true;
}

bool Interpreter::runReturn(const Command&) {
    if (!execution_.returnFromCall()) notices_.tell(Notice::StackUnderflow);
    return true;
}

bool Interpreter::runValueCtrl(const Command& command) {
    namespace p = params::value_ctrl;
    Variables& vars = story_.variables();
    int32_t left = vars.getValue(command.text(p::kLeftValue));
    int32_t right = vars.getValue(command.text(p::kRightValue));
    // Empty or unknown stores the left value as it is.
    Calc calc = command.choice(p::kCalc, Calc::Other);
    // Wrapping arithmetic is done in unsigned form, where overflow is defined.
    uint32_t l = static_cast<uint32_t>(left), r = static_cast<uint32_t>(right);
    int32_t result = left;
    switch (calc) {
        case Calc::Add:
            result = static_cast<int32_t>(l + r);
            break;
        case Calc::Sub:
            result = static_cast<int32_t>(l - r);
            break;
        case Calc::Mul:
            result = static_cast<int32_t>(l * r);
            break;
        case Calc::Div:
        case Calc::Mod:
            if (right == 0) {
                notices_.tell(Notice::DivideByZero);
                return false;
            }
            // The smallest integer divided by -1 would trap; it wraps to itself, remainder 0.
            if (left == INT32_MIN && right == -1)
                result = calc == Calc::Div ? INT32_MIN : 0;
            else
                result = calc == Calc::Div ? left / right : left % right;
            break;
        case Calc::Other:
            break;
    }
    vars.setValue(command.text(p::kValueVar), result);
    return true;
}

bool Interpreter::runStringCtrl(const Command& command) {
    Variables& vars = story_.variables();
    bool error;
    std::string text = vars.expandText(command.text(params::string_ctrl::kText), error);
    vars.setText(command.text(params::string_ctrl::kStringVar), text);
    return true;
}

bool Interpreter::runStringInput(const Command& command) {
    Variables& vars = story_.variables();
    std::string reference = command.text(params::string_input::kStringVar);
    bool error;
    std::string value = vars.expandText(reference, error);
    // Cancel keeps the present value.
    dialogs_.inputBox(command.text(params::string_input::kCaption),
                      command.text(params::string_input::kText), value);
    vars.setText(reference, value);
    return true;
}

bool Interpreter::runWait(const Command& command) {
    RunState& process = execution_.state();
    process.beginWait();
    if (command.flag(params::wait::kTimeBreak))
        process.startWaitTimer(command.number(params::wait::kTime));
    if (command.flag(params::wait::kInputBreak)) {
        process.enableActiveClick();
        if (command.choice(params::wait::kInput, WaitInput::Keypress) != WaitInput::Clickable)
            process.enableAnykeyClick();
    }
    return true;
}

}  // namespace zarvo
