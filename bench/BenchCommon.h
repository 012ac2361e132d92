// What the benchmark programs share: the wizard's size and the conversion of
// performance-counter readings.
#pragma once

#include <windows.h>

namespace bench {

// The wizard's client size (layout 11001), which the blank window of the
// first-frame benchmark and the layout benchmark take too.
constexpr int kWizardWidth = 530;
constexpr int kWizardHeight = 400;

constexpr double kMicrosecondsPerSecond = 1e6;

// Microseconds between two performance-counter readings.
inline double Microseconds(LONGLONG from, LONGLONG to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to - from) * kMicrosecondsPerSecond / static_cast<double>(frequency.QuadPart);
}

}  // namespace bench
