#include "encoding.h"

#include <cstddef>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#endif

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

#ifdef _WIN32

std::string SystemCharset() { return "CP" + std::to_string(GetACP()); }

std::string Gb18030Charset() { return IsValidCodePage(54936) ? "CP54936" : "CP936"; }

namespace {

std::optional<UINT> CodePage(const std::string& charset) {
    if (charset.rfind("CP", 0) != 0 || charset.size() < 3) return std::nullopt;
    for (std::size_t i = 2; i < charset.size(); ++i)
        if (charset[i] < '0' || charset[i] > '9') return std::nullopt;
    return static_cast<UINT>(std::stoul(charset.substr(2)));
}

// Through UTF-16, refusing anything that does not convert exactly.
std::optional<std::string> Convert(std::string_view bytes, UINT from, UINT to) {
    if (bytes.empty()) return std::string();
    const int wideLength =
        MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (wideLength <= 0) return std::nullopt;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(from, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), wideLength);
    const bool utf = to == CP_UTF8 || to == 54936;  // these take no best-fit flag
    BOOL lost = FALSE;
    const int length = WideCharToMultiByte(to, utf ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr,
                                           0, nullptr, utf ? nullptr : &lost);
    if (length <= 0 || lost) return std::nullopt;
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(to, utf ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, out.data(), length, nullptr,
                        nullptr);
    return out;
}

}  // namespace

std::optional<std::string> EncodeFromUtf8(std::string_view utf8, const std::string& charset) {
    const auto codePage = CodePage(charset);
    if (!codePage) return std::nullopt;
    if (*codePage == CP_UTF8) {
        if (ValidUtf8Prefix(utf8, false) != utf8.size()) return std::nullopt;
        return std::string(utf8);
    }
    return Convert(utf8, CP_UTF8, *codePage);
}

std::optional<std::string> DecodeToUtf8(std::string_view bytes, const std::string& charset) {
    const auto codePage = CodePage(charset);
    if (!codePage) return std::nullopt;
    return Convert(bytes, *codePage, CP_UTF8);
}

std::string EncodeReport(std::string_view utf8, const std::string& charset) {
    if (auto bytes = EncodeFromUtf8(utf8, charset)) return *bytes;
    // Text the code page cannot hold: the whole file in UTF-8 with a BOM,
    // so that Windows viewers still read it right.
    return "\xEF\xBB\xBF" + std::string(utf8);
}

#else

std::string Gb18030Charset() { return "GB18030"; }

std::string SystemCharset() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset ? codeset : "";
}

namespace {

std::optional<std::string> Convert(std::string_view bytes, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    if (rc != static_cast<size_t>(-1)) rc = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    iconv_close(cd);
    // A non-reversible conversion counts as a lost character too.
    if (rc != 0 || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

std::optional<std::string> EncodeFromUtf8(std::string_view utf8, const std::string& charset) {
    return Convert(utf8, "UTF-8", charset.c_str());
}

std::optional<std::string> DecodeToUtf8(std::string_view bytes, const std::string& charset) {
    return Convert(bytes, charset.c_str(), "UTF-8");
}

std::string EncodeReport(std::string_view utf8, const std::string& charset) {
    const bool plain = charset.empty() || charset == "ANSI_X3.4-1968" || charset == "ASCII" ||
                       charset == "US-ASCII" || charset == "UTF-8" || charset == "utf8";
    if (!plain) {
        if (auto bytes = EncodeFromUtf8(utf8, charset)) return *bytes;
    }
    return std::string(utf8);
}

#endif

std::string EncodeForSystem(std::string_view utf8) { return EncodeReport(utf8, SystemCharset()); }

}  // namespace quorvane
