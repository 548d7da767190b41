#include "os.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

// (after windows.h, which it needs)
#include <shellapi.h>

#include <cerrno>

#include "win32.h"

namespace quorvane::os {
namespace {

std::optional<UINT> CodePage(const std::string& charset) {
    if (charset.rfind("CP", 0) != 0 || charset.size() < 3) return std::nullopt;
    for (std::size_t i = 2; i < charset.size(); ++i)
        if (charset[i] < '0' || charset[i] > '9') return std::nullopt;
    return static_cast<UINT>(std::stoul(charset.substr(2)));
}

}  // namespace

FileHandle OpenNewFile(const std::filesystem::path& path) {
    constexpr int kReadWrite = 0x0180;  // _S_IREAD | _S_IWRITE, which strict C++ hides
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, kReadWrite);
}

bool SyncAndClose(FileHandle file) { return _commit(file) == 0 && _close(file) == 0; }

std::FILE* StreamOf(FileHandle file) { return _fdopen(file, "wb"); }

bool SyncStream(std::FILE* stream) { return _commit(_fileno(stream)) == 0; }

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

void CopyPermissions(FileHandle, const std::filesystem::path&) {}

int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }

std::tm LocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return local;
}

std::optional<std::string> UserDateTimeText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t date[128], time[128];
    const int d =
        GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128, nullptr);
    const int t = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &now, nullptr, time, 128);
    if (d <= 1 || t <= 1) return std::nullopt;
    return win::Narrow(std::wstring_view(date, static_cast<size_t>(d - 1))) + " " +
           win::Narrow(std::wstring_view(time, static_cast<size_t>(t - 1)));
}

std::string Utf8Charset() { return "CP65001"; }

std::string SystemCharset() { return "CP" + std::to_string(GetACP()); }

std::string Gb18030Charset() { return IsValidCodePage(54936) ? "CP54936" : "CP936"; }

// Through UTF-16, refusing anything that does not convert exactly.
std::optional<std::string> Convert(std::string_view bytes, const std::string& fromCharset,
                                   const std::string& toCharset) {
    const auto from = CodePage(fromCharset), to = CodePage(toCharset);
    if (!from || !to) return std::nullopt;
    if (bytes.empty()) return std::string();
    const int wideLength = MultiByteToWideChar(*from, MB_ERR_INVALID_CHARS, bytes.data(),
                                               static_cast<int>(bytes.size()), nullptr, 0);
    if (wideLength <= 0) return std::nullopt;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(*from, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), wideLength);
    const bool utf = *to == CP_UTF8 || *to == 54936;  // these take no best-fit flag
    BOOL lost = FALSE;
    const int length = WideCharToMultiByte(*to, utf ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                                           nullptr, 0, nullptr, utf ? nullptr : &lost);
    if (length <= 0 || lost) return std::nullopt;
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(*to, utf ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, out.data(), length,
                        nullptr, nullptr);
    return out;
}

bool ReportStaysUtf8(const std::string&) { return false; }

bool Utf8ReportNeedsByteOrderMark() { return true; }

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return {argv, argv + argc};
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) args.push_back(win::Narrow(wide[i]));
    LocalFree(wide);
    return args;
}

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

void WriteText(std::FILE* stream, std::string_view utf8) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        const std::wstring wide = win::Widen(utf8);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::string bytes;
    bytes.reserve(utf8.size() + 32);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\n' && (i == 0 || utf8[i - 1] != '\r')) bytes += '\r';
        bytes += utf8[i];
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

std::FILE* OpenFileForReading(const std::filesystem::path& path) { return _wfopen(path.c_str(), L"rb"); }

std::optional<std::string> NarrowFolderPath(const std::filesystem::path& folder) {
    auto ansi = [](const std::wstring& wide) -> std::optional<std::string> {
        BOOL lost = FALSE;
        const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                               static_cast<int>(wide.size()), nullptr, 0, nullptr, &lost);
        if (wide.empty()) return std::string();
        if (length <= 0 || lost) return std::nullopt;
        std::string out(static_cast<size_t>(length), '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                            out.data(), length, nullptr, nullptr);
        return out;
    };
    if (auto narrow = ansi(folder.wstring())) return narrow;
    wchar_t shortName[MAX_PATH];
    const DWORD length = GetShortPathNameW(folder.c_str(), shortName, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    return ansi(std::wstring(shortName, length));
}

}  // namespace quorvane::os
