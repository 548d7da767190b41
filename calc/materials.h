// Unit weights from GB 50009-2012 (建筑结构荷载规范) Appendix A, Table A
// (常用材料和构件的自重): the rows that fit this program's inputs, built in
// from data/gb50009-2012-table-a.csv, unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
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

// A material named beside its unit weight: the schedule's column (and a
// command-line field) and the weight input it gives.
struct MaterialField {
    const char* field;    // WallMaterial
    const char* caption;  // 墙体材料
    const char* weight;   // WallDensity
};
extern const MaterialField kMaterialFields[6];
// By field or caption, letter case aside; nullptr when neither.
const MaterialField* FindMaterialField(std::string_view name);

// A material's name as the program shows and takes it: the table's name,
// with its remark in brackets where the name alone is not unique for the input.
std::string MaterialName(std::size_t input, const Material& material);
// The material of input i so named (or by its bare name where that is
// unique); nullptr when none, with up to three names nearest to it.
const Material* FindMaterial(std::size_t input, std::string_view name, std::vector<std::string>* nearest = nullptr);
// The range as the table prints it: 18.0, or 17.0–18.5, with the unit.
std::string MaterialRange(const Material& material);

// The materials of input i (its index in kParams); none for an input the table does not give.
std::vector<const Material*> MaterialsFor(std::size_t input);

// The table's rows for input i whose range holds value (empty when none does,
// or when the table gives nothing for that input).
std::vector<const Material*> MaterialsHolding(std::size_t input, double value);

}  // namespace quorvane
