// The inputs of one beam: one table that the conversion, the input checks,
// the window, the command-line tool and the schedules all read. A new
// input is a row of the table (and a member of LoadInputs); everything
// else finds it by its field name.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "numtext.h"

namespace quorvane {

constexpr std::size_t kInputCount = 18;                // the rows of the table below
constexpr std::size_t kRatioIndex = kInputCount - 1;   // the ratio comes last, in its own box (Text2)
constexpr std::size_t kBoxCount = kInputCount - 1;     // the others: Text(0), Text(1) ...

// Values of one calculation: lengths in metres, unit weights in kN/m^3,
// weights per area in kN/m^2, the ratio without unit. Field order is the
// table order below.
struct LoadInputs {
    double BeamWidth = 0;
    double BeamHeight = 0;
    double BeamDensity = 0;
    double WallWidth = 0;
    double WallHeight = 0;
    double WallDensity = 0;
    double DoorWidth = 0;
    double DoorHeight = 0;
    double DoorAreaWeight = 0;
    double WindowWidth = 0;
    double WindowHeight = 0;
    double WindowAreaWeight = 0;
    double BeamPlasterThickness = 0;
    double BeamPlasterDensity = 0;
    double WallPlasterThickness = 0;
    double WallPlasterDensity = 0;
    double BeamLength = 0;
    double ReductionRatio = 0;
};

// What a box accepts: the input boxes take the empty text or a number from
// 0 to 100000; the ratio takes any number.
enum class InputRule { EmptyOrBoxRange, AnyNumber };

struct ParamInfo {
    std::string_view field;  // LoadInputs member name
    double LoadInputs::*member;
    std::string_view rowCaption;  // "梁:" etc.; empty when the box has none
    std::string_view caption;     // column or own caption; empty for BeamLength
    std::string_view unit;        // unit label as shown; empty for the ratio
    std::string_view defaultText;
    bool millimetres;              // typed in mm, held in metres
    std::string_view displayName;  // short Chinese name for messages
    InputRule rule;
    bool inSummary;                // a column of the calculation book's summary table
};

// Index i is the box Text(i), and kRatioIndex the ratio box Text2.
extern const std::array<ParamInfo, kInputCount> kParams;

using InputTexts = std::array<std::string_view, kInputCount>;

// The texts of one beam, owned: what the window's boxes, a
// command line or a schedule row hold. Starts with the window's defaults.
class BeamTexts {
public:
    BeamTexts();
    const std::string& operator[](std::size_t index) const { return texts_[index]; }
    std::string& operator[](std::size_t index) { return texts_[index]; }
    // False, changing nothing, for a field the table does not have.
    bool Set(std::string_view field, std::string text);
    // Views for the core's functions, valid while this object is unchanged.
    InputTexts Views() const;

private:
    std::array<std::string, kInputCount> texts_;
};

// Index of the parameter with this field name, or -1.
int FindParam(std::string_view field);

// The range of the input boxes' values, bounds included.
constexpr double kBoxMinimum = 0.0;
constexpr double kBoxMaximum = 100000.0;

// Check of input i by the rule that applies to it (see InputRule): for
// the input boxes the empty text, or a numeric text that reads as a
// value from 0 to 100000 inclusive; for the ratio any numeric text.
bool IsAcceptableInputText(std::size_t index, std::string_view text);

// The same check when the text has been read already (ReadText).
bool IsAcceptableInput(std::size_t index, std::string_view text, const Reading& reading);

// The rule of input i, in words, for messages.
std::string_view InputRuleText(std::size_t index);

// The message that refuses text for input i, naming the field and the rule:
// 数据输入有误! BeamWidth(梁宽度) = "x": 必须为空或是 0 到 100000 之间的数字
std::string InputRefusal(std::size_t index, std::string_view text);

}  // namespace quorvane
