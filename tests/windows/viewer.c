/* A stand-in for the text viewer: records the command line it was started
   with (UTF-8) in the file named by the QUORVANE_VIEWED variable. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR args, int show) {
    (void)instance;
    (void)previous;
    (void)show;
    wchar_t out[MAX_PATH];
    if (!GetEnvironmentVariableW(L"QUORVANE_VIEWED", out, MAX_PATH)) return 1;
    char utf8[4096];
    const int n = WideCharToMultiByte(CP_UTF8, 0, args, -1, utf8, sizeof utf8, NULL, NULL);
    HANDLE f = CreateFileW(out, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
    if (f == INVALID_HANDLE_VALUE) return 1;
    DWORD written;
    WriteFile(f, utf8, n > 0 ? (DWORD)(n - 1) : 0, &written, NULL);
    WriteFile(f, "\n", 1, &written, NULL);
    CloseHandle(f);
    return 0;
}
