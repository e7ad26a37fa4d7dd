// How often a busy loop lets its window repaint. Doing it for every item would repaint a label
// and a bar thousands of times a second, and one repaint can cost more than the item (under Wine
// it is a string of round trips to the X server). So a window is brought up to date a few times
// a second, and less often where repainting is slow, so that it never takes more than a
// twentieth of the work. The gaps are real time, also on a clock made to run fast: they are about
// what a screen can show, not about the program's waits.
#pragma once

#include <cstdint>

namespace updexar {

class RepaintPace {
public:
    // Whether the window is due (always for the last item); the caller then repaints and calls
    // Done().
    bool Due(bool last = false);
    void Done();
    // Lets the window repaint when it is due.
    void Maybe();

private:
    bool shown_ = false;
    int64_t startMs_ = 0;
    int64_t gapMs_ = kMinimumGapMs;
    static constexpr int64_t kMinimumGapMs = 40;
};

}  // namespace updexar
