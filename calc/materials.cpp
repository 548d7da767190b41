#include "materials.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "encoding.h"
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

const MaterialField kMaterialFields[6] = {
    {"BeamMaterial", "梁材料", "BeamDensity"},
    {"WallMaterial", "墙体材料", "WallDensity"},
    {"DoorMaterial", "门材料", "DoorAreaWeight"},
    {"WindowMaterial", "窗材料", "WindowAreaWeight"},
    {"BeamPlasterMaterial", "梁上抹灰材料", "BeamPlasterDensity"},
    {"WallPlasterMaterial", "墙上抹灰材料", "WallPlasterDensity"},
};

const MaterialField* FindMaterialField(std::string_view name) {
    const auto same = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
            if (lower(a[i]) != lower(b[i])) return false;
        }
        return true;
    };
    for (const MaterialField& f : kMaterialFields)
        if (same(name, f.field) || name == f.caption) return &f;
    return nullptr;
}

std::string MaterialName(std::size_t input, const Material& material) {
    int same = 0;
    for (const Material* m : MaterialsFor(input)) same += m->name == material.name ? 1 : 0;
    return same > 1 && !material.remark.empty() ? material.name + "(" + material.remark + ")" : material.name;
}

std::string MaterialRange(const Material& material) {
    return (material.low == material.high ? material.low : material.low + "–" + material.high) + " " + material.unit;
}

const Material* FindMaterial(std::size_t input, std::string_view name, std::vector<std::string>* nearest) {
    const std::vector<const Material*> materials = MaterialsFor(input);
    const Material* bare = nullptr;
    int bareCount = 0;
    for (const Material* m : materials) {
        if (MaterialName(input, *m) == name) return m;
        if (m->name == name) {
            bare = m;
            ++bareCount;
        }
    }
    if (bareCount == 1) return bare;
    if (nearest) {
        // The names sharing most characters (whole UTF-8 sequences) with the one given.
        std::vector<std::pair<int, std::string>> scored;
        for (const Material* m : materials) {
            const std::string shown = MaterialName(input, *m);
            int score = 0;
            for (std::size_t i = 0; i < name.size();) {
                const auto c = static_cast<unsigned char>(name[i]);
                const std::size_t length = Utf8SequenceLength(c);
                if (shown.find(name.substr(i, length)) != std::string::npos) ++score;
                i += length;
            }
            scored.emplace_back(-score, shown);
        }
        std::stable_sort(scored.begin(), scored.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        nearest->clear();
        for (std::size_t k = 0; k < scored.size() && k < 3; ++k) nearest->push_back(scored[k].second);
    }
    return nullptr;
}

}  // namespace quorvane
