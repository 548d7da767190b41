// What a checker looks at first in a computed beam: loads that are not
// positive, openings larger than the wall they are in, a storey no higher
// than the beam, a reduction ratio outside (0, 1], a unit weight beyond
// every material GB 50009-2012 Table A lists for it. Each note a Chinese
// sentence with the figures as typed; none for an ordinary beam.
#pragma once

#include <string>
#include <vector>

#include "loads.h"
#include "params.h"

namespace quorvane {

std::vector<std::string> CheckerNotes(const InputTexts& texts, const Calculation& calculation);

}  // namespace quorvane
