#include "truetype.h"

#include <algorithm>
#include <map>

namespace quorvane {
namespace {

std::uint32_t U16(std::string_view b, std::size_t at) {
    if (at + 2 > b.size()) return 0;
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]) << 8 | static_cast<unsigned char>(b[at + 1]));
}
std::int32_t S16(std::string_view b, std::size_t at) { return static_cast<std::int16_t>(U16(b, at)); }
std::uint32_t U32(std::string_view b, std::size_t at) { return U16(b, at) << 16 | U16(b, at + 2); }

void Put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v >> 8 & 0xFF);
    out += static_cast<char>(v & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v >> 16);
    Put16(out, v & 0xFFFF);
}
void Set16(std::string& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<char>(v >> 8 & 0xFF);
    b[at + 1] = static_cast<char>(v & 0xFF);
}
void Set32(std::string& b, std::size_t at, std::uint32_t v) {
    Set16(b, at, v >> 16);
    Set16(b, at + 2, v & 0xFFFF);
}

std::uint32_t CheckSum(std::string_view b) {
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < b.size(); at += 4) {
        std::uint32_t word = 0;
        for (std::size_t k = 0; k < 4; ++k)
            word = word << 8 | (at + k < b.size() ? static_cast<unsigned char>(b[at + k]) : 0u);
        sum += word;
    }
    return sum;
}

// A composite glyph's parts: where each part's glyph number stands in its data.
std::vector<std::size_t> ComponentPlaces(std::string_view glyph) {
    std::vector<std::size_t> places;
    if (glyph.size() < 10 || S16(glyph, 0) >= 0) return places;
    constexpr std::uint32_t kWords = 0x1, kScale = 0x8, kMore = 0x20, kXYScale = 0x40, kTwoByTwo = 0x80;
    std::size_t at = 10;
    for (;;) {
        if (at + 4 > glyph.size()) break;
        const std::uint32_t flags = U16(glyph, at);
        places.push_back(at + 2);
        at += 4 + ((flags & kWords) ? 4 : 2);
        if (flags & kScale)
            at += 2;
        else if (flags & kXYScale)
            at += 4;
        else if (flags & kTwoByTwo)
            at += 8;
        if (!(flags & kMore)) break;
    }
    return places;
}

}  // namespace

std::optional<TrueTypeFont> TrueTypeFont::Read(std::string data, int face) {
    TrueTypeFont font;
    font.data_ = std::move(data);
    const std::string_view b = font.data_;
    std::size_t directory = 0;
    if (b.substr(0, 4) == "ttcf") {
        if (face < 0 || static_cast<std::uint32_t>(face) >= U32(b, 8)) return std::nullopt;
        directory = U32(b, 12 + 4 * static_cast<std::size_t>(face));
    }
    if (U32(b, directory) != 0x00010000) return std::nullopt;  // TrueType outlines only
    const std::uint32_t tables = U16(b, directory + 4);
    std::string_view cmap;
    for (std::uint32_t t = 0; t < tables; ++t) {
        const std::size_t record = directory + 12 + 16 * static_cast<std::size_t>(t);
        const std::string_view tag = b.substr(std::min(record, b.size()), 4);
        const Table table{U32(b, record + 8), U32(b, record + 12)};
        if (table.offset > b.size() || table.length > b.size() - table.offset) return std::nullopt;
        if (tag == "head") font.head_ = table;
        if (tag == "hhea") font.hhea_ = table;
        if (tag == "maxp") font.maxp_ = table;
        if (tag == "hmtx") font.hmtx_ = table;
        if (tag == "loca") font.loca_ = table;
        if (tag == "glyf") font.glyf_ = table;
        if (tag == "cvt ") font.cvt_ = table;
        if (tag == "fpgm") font.fpgm_ = table;
        if (tag == "prep") font.prep_ = table;
        if (tag == "cmap") cmap = b.substr(table.offset, table.length);
    }
    const std::string_view head = font.Bytes(font.head_), hhea = font.Bytes(font.hhea_);
    if (head.size() < 54 || hhea.size() < 36 || font.Bytes(font.maxp_).size() < 6 || font.glyf_.length == 0)
        return std::nullopt;
    font.unitsPerEm_ = static_cast<int>(U16(head, 18));
    font.longOffsets_ = U16(head, 50) == 1;
    font.glyphCount_ = static_cast<int>(U16(font.Bytes(font.maxp_), 4));
    font.metricsCount_ = static_cast<int>(U16(hhea, 34));
    if (font.unitsPerEm_ <= 0 || font.metricsCount_ <= 0 || font.metricsCount_ > font.glyphCount_ ||
        font.hmtx_.length < 4u * static_cast<unsigned>(font.metricsCount_) ||
        font.loca_.length < (font.longOffsets_ ? 4u : 2u) * static_cast<unsigned>(font.glyphCount_ + 1))
        return std::nullopt;
    const double em = font.unitsPerEm_;
    font.ascent_ = S16(hhea, 4) / em;
    font.descent_ = -S16(hhea, 6) / em;
    font.advances_.resize(static_cast<std::size_t>(font.glyphCount_));
    const std::string_view hmtx = font.Bytes(font.hmtx_);
    for (int g = 0; g < font.glyphCount_; ++g)
        font.advances_[static_cast<std::size_t>(g)] =
            static_cast<float>(U16(hmtx, 4 * static_cast<std::size_t>(std::min(g, font.metricsCount_ - 1))) / em);
    if (!font.ReadCharacterMap(cmap)) return std::nullopt;
    return font;
}

