#include "report.h"

#include <cstdio>
#include <initializer_list>

#include "encoding.h"
#include "numtext.h"
#include "os.h"

namespace quorvane {
namespace {

std::string Join(std::initializer_list<std::string_view> items) {
    std::size_t size = 0;
    for (auto item : items) size += item.size();
    std::string line;
    line.reserve(size);
    for (auto item : items) line += item;
    return line;
}

std::string Print(double value) { return FormatPrint(value); }

std::string Footer() {
    constexpr std::size_t kWidth = 80, kLead = 29;
    std::string line(kLead, '_');
    line += kWebAddress;
    if (line.size() < kWidth) line.append(kWidth - line.size(), '_');
    return line;
}

void TwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

}  // namespace

ReportLines BuildReportLines(const LoadInputs& in, const LoadResults& r, std::string_view dateText) {
    const auto caption = [](Step step) { return Join({StepCaption(step), ":"}); };
    const std::string ratio = Print(in.ReductionRatio), two = Print(2), concrete = Print(r.BeamConcreteLoad);
    const std::string length = Print(in.BeamLength), wall = Print(in.WallWidth),
                      beamHeight = Print(in.BeamHeight);
    const std::string doorWidth = Print(in.DoorWidth), doorHeight = Print(in.DoorHeight),
                      windowWidth = Print(in.WindowWidth), windowHeight = Print(in.WindowHeight);
    // The wall body and its plaster share the clear height and the openings.
    const std::string clearHeight = Join({"(", Print(in.WallHeight), "-", beamHeight, ")"});
    const std::string openings =
        Join({"(", doorWidth, "*", doorHeight, "+", windowWidth, "*", windowHeight, ")"});
    ReportLines lines;
    // clang-format off
    lines[0] = Join({"Quorvane(折算比例取", ratio, ")"});
    lines[2] = caption(Step::BeamConcreteLoad);
    lines[3] = Join({Print(in.BeamDensity), "*", Print(in.BeamWidth), "*", beamHeight, "=", concrete, "KN/m"});
    lines[4] = caption(Step::BeamPlasterLoad);
    lines[5] = Join({Print(in.BeamPlasterDensity), "*", Print(in.BeamPlasterThickness), "*", "(", Print(in.BeamWidth),
                     "+", beamHeight, "*", two, ")", "=", Print(r.BeamPlasterLoad), "KN/m"});
    lines[6] = caption(Step::BeamSelfWeight);
    lines[7] = Join({ratio, "*", "(", concrete, "+", Print(r.BeamPlasterLoad), ")", "=", r.BeamSelfWeight, "KN/m"});
    lines[9] = caption(Step::WallNetWeight);
    lines[10] = Join({"[", length, "*", wall, "*", clearHeight, "-", openings, "*", wall, "]", "*",
                      Print(in.WallDensity), "=", Print(r.WallNetWeight), "KN"});
    lines[11] = caption(Step::WallPlasterWeight);
    lines[12] = Join({two, "*", "[", length, " *", clearHeight, "-", openings, "]", "*", Print(in.WallPlasterThickness),
                      "*", Print(in.WallPlasterDensity), "=", Print(r.WallPlasterWeight), "KN"});
    lines[13] = caption(Step::OpeningWeight);
    lines[14] = Join({doorWidth, "*", doorHeight, "*", Print(in.DoorAreaWeight), "+", windowWidth, "*", windowHeight,
                      "*", Print(in.WindowAreaWeight), "=", Print(r.OpeningWeight), "KN"});
    lines[15] = caption(Step::MasonryWeight);
    lines[16] = Join({ratio, "*", "(", Print(r.WallNetWeight), " +", Print(r.WallPlasterWeight), "+",
                      Print(r.OpeningWeight), ")", "/ ", length, "=", r.MasonryWeight, "KN/m"});
    lines[18] = caption(Step::TotalDeadLoad);
    lines[19] = Join({Print(ReadNumber(r.BeamSelfWeight)), "+", Print(ReadNumber(r.MasonryWeight)), "=",
                      r.TotalDeadLoad, "KN/m"});
    lines[20] = caption(Step::CadInputLoad);
    lines[21] = Join({Print(ReadNumber(r.TotalDeadLoad)), "-", ratio, "*", concrete, "=", r.CadInputLoad, "KN/m"});
    lines[22] = std::string(80, '_');
    lines[23] = Join({"【Quorvane V2008.03.23】 Date：", dateText});
    lines[24] = Footer();
    // clang-format on
    return lines;
}

std::string ReportText(const ReportLines& lines) {
    std::string text;
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    text.reserve(size);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string FormatReportDate(const std::tm& t) {
    std::string text = IntegerText(t.tm_year + 1900);
    text += '-';
    TwoDigits(text, t.tm_mon + 1);
    text += '-';
    TwoDigits(text, t.tm_mday);
    text += ' ';
    TwoDigits(text, t.tm_hour);
    text += ':';
    TwoDigits(text, t.tm_min);
    text += ':';
    TwoDigits(text, t.tm_sec);
    return text;
}

std::string CurrentReportDate() {
    if (auto text = os::UserDateTimeText()) return *text;
    return FormatReportDate(os::LocalTime());
}

ReportOptions SystemReportOptions() { return {CurrentReportDate(), SystemCharset()}; }

Outcome WriteCalculationReport(const std::filesystem::path& path, const LoadInputs& in,
                                    const LoadResults& r, const ReportOptions& options) {
    return WriteCalculationReport(path, ReportText(BuildReportLines(in, r, options.date)), options);
}

Outcome WriteCalculationReport(const std::filesystem::path& path, std::string_view text,
                               const ReportOptions& options) {
    return ReplaceFileAtomically(path, EncodeReport(text, options.charset));
}

}  // namespace quorvane
