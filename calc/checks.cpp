#include "checks.h"

#include "materials.h"
#include "numtext.h"

namespace quorvane {
namespace {

std::string Named(const char* field, const InputTexts& texts) {
    const auto i = static_cast<std::size_t>(FindParam(field));
    return std::string(kParams[i].displayName) + " " + std::string(texts[i]);
}

}  // namespace

std::vector<std::string> CheckerNotes(const InputTexts& texts, const Calculation& calculation) {
    std::vector<std::string> notes;
    const LoadInputs& in = calculation.inputs;
    for (std::size_t r = 0; r < kResultCount; ++r) {
        const std::string& shown = ResultText(calculation.results, r);
        if (!shown.empty() && ReadNumber(shown) <= 0)
            notes.push_back(std::string(ResultName(r)) + " " + shown + " 不大于零");
    }
    const double clear = in.WallHeight - in.BeamHeight;
    if (in.WallHeight > 0 && clear <= 0) notes.push_back(Named("WallHeight", texts) + " 不大于" + Named("BeamHeight", texts) + ":梁上没有墙");
    for (const auto& [width, height] : {std::pair{"DoorWidth", "DoorHeight"}, std::pair{"WindowWidth", "WindowHeight"}}) {
        const double w = in.*kParams[static_cast<std::size_t>(FindParam(width))].member;
        const double h = in.*kParams[static_cast<std::size_t>(FindParam(height))].member;
        if (w <= 0) continue;
        if (w > in.BeamLength) notes.push_back(Named(width, texts) + " 大于" + Named("BeamLength", texts));
        if (clear > 0 && h > clear) notes.push_back(Named(height, texts) + " 大于梁上的墙高");
    }
    if (in.DoorWidth > 0 && in.WindowWidth > 0 && in.DoorWidth + in.WindowWidth > in.BeamLength)
        notes.push_back("门窗宽度之和大于" + Named("BeamLength", texts));
    if (!(in.ReductionRatio > 0 && in.ReductionRatio <= 1))
        notes.push_back(Named("ReductionRatio", texts) + " 不在 (0, 1] 之内");
    for (std::size_t i = 0; i < kInputCount; ++i) {
        const std::vector<const Material*> materials = MaterialsFor(i);
        if (materials.empty()) continue;
        // A door's or a window's weight matters only where there is one.
        const std::string_view field = kParams[i].field;
        if ((field == "DoorAreaWeight" && in.DoorWidth <= 0) || (field == "WindowAreaWeight" && in.WindowWidth <= 0))
            continue;
        if ((field == "BeamPlasterDensity" && in.BeamPlasterThickness <= 0) ||
            (field == "WallPlasterDensity" && in.WallPlasterThickness <= 0))
            continue;
        // Beyond every material the table lists for it (the lowest low to the highest high).
        const Material* lowest = materials.front();
        const Material* highest = materials.front();
        for (const Material* m : materials) {
            if (m->Low() < lowest->Low()) lowest = m;
            if (m->High() > highest->High()) highest = m;
        }
        const double value = in.*kParams[i].member;
        if (value < lowest->Low() || value > highest->High())
            notes.push_back(std::string(kParams[i].displayName) + " " + std::string(texts[i]) +
                            " 超出 GB 50009-2012 表A 所列材料的范围 (" + lowest->low + "–" + highest->high + " " +
                            lowest->unit + ")");
    }
    return notes;
}

}  // namespace quorvane
