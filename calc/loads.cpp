#include "loads.h"

#include <cmath>

#include "numtext.h"

namespace quorvane {
namespace {

std::string MessageFor(Step step, ArithmeticCause cause) {
    std::string text = "计算出错:「";
    text += StepCaption(step);
    text += "」一步";
    switch (cause) {
        case ArithmeticCause::DivisionByZero:
            text += "除数为零。";
            if (step == Step::MasonryWeight) text += "梁长度不能为空或为 0。";
            break;
        case ArithmeticCause::Overflow:
            text += "数值溢出,结果超出可计算的范围。请检查折算比例等输入。";
            break;
        case ArithmeticCause::Invalid:
            text += "出现无效运算(结果不是数)。请检查折算比例等输入。";
            break;
    }
    return text;
}

// Every formula operation goes through these: a non-finite result stops the
// calculation at its step instead of travelling on as inf or NaN.
double Checked(double value, Step step) {
    if (!std::isfinite(value))
        throw ArithmeticError(step, std::isnan(value) ? ArithmeticCause::Invalid : ArithmeticCause::Overflow);
    return value;
}

double CheckedDivide(double dividend, double divisor, Step step) {
    if (divisor == 0.0) throw ArithmeticError(step, ArithmeticCause::DivisionByZero);
    return Checked(dividend / divisor, step);
}

}  // namespace

std::string_view StepCaption(Step step) {
    switch (step) {
        case Step::ConvertInputs:
            return "输入换算";
        case Step::BeamConcreteLoad:
            return "梁上钢筋混凝土自重";
        case Step::BeamPlasterLoad:
            return "梁上抹灰自重";
        case Step::BeamSelfWeight:
            return "梁自重";
        case Step::WallNetWeight:
            return "墙净重";
        case Step::WallPlasterWeight:
            return "墙上抹灰自重";
        case Step::OpeningWeight:
            return "门窗自重";
        case Step::MasonryWeight:
            return "梁上砌体自重";
        case Step::TotalDeadLoad:
            return "梁上总恒重";
        case Step::CadInputLoad:
            return ResultName(kCadInputLoad);  // the window's caption
        case Step::CopyLoad:
            return "复制荷载";
    }
    return "";
}

ArithmeticError::ArithmeticError(Step step, ArithmeticCause cause)
    : std::runtime_error(MessageFor(step, cause)), step_(step), cause_(cause) {}

std::string_view ResultName(std::size_t index) {
    std::string_view caption = kResultCaptions[index];
    if (!caption.empty() && caption.back() == ':') caption.remove_suffix(1);
    return caption;
}

const std::string& ResultText(const LoadResults& r, std::size_t index) {
    switch (index) {
        case kBeamSelfWeight:
            return r.BeamSelfWeight;
        case kMasonryWeight:
            return r.MasonryWeight;
        case kTotalDeadLoad:
            return r.TotalDeadLoad;
        default:
            return r.CadInputLoad;
    }
}

namespace {
LoadInputs ConvertReadings(const InputReadings& readings) {
    LoadInputs in;
    for (std::size_t i = 0; i < kInputCount; ++i) {
        const double value = readings[i];
        in.*kParams[i].member =
            kParams[i].millimetres ? CheckedDivide(value, 1000.0, Step::ConvertInputs) : value;
    }
    return in;
}

}  // namespace

Calculation ComputeLoadsFromReadings(const InputReadings& readings, const ResultSink& sink) {
    Calculation c;
    c.inputs = ConvertReadings(readings);
    const LoadInputs& in = c.inputs;
    LoadResults& r = c.results;
    const auto show = [&sink](std::size_t index, const std::string& text) {
        if (sink) sink(index, text);
    };

    Step s = Step::BeamConcreteLoad;
    r.BeamConcreteLoad = Checked(Checked(in.BeamDensity * in.BeamWidth, s) * in.BeamHeight, s);

    s = Step::BeamPlasterLoad;
    const double plasterGirth = Checked(in.BeamWidth + Checked(in.BeamHeight * 2, s), s);
    r.BeamPlasterLoad =
        Checked(Checked(in.BeamPlasterDensity * in.BeamPlasterThickness, s) * plasterGirth, s);

    s = Step::BeamSelfWeight;
    r.BeamSelfWeight =
        FormatBoxText(Checked(in.ReductionRatio * Checked(r.BeamConcreteLoad + r.BeamPlasterLoad, s), s));
    show(kBeamSelfWeight, r.BeamSelfWeight);

    // Steps 5 and 6 share the wall's clear height and the opening area.
    s = Step::WallNetWeight;
    const double clearHeight = Checked(in.WallHeight - in.BeamHeight, s);
    const double openingArea =
        Checked(Checked(in.DoorWidth * in.DoorHeight, s) + Checked(in.WindowWidth * in.WindowHeight, s), s);
    const double wallBody = Checked(Checked(in.BeamLength * in.WallWidth, s) * clearHeight, s);
    r.WallNetWeight =
        Checked(Checked(wallBody - Checked(openingArea * in.WallWidth, s), s) * in.WallDensity, s);

    s = Step::WallPlasterWeight;
    const double plasterArea =
        Checked(2 * Checked(Checked(in.BeamLength * clearHeight, s) - openingArea, s), s);
    r.WallPlasterWeight =
        Checked(Checked(plasterArea * in.WallPlasterThickness, s) * in.WallPlasterDensity, s);

    s = Step::OpeningWeight;
    r.OpeningWeight =
        Checked(Checked(Checked(in.DoorWidth * in.DoorHeight, s) * in.DoorAreaWeight, s) +
                    Checked(Checked(in.WindowWidth * in.WindowHeight, s) * in.WindowAreaWeight, s),
                s);

    s = Step::MasonryWeight;
    const double masonry = Checked(
        in.ReductionRatio * Checked(Checked(r.WallNetWeight + r.WallPlasterWeight, s) + r.OpeningWeight, s),
        s);
    r.MasonryWeight = FormatBoxText(CheckedDivide(masonry, in.BeamLength, s));
    show(kMasonryWeight, r.MasonryWeight);

    // The total and the CAD load are formed from the texts on screen, so
    // the report and the boxes agree digit for digit with a hand check.
    s = Step::TotalDeadLoad;
    r.TotalDeadLoad = FormatBoxText(Checked(ReadNumber(r.BeamSelfWeight) + ReadNumber(r.MasonryWeight), s));
    show(kTotalDeadLoad, r.TotalDeadLoad);

    s = Step::CadInputLoad;
    r.CadInputLoad = FormatBoxText(
        Checked(ReadNumber(r.TotalDeadLoad) - Checked(in.ReductionRatio * r.BeamConcreteLoad, s), s));
    show(kCadInputLoad, r.CadInputLoad);
    return c;
}

std::string CopiedLoadText(std::string_view text, CopyRule rule) {
    switch (rule) {
        case CopyRule::TenthUpFromCut:
            break;
    }
    const double tenfold = Checked(ReadNumber(text) * 10.0, Step::CopyLoad);
    const double cut = TruncateTowardZero(tenfold) / 10;
    return FormatBoxText(cut + 0.1);
}

}  // namespace quorvane
