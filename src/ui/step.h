// One statement that may fail with a run-time error and whose handler lets the user (or the
// automatic run's rule) decide: do it again, go on after it, or give up.
#pragma once

#include <functional>
#include <string>

#include "platform/errors.h"

namespace updexar {

enum class StepAnswer { Abort, Retry, Ignore };

// Runs the statement; on a run-time error asks `onError` and retries, or returns true to go on
// after the statement (Ignore), or false (Abort).
bool RunStep(const std::function<void()>& statement, const std::function<StepAnswer(const RuntimeError&)>& onError);

// The answer a message box result stands for: 3 Abort, 4 Retry, anything else Ignore.
StepAnswer StepAnswerOf(int messageResult);

}  // namespace updexar
