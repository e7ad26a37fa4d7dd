#include "ui/step.h"

#include "ui/msgbox.h"

namespace updexar {

bool RunStep(const std::function<void()>& statement, const std::function<StepAnswer(const RuntimeError&)>& onError) {
    while (true) {
        try {
            statement();
            return true;
        } catch (const RuntimeError& e) {
            switch (onError(e)) {
                case StepAnswer::Retry: continue;
                case StepAnswer::Ignore: return true;
                case StepAnswer::Abort: return false;
            }
        }
    }
}

StepAnswer StepAnswerOf(int messageResult) {
    if (messageResult == MsgAbort) return StepAnswer::Abort;
    if (messageResult == MsgRetry) return StepAnswer::Retry;
    return StepAnswer::Ignore;
}

}  // namespace updexar
