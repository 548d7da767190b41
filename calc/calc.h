// Quorvane's calculation core: everything a beam's dead load needs, with no
// window toolkit in it.
//
// Data flow of one press of a compute button:
//   the 18 input texts (17 boxes, then the ratio)
//     -> ConvertInputs: LoadInputs (lengths mm -> m)           params.h, loads.h
//     -> ComputeLoads: LoadResults, each result text handed
//        out as soon as its step makes it                      loads.h
//     -> result boxes (the window) / standard output (CLI)
//     -> BuildReportLines -> EncodeReport
//        -> ReplaceFileAtomically                              files.h, encoding.h
// Number text rules (reading, checks, text-box and print form) are numtext.h.
#pragma once

#include "encoding.h"
#include "files.h"
#include "loads.h"
#include "numtext.h"
#include "params.h"
#include "report.h"
