#pragma once
// How one step of a job ended, named for what happened, and the one way a problem is put to the
// user until it is resolved.

#include "engine/EraseNotice.h"

#include <cstdint>
#include <string>

enum class Ended : uint8_t {
    Done,    // the step did all it was for
    Skipped, // the user chose to leave the item as it is after a problem
    Stopped, // the job ends: the user stopped it, it was cancelled, or memory ran out
};

struct Outcome {
    Ended ended;
    int32_t problem; // the problem that led to a skip or a stop; 0 for a cancel and for done
};

constexpr Outcome kStepDone = {Ended::Done, 0};
constexpr Outcome kStepCancelled = {Ended::Stopped, 0};

// The end a problem's answer other than Retry gives the step: Skip leaves the item, anything
// else stops the job.
inline Outcome OutcomeOfAnswer(int32_t answer, int32_t problem)
{
    return {answer == kAnswerSkip ? Ended::Skipped : Ended::Stopped, problem};
}

// What one try of a step found: 0 when it is done, or the problem to ask about, with the
// system's error that caused it (a holder may be behind a sharing or lock violation).
struct Attempt {
    int32_t problem;
    unsigned long error;
};

constexpr Attempt kAttemptDone = {0, 0};

// Tries the step until it is done, asking after each failure: Retry tries again, Skip and Stop
// end it. `askHolder(answer)` is asked first where a holder may be the cause; false where it
// found none, and the problem itself is asked. `attempt(besideHolders)`: whether a holder was
// freed since the first try. The path is read at each question: a step may rename the item.
template <class Try, class AskHolder>
Outcome UntilResolved(NoticeCallback notify, const std::wstring& path, Try attempt, AskHolder askHolder)
{
    bool besideHolders = false;
    for (;;) {
        const Attempt tried = attempt(besideHolders);
        if (tried.problem == 0)
            return kStepDone;
        int32_t answer = 0;
        if (IsHolderError(tried.error) && askHolder(answer)) {
            besideHolders |= answer == kAnswerRetry;
        } else {
            answer = SendProblem(notify, path.c_str(), tried.problem);
        }
        if (answer != kAnswerRetry)
            return OutcomeOfAnswer(answer, tried.problem);
    }
}
