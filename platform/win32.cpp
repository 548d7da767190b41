#include "win32.h"

#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <vector>

namespace quorvane::win {
namespace {

constexpr UINT kStackingOnly = SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW;  // 0xB

const std::wstring kFixedReport = L"C:\\Program Files\\计算过程.txt";

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// Whether two paths name the same file or folder (volume and file index).
bool SameFile(const wchar_t* a, const wchar_t* b) {
    BY_HANDLE_FILE_INFORMATION info[2];
    const wchar_t* paths[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        HANDLE h = CreateFileW(paths[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const BOOL ok = GetFileInformationByHandle(h, &info[i]);
        CloseHandle(h);
        if (!ok) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

}  // namespace

void SetTopmost(HWND window) { SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kStackingOnly); }

void ClearTopmost(HWND window) { SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kStackingOnly); }

bool IsTopmost(HWND window) { return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

DWORD StartMinimized(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return GetLastError();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

std::wstring ReportViewerCommand(const std::wstring& reportPath) {
    // PROGRA~1 must really be the Program Files folder: 8.3 names can be
    // switched off, and on some systems PROGRA~1 is another folder.
    if (SameText(reportPath, kFixedReport) && SameFile(L"C:\\PROGRA~1", L"C:\\Program Files"))
        return L"cmd.exe /c start C:\\PROGRA~1\\计算过程.txt";
    // No 8.3 name (it can be switched off): the long name, quoted, after an
    // empty window title so that start does not take the path for a title.
    return L"cmd.exe /c start \"\" \"" + reportPath + L"\"";
}

std::wstring WebAddressCommand(const std::wstring& address) { return L"Explorer " + address; }

bool CanWriteOrCreate(const std::wstring& path) {
    const bool existed = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    if (!existed) DeleteFileW(path.c_str());
    return true;
}

SingleInstance::SingleInstance() {
    // "Local\" names it for this logon only: one copy per logged-on user.
    mutex_ = CreateMutexW(nullptr, FALSE, L"Local\\Quorvane.SingleCopy");
    acquired_ = mutex_ != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}

SingleInstance::~SingleInstance() {
    if (mutex_) CloseHandle(mutex_);
}

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr,
                            nullptr);
    return utf8;
}

}  // namespace quorvane::win

#endif
