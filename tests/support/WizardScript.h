// Drives a wizard that runs modally on the test's own thread: the test
// queues steps, then runs the code that shows the wizard; the steps run one
// after the other from a thread timer inside the wizard's modal loop. A
// timer fires only when the thread has no other message waiting, so each
// step sees everything that the previous one caused (posted button sets
// included).
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

class WizardScript {
public:
    // A step that runs once.
    WizardScript& Then(std::function<void()> action);
    // A step that waits until the condition holds (checked at every tick).
    WizardScript& WaitUntil(std::function<bool()> condition);

    // Runs body, which shows the wizard and returns when it has ended, while
    // the steps run. A failing step (fatal failure) or a timeout cancels the
    // wizard and fails the test; so does a body that ends before every step
    // has run.
    void Run(const std::function<void()>& body, DWORD timeoutMs = 30000);

    size_t StepsRun() const { return next_; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Tick();
    void Abort(const char* why);

    struct Step {
        bool wait;                  // WaitUntil: retried until it returns true
        std::function<bool()> run;
    };
    std::vector<Step> steps_;
    size_t next_ = 0;
    DWORD deadline_ = 0;
    bool aborted_ = false;
};
