// Beams whose results every suite agrees on: the worked examples of the hand
// calculation, and beams where the grouping of a formula shows in the last
// digit. Each beam is the window's default texts with some fields replaced.
#pragma once

#include <QTest>

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "params.h"

namespace quorvane::test {

struct Beam {
    const char* tag;
    std::vector<std::pair<const char*, const char*>> texts;  // field, text
    std::array<const char*, 4> results;                      // BeamSelfWeight .. CadInputLoad
    const char* copied;                                      // what the copy command puts out
};

// clang-format off
inline const std::vector<Beam>& WorkedExamples() {
    static const std::vector<Beam> beams = {
        {"defaults", {}, {"2.908", "9.8", "12.708", "10.208"}, "10.3"},
        {"total from displayed texts",
         {{"DoorWidth", "1414"}},
         {"2.908", "6.93782833333333", "9.84582833333333", "7.34582833333333"},
         "7.4"},
        {"door and window",
         {{"DoorWidth", "900"}, {"WindowWidth", "1500"}},
         {"2.908", "5.30075", "8.20875", "5.70875"},
         "5.8"},
        {"empty box counts as zero", {{"WallPlasterThickness", ""}}, {"2.908", "8.1", "11.008", "8.508"}, "8.6"},
        {"wall lower than beam", {{"WallHeight", "400"}}, {"2.908", "-0.392", "2.516", "0.016"}, "0.1"},
        {"zero ratio", {{"ReductionRatio", "0"}}, {"0", "0", "0", "0"}, "0.1"},
        {"ratio 0.9", {{"ReductionRatio", "0.9"}}, {"2.6172", "8.82", "11.4372", "9.1872"}, "9.2"},
    };
    return beams;
}

// Beams where regrouping one formula changes a shown digit: the wall body
// (BeamLength x WallWidth) x clear height, the wall plaster (area x
// thickness) x density, and the masonry sum (net + plaster) + openings. The
// expected texts come from the independent reference model
// (tests/reference/beamref.py), not from the program.
inline const std::vector<Beam>& GroupingSensitiveBeams() {
    static const std::vector<Beam> beams = {
        {"masonry sum, an office beam",
         {{"BeamWidth", "300"}, {"BeamHeight", "850"}, {"BeamDensity", "24.5"}, {"WallHeight", "4600"},
          {"DoorWidth", "900"}, {"WindowWidth", "1500"}, {"BeamPlasterThickness", "25"},
          {"WallPlasterThickness", "25"}, {"BeamLength", "4300"}, {"ReductionRatio", "0.8"}},
         {"5.678", "9.11137674418604", "14.789376744186", "9.791376744186"},
         "9.8"},
        {"masonry sum, ratio 0.52",
         {{"BeamWidth", "190"}, {"BeamHeight", "1084"}, {"BeamDensity", "26"}, {"WallWidth", "240"},
          {"WallHeight", "4500"}, {"WallDensity", "19"}, {"DoorWidth", "1000"}, {"DoorHeight", "1928"},
          {"DoorAreaWeight", "0.5"}, {"WindowWidth", "900"}, {"WindowAreaWeight", "0.4"},
          {"BeamPlasterThickness", "30"}, {"BeamPlasterDensity", "20"}, {"WallPlasterThickness", "30"},
          {"WallPlasterDensity", "20"}, {"BeamLength", "4500"}, {"ReductionRatio", "0.52"}},
         {"3.5202752", "8.05632995555555", "11.5766051555555", "8.7920259555555"},
         "8.8"},
        {"wall body, short beam under a tall wall",
         {{"BeamWidth", "350"}, {"BeamHeight", "1200"}, {"BeamDensity", "25.5"}, {"WallWidth", "120"},
          {"WallHeight", "7382"}, {"WallDensity", "14"}, {"DoorWidth", "800"}, {"DoorHeight", "2213"},
          {"DoorAreaWeight", "0.5"}, {"WindowWidth", "600"}, {"WindowHeight", "1151"},
          {"BeamPlasterThickness", "25"}, {"BeamPlasterDensity", "20"}, {"WallPlasterThickness", "15"},
          {"BeamLength", "1245"}, {"ReductionRatio", "0.8"}},
         {"9.668", "8.09179251405622", "17.7597925140562", "9.1917925140562"},
         "9.2"},
        {"wall body, wide door",
         {{"BeamWidth", "236"}, {"BeamHeight", "800"}, {"BeamDensity", "25.5"}, {"WallWidth", "200"},
          {"WallHeight", "2900"}, {"DoorWidth", "1876"}, {"DoorHeight", "2400"}, {"DoorAreaWeight", "0.3"},
          {"WindowWidth", "1500"}, {"WindowHeight", "1500"}, {"WindowAreaWeight", "0.45"},
          {"BeamPlasterThickness", "25"}, {"BeamPlasterDensity", "20"}, {"BeamLength", "3300"},
          {"ReductionRatio", "0.9"}},
         {"5.15916", "0.851822181818181", "6.01098218181818", "1.67802218181818"},
         "1.7"},
        {"wall plaster, 25 mm",
         {{"BeamWidth", "250"}, {"BeamHeight", "1050"}, {"BeamDensity", "26"}, {"WallWidth", "190"},
          {"WallHeight", "5900"}, {"WallDensity", "10"}, {"DoorWidth", "900"}, {"DoorHeight", "2200"},
          {"DoorAreaWeight", "0.4"}, {"WindowWidth", "1800"}, {"WindowHeight", "2100"},
          {"WindowAreaWeight", "0.4"}, {"BeamPlasterThickness", "15"}, {"WallPlasterThickness", "25"},
          {"BeamLength", "5619"}, {"ReductionRatio", "0.9"}},
         {"6.681825", "9.83567738921516", "16.5175023892152", "10.3750023892152"},
         "10.4"},
        {"wall plaster, 30 mm",
         {{"BeamWidth", "350"}, {"BeamHeight", "943"}, {"WallWidth", "100"}, {"WallHeight", "6686"},
          {"WallDensity", "5.5"}, {"DoorWidth", "1500"}, {"DoorHeight", "2200"}, {"DoorAreaWeight", "0.5"},
          {"WindowHeight", "2100"}, {"WindowAreaWeight", "0.45"}, {"BeamPlasterThickness", "15"},
          {"WallPlasterThickness", "30"}, {"WallPlasterDensity", "20"}, {"BeamLength", "5955"},
          {"ReductionRatio", "0.8"}},
         {"7.057144", "7.48604382871537", "14.5431878287154", "7.9421878287154"},
         "8"},
    };
    return beams;
}

// clang-format on

// A _data() table with one row per beam, column "beam" its index.
inline void AddBeamRows(const std::vector<Beam>& beams) {
    QTest::addColumn<int>("beam");
    for (int i = 0; i < int(beams.size()); ++i) QTest::newRow(beams[std::size_t(i)].tag) << i;
}

// The window's defaults with the given fields replaced.
inline BeamTexts TextsOf(const std::vector<std::pair<const char*, const char*>>& replaced) {
    BeamTexts texts;
    for (const auto& [field, text] : replaced) texts.Set(field, text);
    return texts;
}

}  // namespace quorvane::test
