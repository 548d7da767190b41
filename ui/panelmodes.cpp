#include "panelmodes.h"

#include "form1.h"
#include "geometry.h"

namespace quorvane {
namespace {

// clang-format off
// Twips. Compact mode puts Text1(1) to Text1(3) below the client area, where
// they keep their texts and the Tab key still reaches them.
const PanelLayout kFull    = {3495, true,  3720, false,  120, {4080, 4440, 4800}, 5760, 6090};
const PanelLayout kMedium  = {2535, true,  2760, false,  120, {3120, 3480, 3840}, 4800, 5100};
const PanelLayout kCompact = {2535, false, 3720, true,  2760, {4800, 4440, 4800}, 3950, 4220};
// clang-format on

void SetTop(QWidget* w, int twips) {
    if (auto* box = qobject_cast<CaptionlessCheckBox*>(w))
        box->SetDesignedTop(Twips(twips));
    else
        w->move(w->x(), Twips(twips));
}

}  // namespace

const PanelLayout& LayoutOf(PanelMode mode) {
    switch (mode) {
        case PanelMode::Medium:
            return kMedium;
        case PanelMode::Compact:
            return kCompact;
        case PanelMode::Full:
            break;
    }
    return kFull;
}

void Form1::ApplyPanelMode(PanelMode mode) {
    Form1& f = *this;
    const PanelLayout& l = LayoutOf(mode);
    f.Frame3->setVisible(l.frame3Shown);
    f.Frame2->setVisible(l.frame2Shown);
    f.Frame1->resize(f.Frame1->width(), Twips(l.frame1Height));
    SetTop(f.Frame2, l.frame2Top);
    SetTop(f.Frame3, l.frame3Top);
    for (int i = 0; i < 3; ++i) SetTop(f.Text1[i + 1], l.text1Top[i]);
    for (QWidget* w :
         {static_cast<QWidget*>(f.Label37), static_cast<QWidget*>(f.Label38),
          static_cast<QWidget*>(f.Label39), static_cast<QWidget*>(f.Check1), static_cast<QWidget*>(f.Check2)})
        SetTop(w, l.bottomRowTop);
    f.setFixedSize(f.width(), Twips(l.clientHeight));
}

}  // namespace quorvane
