// One beam from its texts to its loads: the one way the window, the
// command-line tool and a schedule's rows are checked and computed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "loads.h"
#include "params.h"

namespace quorvane {

// A refused text is a bit of BeamOutcome::refused: an input beyond the
// 32nd would need a wider set (this stops the build, not a run, if one is added).
static_assert(kInputCount <= 32, "BeamOutcome::refused holds one bit per input: widen it");

// What one beam's texts come to.
struct BeamOutcome {
    Calculation calculation;    // when computed(); empty when a step failed
    std::string copied;         // the copy rule's text of the CAD load, when ok()
    std::string error;          // Chinese, naming the first refused text or the failed step; empty when ok()
    std::uint32_t refused = 0;  // bit i: text i breaks its rule (nothing is computed then)
    std::optional<Step> failedStep;                       // where the arithmetic stopped
    ArithmeticCause cause = ArithmeticCause::Overflow;    // and why (with failedStep)
    bool ok() const { return error.empty(); }
    bool IsRefused(std::size_t index) const { return (refused >> index) & 1u; }
    // The four loads were made (only the copy rule may have failed).
    bool computed() const { return !calculation.results.CadInputLoad.empty(); }
};

// Checks every text by its rule (each refused one gets its bit; the error
// names the first), then computes, handing each result text to sink the
// moment its step makes it, then applies the copy rule. Never throws.
BeamOutcome EvaluateBeam(const InputTexts& texts, const ResultSink& sink = {});
inline BeamOutcome EvaluateBeam(const BeamTexts& texts, const ResultSink& sink = {}) {
    return EvaluateBeam(texts.Views(), sink);
}

}  // namespace quorvane
