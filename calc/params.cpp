#include "params.h"

#include "numtext.h"

#include <utility>

namespace quorvane {

// clang-format off
const std::array<ParamInfo, kInputCount> kParams = {{
    {"BeamWidth",            &LoadInputs::BeamWidth,            "梁:", "宽度", "mm",       "200",  true,  "梁宽度", InputRule::EmptyOrBoxRange, true},
    {"BeamHeight",           &LoadInputs::BeamHeight,           "梁:", "高度", "mm",       "500",  true,  "梁高度", InputRule::EmptyOrBoxRange, true},
    {"BeamDensity",          &LoadInputs::BeamDensity,          "梁:", "密度", "KN/M^3",   "25",   false, "梁密度", InputRule::EmptyOrBoxRange, false},
    {"WallWidth",            &LoadInputs::WallWidth,            "墙:", "宽度", "mm",       "180",  true,  "墙宽度", InputRule::EmptyOrBoxRange, false},
    {"WallHeight",           &LoadInputs::WallHeight,           "墙:", "高度", "mm(层高)", "3000", true,  "墙高度", InputRule::EmptyOrBoxRange, true},
    {"WallDensity",          &LoadInputs::WallDensity,          "墙:", "密度", "KN/M^3",   "18",   false, "墙密度", InputRule::EmptyOrBoxRange, false},
    {"DoorWidth",            &LoadInputs::DoorWidth,            "门:", "宽度", "mm",       "0",    true,  "门宽度", InputRule::EmptyOrBoxRange, true},
    {"DoorHeight",           &LoadInputs::DoorHeight,           "门:", "高度", "mm",       "2100", true,  "门高度", InputRule::EmptyOrBoxRange, false},
    {"DoorAreaWeight",       &LoadInputs::DoorAreaWeight,       "门:", "密度", "KN/M^2",   "0.45", false, "门密度", InputRule::EmptyOrBoxRange, false},
    {"WindowWidth",          &LoadInputs::WindowWidth,          "窗:", "宽度", "mm",       "0",    true,  "窗宽度", InputRule::EmptyOrBoxRange, true},
    {"WindowHeight",         &LoadInputs::WindowHeight,         "窗:", "高度", "mm",       "1800", true,  "窗高度", InputRule::EmptyOrBoxRange, false},
    {"WindowAreaWeight",     &LoadInputs::WindowAreaWeight,     "窗:", "密度", "KN/M^2",   "0.35", false, "窗密度", InputRule::EmptyOrBoxRange, false},
    {"BeamPlasterThickness", &LoadInputs::BeamPlasterThickness, "",    "梁上抹灰厚度:", "mm",     "20", true,  "梁上抹灰厚度", InputRule::EmptyOrBoxRange, false},
    {"BeamPlasterDensity",   &LoadInputs::BeamPlasterDensity,   "",    "梁上抹灰密度:", "KN/M^3", "17", false, "梁上抹灰密度", InputRule::EmptyOrBoxRange, false},
    {"WallPlasterThickness", &LoadInputs::WallPlasterThickness, "",    "墙上抹灰厚度:", "mm",     "20", true,  "墙上抹灰厚度", InputRule::EmptyOrBoxRange, false},
    {"WallPlasterDensity",   &LoadInputs::WallPlasterDensity,   "",    "墙上抹灰密度:", "KN/M^3", "17", false, "墙上抹灰密度", InputRule::EmptyOrBoxRange, false},
    {"BeamLength",           &LoadInputs::BeamLength,           "",    "",              "mm(长度)", "3600", true, "梁长度", InputRule::EmptyOrBoxRange, true},
    {"ReductionRatio",       &LoadInputs::ReductionRatio,       "",    "折算比例:",     "",       "1",  false, "折算比例", InputRule::AnyNumber, true},
}};
// clang-format on

int FindParam(std::string_view field) {
    for (std::size_t i = 0; i < kInputCount; ++i)
        if (kParams[i].field == field) return static_cast<int>(i);
    return -1;
}

bool IsAcceptableInput(std::size_t index, std::string_view text, const Reading& reading) {
    switch (kParams[index].rule) {
        case InputRule::AnyNumber:
            return reading.numeric;
        case InputRule::EmptyOrBoxRange:
            break;
    }
    if (text.empty()) return true;
    return reading.numeric && reading.value >= kBoxMinimum && reading.value <= kBoxMaximum;
}

bool IsAcceptableInputText(std::size_t index, std::string_view text) {
    return IsAcceptableInput(index, text, ReadText(text));
}

std::string_view InputRuleText(std::size_t index) {
    return kParams[index].rule == InputRule::AnyNumber ? "必须是数字" : "必须为空或是 0 到 100000 之间的数字";
}

BeamTexts::BeamTexts() {
    for (std::size_t i = 0; i < kInputCount; ++i) texts_[i] = std::string(kParams[i].defaultText);
}

bool BeamTexts::Set(std::string_view field, std::string text) {
    const int index = FindParam(field);
    if (index < 0) return false;
    texts_[static_cast<std::size_t>(index)] = std::move(text);
    return true;
}

InputTexts BeamTexts::Views() const {
    InputTexts views;
    for (std::size_t i = 0; i < kInputCount; ++i) views[i] = texts_[i];
    return views;
}

}  // namespace quorvane

namespace quorvane {

std::string InputRefusal(std::size_t index, std::string_view text) {
    std::string m = "数据输入有误! ";
    m += kParams[index].field;
    m += "(";
    m += kParams[index].displayName;
    m += ") = \"";
    m += text;
    m += "\": ";
    m += InputRuleText(index);
    return m;
}

}  // namespace quorvane
