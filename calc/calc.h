// Quorvane's calculation core: everything a beam's dead load needs, with no
// window toolkit in it.
//
// Data flow of one press of a compute button:
//   the input texts (the boxes, then the ratio), as BeamTexts    params.h
//     -> EvaluateBeam: each text checked by its rule, then       beam.h
//        LoadInputs (lengths mm -> m) and LoadResults, each
//        result text handed out as soon as its step makes it     loads.h
//     -> result boxes (the window) / standard output (CLI) / a schedule's row
//     -> BuildReportLines -> EncodeReport
//        -> ReplaceFileAtomically                              files.h, encoding.h
// Number text rules (reading, checks, text-box and print form) are numtext.h.
#pragma once

#include "beam.h"
#include "encoding.h"
#include "files.h"
#include "loads.h"
#include "numtext.h"
#include "params.h"
#include "report.h"
