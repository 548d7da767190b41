#include "panelmodes.h"

namespace quorvane {
namespace {

// clang-format off
// Twips. Compact mode puts Text1(1) to Text1(3) below the client area, where
// they keep their texts and the Tab key still reaches them.
const PanelLayout kFull    = {3495, true,  3720, false,  120, {4080, 4440, 4800}, 5760, 6090};
const PanelLayout kMedium  = {2535, true,  2760, false,  120, {3120, 3480, 3840}, 4800, 5100};
const PanelLayout kCompact = {2535, false, 3720, true,  2760, {4800, 4440, 4800}, 3950, 4220};
// clang-format on

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

}  // namespace quorvane
