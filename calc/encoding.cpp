#include "encoding.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "os.h"

namespace quorvane {

namespace {

// Where the next byte at or after i that is not ASCII stands (n: none),
// eight bytes at a time.
std::size_t SkipAscii(const unsigned char* p, std::size_t i, std::size_t n) {
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (i < n && p[i] < 0x80) ++i;
    return i;
}

}  // namespace

std::size_t ValidUtf8Prefix(std::string_view bytes, bool allowCutEnd) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            i = SkipAscii(p, i, n);
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80, high = 0xBF;  // range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return i;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k == n) return allowCutEnd ? n : i;
            const unsigned char t = p[i + k];
            if (t < (k == 1 ? low : 0x80) || t > (k == 1 ? high : 0xBF)) return i;
        }
        i += length;
    }
    return n;
}

namespace {

constexpr char32_t kKeptBase = 0x10FE00;  // + the byte

void AppendKept(std::string& out, unsigned char byte) { AppendUtf8(out, kKeptBase + byte); }

// The byte a kept code point stands for, when text at i starts with one.
int KeptByteAt(std::string_view text, std::size_t i) {
    if (i + 4 > text.size() || text[i] != '\xF4' || text[i + 1] != '\x8F') return -1;
    const auto third = static_cast<unsigned char>(text[i + 2]);
    if (third != 0xBA && third != 0xBB) return -1;
    return static_cast<int>(((third & 0x3F) << 6 | (static_cast<unsigned char>(text[i + 3]) & 0x3F)) & 0xFF);
}

// Length of the GB18030 character at i by its form (0: not one).
std::size_t Gb18030Length(std::string_view b, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(b[i + k]); };
    const unsigned char c = at(0);
    if (c < 0x80) return 1;
    if (c == 0x80 || c == 0xFF || i + 1 >= b.size()) return 0;
    const unsigned char t = at(1);
    if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE)) return 2;
    if (t >= 0x30 && t <= 0x39 && i + 3 < b.size() && at(2) >= 0x81 && at(2) <= 0xFE && at(3) >= 0x30 &&
        at(3) <= 0x39)
        return 4;
    return 0;
}

// Valid text that holds the stand-ins themselves (private-use code points
// nobody types) keeps those as bytes too, so that nothing is taken for a
// kept byte that was not one.
void AppendValidKeeping(std::string_view valid, std::size_t offset, KeptBytes& out) {
    std::size_t from = 0;
    for (std::size_t k = valid.find('\xF4'); k != std::string_view::npos; k = valid.find('\xF4', k + 1)) {
        if (KeptByteAt(valid, k) < 0) continue;
        out.utf8.append(valid.data() + from, k - from);
        if (out.firstBad == std::string::npos) out.firstBad = offset + k;
        for (std::size_t b = 0; b < 4; ++b) AppendKept(out.utf8, static_cast<unsigned char>(valid[k + b]));
        from = k + 4;
        k += 3;
    }
    out.utf8.append(valid.data() + from, valid.size() - from);
}

bool WellFormedGb18030(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = SkipAscii(p, 0, bytes.size()); i < bytes.size(); i = SkipAscii(p, i, bytes.size())) {
        const std::size_t length = Gb18030Length(bytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

void DecodeUtf8Keeping(std::string_view bytes, KeptBytes& out) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t valid = ValidUtf8Prefix(bytes.substr(i), false);
        AppendValidKeeping(bytes.substr(i, valid), i, out);
        i += valid;
        if (i == bytes.size()) break;
        if (out.firstBad == std::string::npos) out.firstBad = i;
        AppendKept(out.utf8, static_cast<unsigned char>(bytes[i++]));
    }
}

// One line that did not convert as a whole: character by character.
void DecodeGbLineKeeping(std::string_view line, std::size_t offset, const std::string& charset,
                         std::unordered_map<std::string, std::string>& seen, KeptBytes& out) {
    std::size_t i = 0;
    while (i < line.size()) {
        const std::size_t length = Gb18030Length(line, i);
        if (length == 1) {
            out.utf8 += line[i++];
            continue;
        }
        if (length > 1) {
            const std::string character(line.substr(i, length));
            auto found = seen.find(character);
            if (found == seen.end()) {
                auto decoded = os::Convert(character, charset, os::Utf8Charset());
                found = seen.emplace(character, decoded ? *decoded : std::string()).first;
            }
            if (!found->second.empty() && !HasKeptBytes(found->second)) {
                out.utf8 += found->second;
                i += length;
                continue;
            }
        }
        if (out.firstBad == std::string::npos) out.firstBad = offset + i;
        AppendKept(out.utf8, static_cast<unsigned char>(line[i++]));
    }
}

}  // namespace

