#include "encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#endif

namespace quorvane {

#ifdef _WIN32

std::string SystemCharset() { return "CP" + std::to_string(GetACP()); }

std::optional<std::string> EncodeFromUtf8(std::string_view utf8, const std::string& charset) {
    if (utf8.empty()) return std::string();
    if (charset.rfind("CP", 0) != 0) return std::nullopt;
    const UINT codePage = static_cast<UINT>(std::stoul(charset.substr(2)));
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                               static_cast<int>(utf8.size()), nullptr, 0);
    if (wideLength <= 0) return std::nullopt;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wideLength);
    if (codePage == CP_UTF8) return std::string(utf8);
    BOOL lost = FALSE;
    const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr,
                                           0, nullptr, &lost);
    if (length <= 0 || lost) return std::nullopt;
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, bytes.data(), length,
                        nullptr, &lost);
    return bytes;
}

std::string EncodeForSystem(std::string_view utf8) {
    if (auto bytes = EncodeFromUtf8(utf8, SystemCharset())) return *bytes;
    // Text the code page cannot hold: the whole file in UTF-8 with a BOM,
    // so that Windows viewers still read it right.
    return "\xEF\xBB\xBF" + std::string(utf8);
}

#else

std::string SystemCharset() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset ? codeset : "";
}

std::optional<std::string> EncodeFromUtf8(std::string_view utf8, const std::string& charset) {
    iconv_t cd = iconv_open(charset.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
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

std::string EncodeForSystem(std::string_view utf8) {
    const std::string charset = SystemCharset();
    const bool plain = charset.empty() || charset == "ANSI_X3.4-1968" || charset == "ASCII" ||
                       charset == "US-ASCII" || charset == "UTF-8" || charset == "utf8";
    if (!plain) {
        if (auto bytes = EncodeFromUtf8(utf8, charset)) return *bytes;
    }
    return std::string(utf8);
}

#endif

}  // namespace quorvane
