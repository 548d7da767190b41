// The book's typeface read straight from its TrueType file: each
// character's glyph and advance, and a subset holding only the glyphs a
// book drew, to embed. Plain character-to-glyph mapping, no shaping: the
// book draws Chinese, Latin, Greek and symbols, none of which needs it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

class TrueTypeFont {
public:
    // Face `face` of a font file or collection (.ttc); none when the
    // bytes are not a TrueType font with outlines this reads.
    static std::optional<TrueTypeFont> Read(std::string data, int face = 0);

    // The glyph for a code point; 0 (the font's .notdef) when it has none.
    std::uint16_t Glyph(char32_t c) const;
    // A glyph's advance, in ems.
    double Advance(std::uint16_t glyph) const;
    double ascent() const { return ascent_; }    // ems above the baseline
    double descent() const { return descent_; }  // ems below it, positive
    int unitsPerEm() const { return unitsPerEm_; }
    // Bounding box of every glyph, in thousandths of an em (PDF's unit).
    std::vector<int> BoundingBox() const;

    // A font holding glyphs[k] as glyph k (glyphs[0] should be 0, the
    // .notdef), composite glyphs' parts included: those are appended to
    // glyphs, so that the caller knows every glyph the subset holds.
    std::string Subset(std::vector<std::uint16_t>& glyphs) const;

private:
    std::string data_;
    struct Table {
        std::uint32_t offset = 0, length = 0;
    };
    Table head_, hhea_, maxp_, hmtx_, loca_, glyf_, cvt_, fpgm_, prep_;
    int unitsPerEm_ = 1000, glyphCount_ = 0, metricsCount_ = 0;
    bool longOffsets_ = false;
    double ascent_ = 0.8, descent_ = 0.2;
    std::vector<std::uint16_t> basic_;  // the glyph of each character of the Basic Multilingual Plane
    std::vector<std::pair<char32_t, std::uint16_t>> supplementary_;  // the rest, sorted
    std::vector<float> advances_;

    std::string_view Bytes(const Table& t) const { return std::string_view(data_).substr(t.offset, t.length); }
    std::string_view GlyphData(std::uint16_t glyph) const;
    bool ReadCharacterMap(std::string_view cmap);
};

}  // namespace quorvane