// Windows' Unicode maps: the full one (format 12) where there is one, else the BMP one (format 4).
bool TrueTypeFont::ReadCharacterMap(std::string_view cmap) {
    std::string_view full, bmp;
    for (std::uint32_t k = 0, n = U16(cmap, 2); k < n; ++k) {
        const std::uint32_t platform = U16(cmap, 4 + 8 * k), encoding = U16(cmap, 6 + 8 * k);
        const std::uint32_t offset = U32(cmap, 8 + 8 * k);
        if (offset >= cmap.size()) continue;
        const std::string_view sub = cmap.substr(offset);
        const std::uint32_t format = U16(sub, 0);
        if (format == 12 && (platform == 3 || platform == 0)) full = sub;
        if (format == 4 && (platform == 3 || platform == 0) && encoding <= 3) bmp = sub;
    }
    basic_.assign(0x10000, 0);
    const auto set = [&](char32_t c, std::uint32_t glyph) {
        if (glyph == 0 || glyph >= static_cast<std::uint32_t>(glyphCount_)) return;
        if (c < 0x10000)
            basic_[c] = static_cast<std::uint16_t>(glyph);
        else if (c <= 0x10FFFF)
            supplementary_.emplace_back(c, static_cast<std::uint16_t>(glyph));
    };
    if (!full.empty()) {
        const std::uint32_t groups = U32(full, 12);
        for (std::uint32_t k = 0; k < groups && 16 + 12 * static_cast<std::size_t>(k) + 12 <= full.size(); ++k) {
            const std::size_t at = 16 + 12 * static_cast<std::size_t>(k);
            const std::uint32_t first = U32(full, at), last = std::min<std::uint32_t>(U32(full, at + 4), 0x10FFFF);
            for (std::uint32_t c = first; c <= last && c >= first; ++c) set(c, U32(full, at + 8) + (c - first));
        }
    } else if (!bmp.empty()) {
        const std::size_t segments = U16(bmp, 6) / 2;
        const std::size_t ends = 14, starts = 16 + 2 * segments, deltas = starts + 2 * segments,
                          ranges = deltas + 2 * segments;
        for (std::size_t s = 0; s < segments; ++s) {
            const std::uint32_t first = U16(bmp, starts + 2 * s), last = U16(bmp, ends + 2 * s);
            const std::uint32_t delta = U16(bmp, deltas + 2 * s), range = U16(bmp, ranges + 2 * s);
            for (std::uint32_t c = first; c <= last && c != 0xFFFF; ++c) {
                std::uint32_t glyph = 0;
                if (range == 0) {
                    glyph = (c + delta) & 0xFFFF;
                } else {
                    glyph = U16(bmp, ranges + 2 * s + range + 2 * (c - first));
                    if (glyph != 0) glyph = (glyph + delta) & 0xFFFF;
                }
                set(c, glyph);
            }
        }
    } else {
        return false;
    }
    std::sort(supplementary_.begin(), supplementary_.end());
    return true;
}

std::uint16_t TrueTypeFont::Glyph(char32_t c) const {
    if (c < 0x10000) return basic_[c];
    const auto found = std::lower_bound(supplementary_.begin(), supplementary_.end(), std::make_pair(c, std::uint16_t(0)));
    return found != supplementary_.end() && found->first == c ? found->second : 0;
}

double TrueTypeFont::Advance(std::uint16_t glyph) const {
    return glyph < advances_.size() ? advances_[glyph] : 0.0;
}

