#include "encoding.h"

#include <cstddef>

#include "os.h"

namespace quorvane {

std::size_t ValidUtf8Prefix(std::string_view bytes, bool allowCutEnd) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
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

std::string EncodeForSystem(std::string_view utf8) { return EncodeReport(utf8, SystemCharset()); }

}  // namespace quorvane
