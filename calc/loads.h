// The load formulas of one beam, in the exact order and grouping that the
// hand calculation uses. Every operation is one binary64 rounding (this
// library is built without floating-point contraction).
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "params.h"

namespace quorvane {

// The steps of a calculation, numbered as the user reads them; CopyLoad is
// the copy command's own arithmetic.
enum class Step {
    ConvertInputs = 1,
    BeamConcreteLoad,
    BeamPlasterLoad,
    BeamSelfWeight,
    WallNetWeight,
    WallPlasterWeight,
    OpeningWeight,
    MasonryWeight,
    TotalDeadLoad,
    CadInputLoad,
    CopyLoad,
};

enum class ArithmeticCause { DivisionByZero, Overflow, Invalid };

// Caption of a step as the report and the messages name it ("墙净重").
std::string_view StepCaption(Step step);

// The one failure of the arithmetic: the step that stopped and why.
// what() is a complete Chinese message for the user.
class ArithmeticError : public std::runtime_error {
public:
    ArithmeticError(Step step, ArithmeticCause cause);
    Step step() const { return step_; }
    ArithmeticCause cause() const { return cause_; }

private:
    Step step_;
    ArithmeticCause cause_;
};

struct LoadResults {
    double BeamConcreteLoad = 0;   // kN/m
    double BeamPlasterLoad = 0;    // kN/m
    double WallNetWeight = 0;      // kN
    double WallPlasterWeight = 0;  // kN
    double OpeningWeight = 0;      // kN
    std::string BeamSelfWeight;    // result texts, kN/m, exactly as shown
    std::string MasonryWeight;
    std::string TotalDeadLoad;
    std::string CadInputLoad;
};

struct Calculation {
    LoadInputs inputs;
    LoadResults results;
};

// Index of each result text as it is handed out: Text1(0) .. Text1(3).
enum ResultIndex : std::size_t {
    kBeamSelfWeight = 0,
    kMasonryWeight = 1,
    kTotalDeadLoad = 2,
    kCadInputLoad = 3,
    kResultCount = 4
};

// Field name of each result, as files and the command line name it.
inline constexpr std::string_view kResultFields[kResultCount] = {"BeamSelfWeight", "MasonryWeight",
                                                                 "TotalDeadLoad", "CadInputLoad"};

// Index of the result with this field name, or -1.
inline int FindResult(std::string_view field) {
    for (std::size_t i = 0; i < kResultCount; ++i)
        if (kResultFields[i] == field) return static_cast<int>(i);
    return -1;
}

// Caption and unit of each result as the window shows them.
inline constexpr std::string_view kResultCaptions[kResultCount] = {
    "梁自重:", "砌体自重:", "梁上总恒载:", "广厦结构CAD应输入:"};
inline constexpr std::string_view kResultUnit = "KN/M";

// A result's caption without its colon, as a column or a step names it: "梁自重".
std::string_view ResultName(std::size_t index);

// Result text i of a finished calculation (ResultIndex order).
const std::string& ResultText(const LoadResults& results, std::size_t index);

// Called with each result text the moment its step has made it, so that a
// window shows the earlier results even when a later step fails.
using ResultSink = std::function<void(std::size_t index, const std::string& text)>;

// The input texts as read by the leading-number reading, in table order.
using InputReadings = std::array<double, kInputCount>;

// The whole calculation over input readings (ReadText of each text, which
// the caller has checked by the input rules): step 1 converts the lengths
// from mm to m. Throws ArithmeticError at the first step whose result is
// not finite; results handed to the sink before that stay valid.
// EvaluateBeam (beam.h) is the way in from texts.
Calculation ComputeLoadsFromReadings(const InputReadings& readings, const ResultSink& sink = {});

// How the copy command rounds a load for the CAD program.
enum class CopyRule {
    TenthUpFromCut,  // cut toward zero to one decimal, then plus 0.1
};

// The copy command's text: the load of `text` rounded by the rule, in
// text-box form ("10.208" -> "10.3", "" -> "0.1"). Throws ArithmeticError
// (Step::CopyLoad) when the tenfold is not finite.
std::string CopiedLoadText(std::string_view text, CopyRule rule = CopyRule::TenthUpFromCut);

}  // namespace quorvane
