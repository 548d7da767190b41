// Unit weights from GB 50009-2012 (建筑结构荷载规范) Appendix A, Table A
// (常用材料和构件的自重): the rows that fit this program's inputs, built in
// from data/gb50009-2012-table-a.csv, unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvane {

struct Material {
    std::string field;   // the input it gives (PlasterDensity: both plaster densities)
    int item = 0;        // the table's 项次
    std::string name;
    std::string low, high;  // as the table prints them; a single figure has low == high
    std::string unit;
    std::string remark;
    double Low() const;
    double High() const;
};

const std::vector<Material>& TableA();

// The materials of input i (its index in kParams); none for an input the table does not give.
std::vector<const Material*> MaterialsFor(std::size_t input);

// The table's rows for input i whose range holds value (empty when none does,
// or when the table gives nothing for that input).
std::vector<const Material*> MaterialsHolding(std::size_t input, double value);

}  // namespace quorvane
