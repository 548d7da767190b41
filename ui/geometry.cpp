#include "geometry.h"

#include "desktop.h"
#include "loads.h"
#include "params.h"

#include <iterator>

namespace quorvane {
namespace {

constexpr Kind F = Kind::Frame, L = Kind::Label, T = Kind::TextBox, B = Kind::Button, C = Kind::CheckBox;
constexpr Source Lit = Source::Literal, Row = Source::ParamRow, Cap = Source::ParamCaption,
                 Unit = Source::ParamUnit, Def = Source::ParamDefault, RCap = Source::ResultCaption,
                 RUnit = Source::ResultUnit;

// clang-format off
// kind, name, index, caption source, literal, field, left, top, width, height
const ControlRow kWindow[] = {
    {F, "Frame1",  -1, Lit, "计算参数",              nullptr,        240,   120,  6495,  3495},
    {F, "Frame2",  -1, Lit, "计算结果",              nullptr,        240,  3720,  6495,  1935},
    {F, "Frame3",  -1, Lit, "计算结果",              nullptr,        240,   120,  6495,  1095},
    {T, "Text",    -1, Def, nullptr,                 "BeamLength",  1140,   825,   975,   270},
    {T, "Text1",   1,  Lit, "",                      nullptr,       4800,  4080,  1095,   270},
    {T, "Text1",   2,  Lit, "",                      nullptr,       1800,  4440,  1095,   270},
    {T, "Text1",   3,  Lit, "",                      nullptr,       2160,  4800,  1095,   270},
    {L, "Label37", -1, Lit, "版权所有 (C) Tessmoor", nullptr,        840,  5760,  2055,   255},
    {L, "Label38", -1, Lit, "置顶:",                 nullptr,       3600,  5760,   495,   255},
    {C, "Check1",  -1, Lit, "",                      nullptr,       4080,  5760,   255,   180},
    {L, "Label39", -1, Lit, "伸缩:",                 nullptr,       5160,  5760,   495,   255},
    {C, "Check2",  -1, Lit, "0",                     nullptr,       5640,  5760,   255,   180},
};

const ControlRow kFrame1[] = {
    {L, "Label5",  -1, Cap,  nullptr, "BeamWidth",             1200,   120,   375,  255},
    {L, "Label6",  -1, Cap,  nullptr, "BeamHeight",            3120,   120,   375,  255},
    {L, "Label7",  -1, Cap,  nullptr, "BeamDensity",           5040,   120,   375,  255},
    {L, "Label1",  -1, Row,  nullptr, "BeamWidth",              240,   360,   375,  255},
    {T, "Text",    -1, Def,  nullptr, "BeamWidth",              900,   352,   975,  270},
    {L, "Label12", 0,  Unit, nullptr, "BeamWidth",             1920,   360,   255,  255},
    {T, "Text",    -1, Def,  nullptr, "BeamHeight",            2820,   352,   975,  270},
    {L, "Label16", -1, Unit, nullptr, "BeamHeight",            3840,   360,   375,  255},
    {T, "Text",    -1, Def,  nullptr, "BeamDensity",           4740,   352,   975,  270},
    {L, "Label20", -1, Unit, nullptr, "BeamDensity",           5760,   360,   615,  255},
    {L, "Label40", -1, Unit, nullptr, "BeamLength",            1920,   720,   855,  255},
    {L, "Label2",  -1, Row,  nullptr, "WallWidth",              240,  1080,   375,  255},
    {T, "Text",    -1, Def,  nullptr, "WallWidth",              900,  1072,   975,  270},
    {L, "Label13", -1, Unit, nullptr, "WallWidth",             1920,  1080,   255,  255},
    {T, "Text",    -1, Def,  nullptr, "WallHeight",            2820,  1072,   975,  270},
    {L, "Label17", -1, Unit, nullptr, "WallHeight",            3840,  1080,   735,  255},
    {T, "Text",    -1, Def,  nullptr, "WallDensity",           4740,  1072,   975,  270},
    {L, "Label21", -1, Unit, nullptr, "WallDensity",           5760,  1080,   615,  255},
    {L, "Label3",  -1, Row,  nullptr, "DoorWidth",              240,  1620,   495,  255},
    {T, "Text",    -1, Def,  nullptr, "DoorWidth",              900,  1612,   975,  270},
    {L, "Label14", -1, Unit, nullptr, "DoorWidth",             1920,  1620,   255,  255},
    {T, "Text",    -1, Def,  nullptr, "DoorHeight",            2820,  1612,   975,  270},
    {L, "Label18", -1, Unit, nullptr, "DoorHeight",            3840,  1620,   375,  255},
    {T, "Text",    -1, Def,  nullptr, "DoorAreaWeight",        4740,  1612,   975,  270},
    {L, "Label22", -1, Unit, nullptr, "DoorAreaWeight",        5760,  1620,   615,  255},
    {L, "Label4",  -1, Row,  nullptr, "WindowWidth",            240,  2160,   375,  255},
    {T, "Text",    -1, Def,  nullptr, "WindowWidth",            900,  2152,   975,  270},
    {L, "Label15", -1, Unit, nullptr, "WindowWidth",           1920,  2160,   255,  255},
    {T, "Text",    -1, Def,  nullptr, "WindowHeight",          2820,  2152,   975,  270},
    {L, "Label19", -1, Unit, nullptr, "WindowHeight",          3840,  2160,   375,  255},
    {T, "Text",    -1, Def,  nullptr, "WindowAreaWeight",      4740,  2152,   975,  270},
    {L, "Label23", -1, Unit, nullptr, "WindowAreaWeight",      5760,  2160,   615,  255},
    {L, "Label8",  -1, Cap,  nullptr, "BeamPlasterThickness",   240,  2640,  1335,  255},
    {T, "Text",    -1, Def,  nullptr, "BeamPlasterThickness",  1680,  2632,   975,  270},
    {L, "Label24", -1, Unit, nullptr, "BeamPlasterThickness",  2760,  2640,   255,  255},
    {L, "Label9",  -1, Cap,  nullptr, "BeamPlasterDensity",    3360,  2640,  1215,  255},
    {T, "Text",    -1, Def,  nullptr, "BeamPlasterDensity",    4740,  2632,   975,  270},
    {L, "Label26", -1, Unit, nullptr, "BeamPlasterDensity",    5760,  2640,   615,  255},
    {L, "Label10", -1, Cap,  nullptr, "WallPlasterThickness",   240,  3120,  1335,  255},
    {T, "Text",    -1, Def,  nullptr, "WallPlasterThickness",  1680,  3120,   975,  270},
    {L, "Label25", -1, Unit, nullptr, "WallPlasterThickness",  2760,  3120,   255,  255},
    {L, "Label11", -1, Cap,  nullptr, "WallPlasterDensity",    3360,  3120,  1335,  255},
    {T, "Text",    -1, Def,  nullptr, "WallPlasterDensity",    4740,  3112,   975,  270},
    {L, "Label27", -1, Unit, nullptr, "WallPlasterDensity",    5760,  3120,   615,  255},
};

const ControlRow kFrame2[] = {
    {L, "Label28",  -1, RCap,  nullptr,        "BeamSelfWeight",   240,   360,   735,  255},
    {T, "Text1",    0,  Lit,   "",             nullptr,           1560,   352,  1095,  270},
    {L, "Label33",  -1, RUnit, nullptr,        nullptr,           2760,   360,   615,  255},
    {L, "Label29",  -1, RCap,  nullptr,        "MasonryWeight",   3480,   360,   855,  255},
    {L, "Label34",  -1, RUnit, nullptr,        nullptr,           5760,   360,   495,  255},
    {L, "Label30",  -1, RCap,  nullptr,        "TotalDeadLoad",    240,   720,  1095,  255},
    {L, "Label35",  -1, RUnit, nullptr,        nullptr,           2760,   720,   495,  255},
    {L, "Label32",  -1, Cap,   nullptr,        "ReductionRatio",  3480,   720,   855,  255},
    {T, "Text2",    -1, Def,   nullptr,        "ReductionRatio",  4560,   712,  1095,  270},
    {L, "Label31",  -1, RCap,  nullptr,        "CadInputLoad",     240,  1080,  1695,  255},
    {L, "Label36",  -1, RUnit, nullptr,        nullptr,           3120,  1080,   615,  255},
    {B, "Command7", -1, Lit,   "复制",         nullptr,           3550,  1027,   900,  360},
    {B, "Command3", -1, Lit,   "计算过程(&P)", nullptr,           1080,  1440,  1455,  375},
    {B, "Command1", -1, Lit,   "确定(&S)",     nullptr,           2700,  1440,  1455,  375},
    {B, "Command2", -1, Lit,   "退出(&Q)",     nullptr,           4320,  1440,  1455,  375},
};

const ControlRow kFrame3[] = {
    {L, "Label41",  -1, RCap,  nullptr,        "CadInputLoad",   240,  240,  1695,  255},
    {T, "Text3",    -1, Lit,   "",             nullptr,         1920,  240,  1095,  270},
    {L, "Label42",  -1, RUnit, nullptr,        nullptr,         3120,  240,   375,  255},
    {B, "Command8", -1, Lit,   "复制",         nullptr,         3600,  187,   900,  360},
    {B, "Command4", -1, Lit,   "计算过程(&P)", nullptr,         1080,  600,  1455,  375},
    {B, "Command5", -1, Lit,   "确定(&S)",     nullptr,         2700,  600,  1455,  375},
    {B, "Command6", -1, Lit,   "退出(&Q)",     nullptr,         4320,  600,  1455,  375},
};

// Label3's caption is "网址:" and the web address, filled in by Form2.
const ControlRow kForm2[] = {
    {L, "Label1",   -1, Lit, "Quorvane小程序",          nullptr,   840,   240,  2055,  255},
    {L, "Label2",   -1, Lit, "梁上恒载计算 · Tessmoor", nullptr,   593,   560,  2535,  375},
    {L, "Label3",   -1, Lit, "网址:",                   nullptr,   638,   880,  2445,  375},
    {B, "Command1", -1, Lit, "确定",                    nullptr,  1193,  1200,  1335,  495},
};
// clang-format on

// The Tab key's cycle: the controls that take the focus, in order, input
// boxes by their field names. A new box goes in by name where it belongs.
const char* const kForm1Tabs[] = {
    "WallWidth", "WallHeight", "WallDensity", "DoorWidth", "DoorHeight", "DoorAreaWeight", "WindowWidth",
    "WindowHeight", "WindowAreaWeight", "BeamPlasterThickness", "BeamPlasterDensity", "WallPlasterThickness",
    "WallPlasterDensity", "Text1(0)", "Text1(1)", "Text1(2)", "Text1(3)", "ReductionRatio", "Command1",
    "Command2", "BeamLength", "BeamDensity", "BeamHeight", "BeamWidth", "Command3", "Check1", "Check2",
    "Text3", "Command4", "Command5", "Command6", "Command7", "Command8",
};
const char* const kForm2Tabs[] = {"Command1"};

}  // namespace

const ControlTable kForm1Window = {kWindow, std::size(kWindow)};
const ControlTable kForm1Frame1 = {kFrame1, std::size(kFrame1)};
const ControlTable kForm1Frame2 = {kFrame2, std::size(kFrame2)};
const ControlTable kForm1Frame3 = {kFrame3, std::size(kFrame3)};
const ControlTable kForm2Window = {kForm2, std::size(kForm2)};
const TabOrder kForm1TabOrder = {kForm1Tabs, std::size(kForm1Tabs)};
const TabOrder kForm2TabOrder = {kForm2Tabs, std::size(kForm2Tabs)};

QFont LayoutFont() { return desktop::LayoutFont(); }

int ParamOf(const ControlRow& row) {
    switch (row.source) {
        case Source::ParamRow:
        case Source::ParamCaption:
        case Source::ParamUnit:
        case Source::ParamDefault:
            return FindParam(row.field);
        default:
            return -1;
    }
}

int ResultOf(const ControlRow& row) { return row.source == Source::ResultCaption ? FindResult(row.field) : -1; }

QString InputBoxName(std::size_t index) {
    return index == kRatioIndex ? QStringLiteral("Text2") : QStringLiteral("Text(%1)").arg(index);
}

int Twips(int twips) { return (twips * 2 + 15) / 30; }

QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

}  // namespace quorvane
