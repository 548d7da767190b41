#include "bookformulas.h"

#include <initializer_list>

#include "numtext.h"
#include "params.h"

namespace quorvane {
namespace {

std::string N(double value) { return BookNumber(FormatPrint(value)); }

std::string Join(std::initializer_list<std::string> parts) {
    std::string text;
    for (const std::string& part : parts) text += part;
    return text;
}

}  // namespace

std::string BookNumber(const std::string& printed) {
    // (the report prints a positive figure after a space, as its Print does)
    const std::size_t first = printed.find_first_not_of(' '), last = printed.find_last_not_of(' ');
    const std::string figure = first == std::string::npos ? std::string() : printed.substr(first, last - first + 1);
    if (!figure.empty() && figure[0] == '.') return "0" + figure;
    if (figure.size() > 1 && figure[0] == '-' && figure[1] == '.') return "-0" + figure.substr(1);
    return figure;
}

std::vector<BookInput> BookInputs(const LoadInputs& in) {
    // Symbol, field, unit as the formulas use the value.
    const struct {
        const char* symbol;
        const char* field;
        const char* unit;
    } rows[] = {
        {"b", "BeamWidth", "m"},          {"h", "BeamHeight", "m"},          {"γc", "BeamDensity", "kN/m³"},
        {"bw", "WallWidth", "m"},         {"H", "WallHeight", "m"},          {"γw", "WallDensity", "kN/m³"},
        {"bd", "DoorWidth", "m"},         {"hd", "DoorHeight", "m"},         {"gd", "DoorAreaWeight", "kN/m²"},
        {"bc", "WindowWidth", "m"},       {"hc", "WindowHeight", "m"},       {"gc", "WindowAreaWeight", "kN/m²"},
        {"t1", "BeamPlasterThickness", "m"}, {"γ1", "BeamPlasterDensity", "kN/m³"},
        {"t2", "WallPlasterThickness", "m"}, {"γ2", "WallPlasterDensity", "kN/m³"},
        {"L", "BeamLength", "m"},         {"λ", "ReductionRatio", ""},
    };
    std::vector<BookInput> inputs;
    for (const auto& row : rows) {
        const ParamInfo& p = kParams[static_cast<std::size_t>(FindParam(row.field))];
        const std::string value = N(in.*p.member);
        inputs.push_back({row.symbol, std::string(p.displayName), *row.unit ? value + " " + row.unit : value});
    }
    return inputs;
}

std::vector<BookStep> BookSteps(const LoadInputs& in, const LoadResults& r) {
    const std::string b = N(in.BeamWidth), h = N(in.BeamHeight), L = N(in.BeamLength), bw = N(in.WallWidth);
    const std::string lambda = N(in.ReductionRatio), g1 = N(r.BeamConcreteLoad), g2 = N(r.BeamPlasterLoad);
    const std::string clear = Join({"(", N(in.WallHeight), "-", h, ")"});
    const std::string openings =
        Join({"(", N(in.DoorWidth), "×", N(in.DoorHeight), "+", N(in.WindowWidth), "×", N(in.WindowHeight), ")"});
    const auto caption = [](Step step) { return std::string(StepCaption(step)); };
    return {
        {caption(Step::BeamConcreteLoad), "g1 = γc·b·h",
         Join({"= ", N(in.BeamDensity), "×", b, "×", h, " = ", g1, " kN/m"})},
        {caption(Step::BeamPlasterLoad), "g2 = γ1·t1·(b + h×2)",
         Join({"= ", N(in.BeamPlasterDensity), "×", N(in.BeamPlasterThickness), "×(", b, " + ", h, "×2) = ", g2, " kN/m"})},
        {caption(Step::BeamSelfWeight), "gb = λ·(g1 + g2)",
         Join({"= ", lambda, "×(", g1, " + ", g2, ") = ", BookNumber(r.BeamSelfWeight), " kN/m"})},
        {caption(Step::WallNetWeight), "Gw = [L·bw·(H - h) - (bd·hd + bc·hc)·bw]·γw",
         Join({"= [", L, "×", bw, "×", clear, " - ", openings, "×", bw, "]×", N(in.WallDensity), " = ",
               N(r.WallNetWeight), " kN"})},
        {caption(Step::WallPlasterWeight), "Gp = 2·[L·(H - h) - (bd·hd + bc·hc)]·t2·γ2",
         Join({"= 2×[", L, "×", clear, " - ", openings, "]×", N(in.WallPlasterThickness), "×", N(in.WallPlasterDensity),
               " = ", N(r.WallPlasterWeight), " kN"})},
        {caption(Step::OpeningWeight), "Go = bd·hd·gd + bc·hc·gc",
         Join({"= ", N(in.DoorWidth), "×", N(in.DoorHeight), "×", N(in.DoorAreaWeight), " + ", N(in.WindowWidth), "×",
               N(in.WindowHeight), "×", N(in.WindowAreaWeight), " = ", N(r.OpeningWeight), " kN"})},
        {caption(Step::MasonryWeight), "gm = λ·(Gw + Gp + Go) / L",
         Join({"= ", lambda, "×(", N(r.WallNetWeight), " + ", N(r.WallPlasterWeight), " + ", N(r.OpeningWeight), ") / ",
               L, " = ", BookNumber(r.MasonryWeight), " kN/m"})},
        {caption(Step::TotalDeadLoad), "g = gb + gm",
         Join({"= ", N(ReadNumber(r.BeamSelfWeight)), " + ", N(ReadNumber(r.MasonryWeight)), " = ",
               BookNumber(r.TotalDeadLoad), " kN/m"})},
        {caption(Step::CadInputLoad), "gCAD = g - λ·g1",
         Join({"= ", N(ReadNumber(r.TotalDeadLoad)), " - ", lambda, "×", g1, " = ", BookNumber(r.CadInputLoad), " kN/m"})},
    };
}

}  // namespace quorvane
