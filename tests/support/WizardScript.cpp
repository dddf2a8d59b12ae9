#include "WizardScript.h"
#include "Windows.h"

#include <gtest/gtest.h>

namespace {

thread_local WizardScript* t_script = nullptr;

}  // namespace

WizardScript& WizardScript::Then(std::function<void()> action)
{
    steps_.push_back({false, [action]() {
                          action();
                          return true;
                      }});
    return *this;
}

WizardScript& WizardScript::WaitUntil(std::function<bool()> condition)
{
    steps_.push_back({true, std::move(condition)});
    return *this;
}

void CALLBACK WizardScript::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (t_script != nullptr)
        t_script->Tick();
}

void WizardScript::Abort(const char* why)
{
    if (!aborted_)
        ADD_FAILURE() << why << " (at step " << next_ << " of " << steps_.size() << ")";
    aborted_ = true;
    // Close whatever the wizard shows: message boxes first, then the sheet.
    for (HWND hwnd : testing_support::ThreadWindows()) {
        if (testing_support::ClassName(hwnd) == L"#32770" && ::IsWindowVisible(hwnd) &&
            hwnd != testing_support::FindSheet())
            ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    }
    if (HWND sheet = testing_support::FindSheet())
        ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

void WizardScript::Tick()
{
    if (aborted_) {
        Abort("aborted");
        return;
    }
    if (static_cast<LONG>(::GetTickCount() - deadline_) > 0) {
        Abort("the wizard script timed out");
        return;
    }
    if (next_ >= steps_.size())
        return;
    const Step& step = steps_[next_];
    if (step.wait) {
        if (step.run())
            ++next_;
    } else {
        // Counted before it runs: a step may run a modal loop of its own (a
        // message box, say), and the steps after it then run from inside.
        ++next_;
        step.run();
    }
    if (::testing::Test::HasFatalFailure())
        Abort("a step failed");
}
void WizardScript::Run(const std::function<void()>& body, DWORD timeoutMs)
{
    WizardScript* outer = t_script;
    t_script = this;
    next_ = 0;
    aborted_ = false;
    deadline_ = ::GetTickCount() + timeoutMs;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &OnTimer);
    body();
    ::KillTimer(nullptr, timer);
    t_script = outer;
    if (!aborted_ && next_ < steps_.size())
        ADD_FAILURE() << "the wizard ended after " << next_ << " of " << steps_.size() << " steps";
}