std::vector<int> TrueTypeFont::BoundingBox() const {
    const std::string_view head = Bytes(head_);
    std::vector<int> box;
    for (std::size_t at = 36; at <= 42; at += 2) box.push_back(S16(head, at) * 1000 / unitsPerEm_);
    return box;
}

std::string_view TrueTypeFont::GlyphData(std::uint16_t glyph) const {
    if (glyph >= glyphCount_) return {};
    const std::string_view loca = Bytes(loca_);
    const std::uint32_t from = longOffsets_ ? U32(loca, 4u * glyph) : 2 * U16(loca, 2u * glyph);
    const std::uint32_t to = longOffsets_ ? U32(loca, 4u * glyph + 4) : 2 * U16(loca, 2u * glyph + 2);
    if (to <= from || to > glyf_.length) return {};
    return Bytes(glyf_).substr(from, to - from);
}

std::string TrueTypeFont::Subset(std::vector<std::uint16_t>& glyphs) const {
    // Parts of composite glyphs come along, numbered after those asked for.
    std::map<std::uint16_t, std::uint16_t> number;
    for (std::size_t k = 0; k < glyphs.size(); ++k) number.emplace(glyphs[k], static_cast<std::uint16_t>(k));
    for (std::size_t k = 0; k < glyphs.size() && glyphs.size() < 0xFFFF; ++k) {
        const std::string_view data = GlyphData(glyphs[k]);
        for (const std::size_t place : ComponentPlaces(data)) {
            const auto part = static_cast<std::uint16_t>(U16(data, place));
            if (number.emplace(part, static_cast<std::uint16_t>(glyphs.size())).second) glyphs.push_back(part);
        }
    }
    std::string glyf, loca, hmtx;
    const std::string_view metrics = Bytes(hmtx_);
    for (const std::uint16_t g : glyphs) {
        Put32(loca, static_cast<std::uint32_t>(glyf.size()));
        std::string data(GlyphData(g));
        for (const std::size_t place : ComponentPlaces(data)) Set16(data, place, number[static_cast<std::uint16_t>(U16(data, place))]);
        glyf += data;
        while (glyf.size() % 4) glyf += '\0';
        const int m = std::min<int>(g, metricsCount_ - 1);
        Put16(hmtx, U16(metrics, 4 * static_cast<std::size_t>(m)));
        Put16(hmtx, g < metricsCount_ ? U16(metrics, 4u * g + 2)
                                      : U16(metrics, 4 * static_cast<std::size_t>(metricsCount_) + 2u * (g - metricsCount_)));
    }
    Put32(loca, static_cast<std::uint32_t>(glyf.size()));
    const auto count = static_cast<std::uint32_t>(glyphs.size());
    std::string head(Bytes(head_)), hhea(Bytes(hhea_)), maxp(Bytes(maxp_));
    Set32(head, 8, 0);   // checkSumAdjustment, set below
    Set16(head, 50, 1);  // long offsets
    Set16(hhea, 34, count);
    Set16(maxp, 4, count);
    // Tags in order, as the format wants them.
    std::vector<std::pair<std::string, std::string>> tables = {
        {"cvt ", std::string(Bytes(cvt_))}, {"fpgm", std::string(Bytes(fpgm_))}, {"glyf", glyf},
        {"head", head}, {"hhea", hhea}, {"hmtx", hmtx}, {"loca", loca}, {"maxp", maxp}, {"prep", std::string(Bytes(prep_))}};
    tables.erase(std::remove_if(tables.begin(), tables.end(), [](const auto& t) { return t.second.empty(); }), tables.end());
    const auto n = static_cast<std::uint32_t>(tables.size());
    std::uint32_t power = 1, log = 0;
    while (power * 2 <= n) power *= 2, ++log;
    std::string font;
    Put32(font, 0x00010000);
    Put16(font, n);
    Put16(font, power * 16);
    Put16(font, log);
    Put16(font, n * 16 - power * 16);
    std::size_t offset = 12 + 16 * tables.size(), headAt = 0;
    for (const auto& [tag, body] : tables) {
        font += tag;
        Put32(font, CheckSum(body));
        Put32(font, static_cast<std::uint32_t>(offset));
        Put32(font, static_cast<std::uint32_t>(body.size()));
        if (tag == "head") headAt = offset;
        offset += (body.size() + 3) / 4 * 4;
    }
    for (const auto& [tag, body] : tables) {
        font += body;
        while (font.size() % 4) font += '\0';
    }
    Set32(font, headAt + 8, 0xB1B0AFBAu - CheckSum(font));
    return font;
}

}  // namespace quorvane
