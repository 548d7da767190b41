#include "os.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <locale.h>
#include <windows.h>

// (after windows.h, which it needs)
#include <shellapi.h>

#include <algorithm>
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

namespace {

// The system's reason as errno, for the few that messages tell apart.
int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        default:
            return EIO;
    }
}

}  // namespace

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
        // Denied is also what a file that Excel holds open gives: ask the file.
        const HANDLE probe =
            CreateFileW(to.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
            error = ERROR_SHARING_VIOLATION;
        if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
    }
    errno = ErrnoOf(error);
    return false;
}

bool ProcessAlive(int pid) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

namespace {

FileInfo InfoOfHandle(HANDLE handle) {
    FileInfo info;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        info.kind = FileInfo::kOther;
        return info;
    }
    BY_HANDLE_FILE_INFORMATION about;
    if (!GetFileInformationByHandle(handle, &about)) {
        info.kind = FileInfo::kRegular;
        return info;
    }
    info.kind = (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileInfo::kFolder : FileInfo::kRegular;
    info.readOnly = info.kind == FileInfo::kRegular && (about.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
    info.device = about.dwVolumeSerialNumber;
    info.index = (static_cast<unsigned long long>(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
    info.size = (static_cast<unsigned long long>(about.nFileSizeHigh) << 32) | about.nFileSizeLow;
    info.modified =
        static_cast<long long>((static_cast<unsigned long long>(about.ftLastWriteTime.dwHighDateTime) << 32) |
                               about.ftLastWriteTime.dwLowDateTime);
    return info;
}

}  // namespace

FileInfo Inspect(const std::filesystem::path& path) {
    const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        // A file that another program holds without sharing still exists.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        FileInfo info;
        if (attributes == INVALID_FILE_ATTRIBUTES) return info;
        info.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FileInfo::kFolder : FileInfo::kRegular;
        info.readOnly = info.kind == FileInfo::kRegular && (attributes & FILE_ATTRIBUTE_READONLY);
        return info;
    }
    const FileInfo info = InfoOfHandle(handle);
    CloseHandle(handle);
    return info;
}

FileInfo InspectStream(std::FILE* stream) {
    if (!stream) return {};
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (handle == INVALID_HANDLE_VALUE) return {};
    return InfoOfHandle(handle);
}

std::filesystem::path FollowLinks(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return path;
    wchar_t buffer[32768];
    const DWORD length = GetFinalPathNameByHandleW(handle, buffer, 32768, FILE_NAME_NORMALIZED);
    CloseHandle(handle);
    if (length == 0 || length >= 32768) return path;
    std::wstring final(buffer, length);
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0)
        final = L"\\\\" + final.substr(8);
    else if (final.rfind(L"\\\\?\\", 0) == 0)
        final = final.substr(4);
    return std::filesystem::path(final);
}

FileHandle OpenInPlace(const std::filesystem::path& path) {
    return _wopen(path.c_str(), _O_WRONLY | _O_BINARY);
}

bool SyncFolder(const std::filesystem::path&) { return true; }  // MOVEFILE_WRITE_THROUGH did it

namespace {

constexpr int kWatchSlots = 16;
struct WatchSlot {
    volatile LONG used = 0;
    wchar_t path[32768];
};
WatchSlot* g_watched = nullptr;  // made at the first watch
CRITICAL_SECTION g_watchLock;

BOOL WINAPI RemoveWatchedOnClose(DWORD) {
    if (g_watched)
        for (int i = 0; i < kWatchSlots; ++i)
            if (g_watched[i].used) DeleteFileW(g_watched[i].path);
    return FALSE;  // and let the system stop the process
}

}  // namespace

void WatchTemporaryFile(const std::filesystem::path& path) {
    static const bool ready = [] {
        InitializeCriticalSection(&g_watchLock);
        g_watched = new WatchSlot[kWatchSlots];
        SetConsoleCtrlHandler(RemoveWatchedOnClose, TRUE);
        return true;
    }();
    (void)ready;
    const std::wstring& text = path.native();
    if (text.size() >= 32768) return;
    EnterCriticalSection(&g_watchLock);
    for (int i = 0; i < kWatchSlots; ++i) {
        if (g_watched[i].used) continue;
        std::copy(text.begin(), text.end(), g_watched[i].path);
        g_watched[i].path[text.size()] = L'\0';
        g_watched[i].used = 1;
        break;
    }
    LeaveCriticalSection(&g_watchLock);
}

void ForgetTemporaryFile(const std::filesystem::path& path) {
    if (!g_watched) return;
    EnterCriticalSection(&g_watchLock);
    for (int i = 0; i < kWatchSlots; ++i)
        if (g_watched[i].used && path.native() == g_watched[i].path) g_watched[i].used = 0;
    LeaveCriticalSection(&g_watchLock);
}

void CopyPermissions(FileHandle, const std::filesystem::path&) {}

int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }

// A locale of this thread's own, its numbers "C", until the end.
ClassicNumbersOnThisThread::ClassicNumbersOnThisThread() {
    mode_ = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    if (const char* current = std::setlocale(LC_NUMERIC, nullptr)) savedNumeric_ = current;
    std::setlocale(LC_NUMERIC, "C");
}

ClassicNumbersOnThisThread::~ClassicNumbersOnThisThread() {
    if (!savedNumeric_.empty()) std::setlocale(LC_NUMERIC, savedNumeric_.c_str());
    _configthreadlocale(mode_);
}

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

std::FILE* OpenFileForReading(const std::filesystem::path& path) {
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    // The C library calls a file that Excel holds open "permission denied".
    if (!file && GetLastError() == ERROR_SHARING_VIOLATION) errno = EBUSY;
    return file;
}

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
