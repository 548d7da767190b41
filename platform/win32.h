// The Windows platform layer in plain Win32: no Qt in it. It takes native
// window handles and UTF-16 paths; the Qt program calls it on Windows only.
#pragma once

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::win {

// SetWindowPos(hwnd, HWND_TOPMOST or HWND_NOTOPMOST, 0, 0, 0, 0,
// SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW); the result is ignored.
void SetTopmost(HWND window);
void ClearTopmost(HWND window);
bool IsTopmost(HWND window);

// Starts a command line as a new process shown minimised, without waiting.
// Returns 0, or the system's error code.
DWORD StartMinimized(const std::wstring& commandLine);

// The command that shows the report in the system's viewer:
// "cmd.exe /c start C:\PROGRA~1\计算过程.txt" when the report is
// "C:\Program Files\计算过程.txt" and that folder's short name is PROGRA~1;
// otherwise the long name, quoted, after an empty title: start "" "...".
std::wstring ReportViewerCommand(const std::wstring& reportPath);

// "Explorer " and the address.
std::wstring WebAddressCommand(const std::wstring& address);

// Whether the file can be written, or created (and is then removed again).
bool CanWriteOrCreate(const std::wstring& path);

// One copy per logged-on user: a named mutex that dies with its process.
class SingleInstance {
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    // False when another copy holds the mutex.
    bool acquired() const { return acquired_; }

private:
    HANDLE mutex_ = nullptr;
    bool acquired_ = false;
};

// The one pair of UTF-8/UTF-16 conversions of the Windows code.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace quorvane::win

#endif
