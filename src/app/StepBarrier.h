// Runs one step of the start-up or tear-down so that nothing it throws goes
// further. Best effort is the rule everywhere: a step that fails (an
// allocation the machine cannot satisfy, say) has simply done no more, and the
// steps after it still run.
#pragma once

namespace app {

// True when the step ran to its end.
template <typename Step>
bool RunStep(Step&& step) noexcept {
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace app
