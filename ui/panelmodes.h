// The three layouts of the main window. Check2_Click decides which one;
// Form1::ApplyPanelMode puts it in place and touches no text. (This table
// knows nothing of the window.)
#pragma once

namespace quorvane {

enum class PanelMode { Full, Medium, Compact };

struct PanelLayout {
    int frame1Height;
    bool frame2Shown;
    int frame2Top;
    bool frame3Shown;
    int frame3Top;
    int text1Top[3];   // Text1(1) .. Text1(3), which belong to the window
    int bottomRowTop;  // Label37, Label38, Label39, Check1, Check2
    int clientHeight;
};

const PanelLayout& LayoutOf(PanelMode mode);

}  // namespace quorvane
