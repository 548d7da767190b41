#include "materials.h"

#include <cstdlib>
#include <string_view>

#include "params.h"

namespace quorvane {
namespace {

// The data file, as the build read it (a raw string named kTableA).
#include "materials_table.inc"

std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t comma; (comma = line.find(',', start)) != std::string_view::npos; start = comma + 1)
        fields.emplace_back(line.substr(start, comma - start));
    fields.emplace_back(line.substr(start));
    return fields;
}

std::string_view TableField(std::size_t input) {
    const std::string_view field = kParams[input].field;
    return field == "BeamPlasterDensity" || field == "WallPlasterDensity" ? std::string_view("PlasterDensity") : field;
}

}  // namespace

double Material::Low() const { return std::strtod(low.c_str(), nullptr); }
double Material::High() const { return std::strtod(high.c_str(), nullptr); }

const std::vector<Material>& TableA() {
    static const std::vector<Material> table = [] {
        std::vector<Material> rows;
        std::string_view text = kTableA;
        bool header = true;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (line.empty() || line.front() == '#') continue;
            if (header) {  // field,item,name,low,high,unit,remark
                header = false;
                continue;
            }
            std::vector<std::string> f = Fields(line);
            f.resize(7);
            rows.push_back({f[0], std::atoi(f[1].c_str()), f[2], f[3], f[4], f[5], f[6]});
        }
        return rows;
    }();
    return table;
}

std::vector<const Material*> MaterialsFor(std::size_t input) {
    std::vector<const Material*> found;
    if (input >= kInputCount) return found;
    for (const Material& m : TableA())
        if (m.field == TableField(input)) found.push_back(&m);
    return found;
}

std::vector<const Material*> MaterialsHolding(std::size_t input, double value) {
    std::vector<const Material*> found;
    for (const Material* m : MaterialsFor(input))
        if (value >= m->Low() && value <= m->High()) found.push_back(m);
    return found;
}

}  // namespace quorvane
