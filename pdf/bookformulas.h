// The beam page's calculation as a checker reads it: the inputs by symbol
// with their values and units (lengths in m, as the formulas use them),
// then each step with its symbols, its numbers and its result with the
// unit. The figures are the text report's, digit for digit; only a
// leading zero is added (.2 reads 0.2).
#pragma once

#include <string>
#include <vector>

#include "loads.h"

namespace quorvane {

struct BookInput {
    std::string symbol, name, value;  // value with its unit
};

struct BookStep {
    std::string caption;  // the report's
    std::string symbols;  // g1 = γc·b·h
    std::string numbers;  // = 25×0.2×0.5 = 2.5 kN/m
};

std::vector<BookInput> BookInputs(const LoadInputs& in);
std::vector<BookStep> BookSteps(const LoadInputs& in, const LoadResults& r);

// A figure as the book prints it: the report's digits with a leading zero,
// without the space the report puts before a positive one.
std::string BookNumber(const std::string& printed);

}  // namespace quorvane
