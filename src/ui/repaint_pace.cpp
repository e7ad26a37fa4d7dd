#include "ui/repaint_pace.h"

#include <algorithm>

#include "forms/application.h"
#include "platform/platform.h"

namespace updexar {

bool RepaintPace::Due(bool last) {
    platform::Clock& clock = *platform::Os().clock;
    const int64_t now = clock.MonotonicMs();
    if (!last && shown_ && clock.RealMsFor(now - startMs_) < gapMs_) return false;
    shown_ = true;
    startMs_ = now;
    return true;
}

void RepaintPace::Done() {
    platform::Clock& clock = *platform::Os().clock;
    gapMs_ = std::max<int64_t>(kMinimumGapMs, clock.RealMsFor(clock.MonotonicMs() - startMs_) * 20);
}

void RepaintPace::Maybe() {
    if (!Due()) return;
    forms::DoEvents();
    Done();
}

}  // namespace updexar
