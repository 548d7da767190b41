// The windows' controls as a form designer stores them: one table per
// container, positions and sizes in twips from the container's top-left.
#pragma once

#include <QFont>
#include <QRect>
#include <QStringList>

#include <cstddef>

namespace quorvane {

enum class Kind { Frame, Label, TextBox, Button, CheckBox };

// Where a control's caption or text comes from: a literal of this table, or
// the parameter table (so captions, units and defaults are written once).
enum class Source { Literal, ParamRow, ParamCaption, ParamUnit, ParamDefault, ResultCaption, ResultUnit };

struct ControlRow {
    Kind kind;
    const char* name;  // "Text", "Label12", "Command1" ...; an input box is named by its parameter
    int index;         // member of a control array, or -1
    Source source;
    const char* text;   // the literal, when source is Literal
    const char* field;  // the parameter's or result's field name, for the other sources
    int left, top, width, height;
};

struct ControlTable {
    const ControlRow* rows;
    std::size_t count;
};

extern const ControlTable kForm1Window;  // controls of the window itself
extern const ControlTable kForm1Frame1;
extern const ControlTable kForm1Frame2;
extern const ControlTable kForm1Frame3;
extern const ControlTable kForm2Window;

// The parameter and result a row speaks of (-1: none).
int ParamOf(const ControlRow& row);
int ResultOf(const ControlRow& row);

// The control name of input i's box: "Text(i)", or "Text2" for the ratio.
QString InputBoxName(std::size_t index);

// The controls that take the focus, in the Tab key's order: by control
// name, or an input's field name for its box.
struct TabOrder {
    const char* const* names;
    std::size_t count;
};

extern const TabOrder kForm1TabOrder;
extern const TabOrder kForm2TabOrder;

constexpr int kForm1ClientWidth = 7035;
constexpr int kForm1DesignClientHeight = 6090;
constexpr int kForm2ClientWidth = 3720;
constexpr int kForm2ClientHeight = 1875;

// The font the layout was measured for: 9 points (12 pixels at 96 dpi) of a
// Chinese font whose Latin letters are half as wide as its Han characters.
// On Windows that is SimSun (宋体), which every Chinese Windows has, with
// its sibling NSimSun and then the system's UI font as fallbacks; elsewhere
// Noto Sans Mono CJK SC.
QFont LayoutFont();

// Twips to device-independent pixels: 15 twips are one pixel at 96 dpi.
int Twips(int twips);
QRect TwipsRect(int left, int top, int width, int height);

}  // namespace quorvane
