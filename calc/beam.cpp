#include "beam.h"

#include <array>

#include "numtext.h"

namespace quorvane {

BeamOutcome EvaluateBeam(const InputTexts& texts, const ResultSink& sink) {
    // A schedule leaves most columns at their defaults: those are read once.
    static const std::array<Reading, kInputCount> defaults = [] {
        std::array<Reading, kInputCount> read{};
        for (std::size_t i = 0; i < kInputCount; ++i) read[i] = ReadText(kParams[i].defaultText);
        return read;
    }();
    BeamOutcome row;
    InputReadings readings;
    for (std::size_t i = 0; i < kInputCount; ++i) {
        if (texts[i] == kParams[i].defaultText) {
            readings[i] = defaults[i].value;  // a default is always acceptable
            continue;
        }
        const Reading reading = ReadText(texts[i]);
        readings[i] = reading.value;
        if (IsAcceptableInput(i, texts[i], reading)) continue;
        if (!row.refused) row.error = InputRefusal(i, texts[i]);
        row.refused |= 1u << i;
    }
    if (row.refused) return row;
    try {
        row.calculation = ComputeLoadsFromReadings(readings, sink);
        row.copied = CopiedLoadText(row.calculation.results.CadInputLoad);
    } catch (const ArithmeticError& e) {
        row.error = e.what();
        row.failedStep = e.step();
        row.cause = e.cause();
    }
    return row;
}

}  // namespace quorvane