bool HasKeptBytes(std::string_view text) {
    for (std::size_t i = text.find('\xF4'); i != std::string_view::npos; i = text.find('\xF4', i + 1))
        if (KeptByteAt(text, i) >= 0) return true;
    return false;
}

KeptBytes DecodeKeepingBytes(std::string_view bytes, const std::string& charset) {
    KeptBytes out;
    if (charset.empty()) {
        DecodeUtf8Keeping(bytes, out);
        return out;
    }
    // Some converters take bytes GB18030 does not have (Windows reads a lone
    // 0x80 as the euro sign, then writes the euro as two bytes): the form
    // is checked here, not left to them.
    if (WellFormedGb18030(bytes)) {
        if (auto whole = os::Convert(bytes, charset, os::Utf8Charset()); whole && !HasKeptBytes(*whole)) {
            out.utf8 = std::move(*whole);
            return out;
        }
    }
    std::unordered_map<std::string, std::string> seen;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        const std::string_view line = bytes.substr(start, end - start);
        std::optional<std::string> decoded;
        if (WellFormedGb18030(line)) decoded = os::Convert(line, charset, os::Utf8Charset());
        if (decoded && !HasKeptBytes(*decoded))
            out.utf8 += *decoded;
        else
            DecodeGbLineKeeping(line, start, charset, seen, out);
        start = end;
    }
    return out;
}

std::optional<std::string> EncodeKeepingBytes(std::string_view utf8, const std::string& charset) {
    const auto encode = [&](std::string_view piece) -> std::optional<std::string> {
        if (charset.empty()) return std::string(piece);
        return EncodeFromUtf8(piece, charset);
    };
    if (!HasKeptBytes(utf8)) return encode(utf8);
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const int byte = KeptByteAt(utf8, i);
        if (byte < 0) {
            ++i;
            continue;
        }
        auto piece = encode(utf8.substr(start, i - start));
        if (!piece) return std::nullopt;
        out += *piece;
        out += static_cast<char>(byte);
        i += 4;
        start = i;
    }
    auto rest = encode(utf8.substr(start));
    if (!rest) return std::nullopt;
    return out + *rest;
}

void TallyUtf8(std::string_view bytes, Utf8Tally& tally) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = SkipAscii(p, 0, n); i < n; i = SkipAscii(p, i, n)) {
        // One character (or one bad byte) at a time past the ASCII runs.
        const std::size_t length = ValidUtf8Prefix(bytes.substr(i, 4), false);
        const std::size_t lead = Utf8SequenceLength(p[i]);
        if (length >= lead) {
            ++tally.multiByte;
            i += lead;
        } else {
            ++tally.bad;
            ++i;
        }
    }
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        AppendUtf8(out, cp);
    }
    if (bytes.size() % 2) AppendUtf8(out, 0xFFFD);
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string SystemCharset() { return os::SystemCharset(); }

std::string Gb18030Charset() { return os::Gb18030Charset(); }

std::optional<std::string> EncodeFromUtf8(std::string_view utf8, const std::string& charset) {
    if (charset == os::Utf8Charset()) {
        if (ValidUtf8Prefix(utf8, false) != utf8.size()) return std::nullopt;
        return std::string(utf8);
    }
    return os::Convert(utf8, os::Utf8Charset(), charset);
}

std::optional<std::string> DecodeToUtf8(std::string_view bytes, const std::string& charset) {
    return os::Convert(bytes, charset, os::Utf8Charset());
}

std::string EncodeReport(std::string_view utf8, const std::string& charset) {
    if (!os::ReportStaysUtf8(charset)) {
        if (auto bytes = EncodeFromUtf8(utf8, charset)) return *bytes;
    }
    // Text the code page cannot hold: the whole file in UTF-8 (on Windows
    // with a byte-order mark, so that its viewers still read it right).
    return os::Utf8ReportNeedsByteOrderMark() ? "\xEF\xBB\xBF" + std::string(utf8) : std::string(utf8);
}

}  // namespace quorvane
