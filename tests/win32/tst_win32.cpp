// Checks of the Windows platform layer, run under Wine by run_wine_tests.sh.
// Prints one line per check and "N passed, N failed" last.
#include <windows.h>

#include <cstdio>
#include <string>

#include "calc.h"
#include "os.h"
#include "win32.h"

using namespace quorvane;
using namespace quorvane::win;

namespace {

int passed = 0, failed = 0;

void Check(const char* what, bool ok, const std::string& detail = {}) {
    (ok ? passed : failed)++;
    std::printf("%s: %s%s%s\n", ok ? "PASS" : "FAIL", what, detail.empty() ? "" : " -- ", detail.c_str());
    std::fflush(stdout);
}

std::wstring SelfPath() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring TempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

std::string ReadFile(const std::wstring& path) {
    std::string bytes;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return bytes;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Waits up to ten seconds for a file to have content.
std::string WaitForFile(const std::wstring& path) {
    for (int i = 0; i < 100; ++i) {
        const std::string bytes = ReadFile(path);
        if (!bytes.empty()) return bytes;
        Sleep(100);
    }
    return {};
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void CheckTopmost() {
    WNDCLASSW cls{};
    cls.lpfnWndProc = DefWindowProcW;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"QuorvaneTopmostTest";
    RegisterClassW(&cls);
    HWND w = CreateWindowExW(0, cls.lpszClassName, L"Quorvane topmost test", WS_OVERLAPPEDWINDOW, 120, 90,
                             320, 240, nullptr, nullptr, cls.hInstance, nullptr);
    ShowWindow(w, SW_SHOWNORMAL);
    RECT before, after;
    GetWindowRect(w, &before);
    SetTopmost(w);
    GetWindowRect(w, &after);
    Check("SetTopmost puts the window in the topmost band", IsTopmost(w));
    Check("SetTopmost leaves position and size", SameRect(before, after));
    ClearTopmost(w);
    GetWindowRect(w, &after);
    Check("ClearTopmost takes it out again", !IsTopmost(w));
    Check("ClearTopmost leaves position and size", SameRect(before, after));
    Check("the window stays visible", IsWindowVisible(w) != 0);
    DestroyWindow(w);
}

void CheckMinimizedStart() {
    const std::wstring out = TempFile(L"quorvane-child.txt");
    DeleteFileW(out.c_str());
    const DWORD error = StartMinimized(L"\"" + SelfPath() + L"\" --child \"" + out + L"\"");
    Check("a command line starts", error == 0, "error " + std::to_string(error));
    const std::string seen = WaitForFile(out);
    Check("the child is told to show minimised", seen == "flags 1 show 2", seen);
}

void CheckReportFile() {
    const std::wstring report = L"C:\\Program Files\\计算过程.txt";
    const Calculation c = EvaluateBeam(BeamTexts()).calculation;
    const std::string text = ReportText(BuildReportLines(c.inputs, c.results, CurrentReportDate()));
    const Outcome written = ReplaceFileAtomically(std::filesystem::path(report), EncodeReport(text, SystemCharset()));
    Check("the report is written under C:\\Program Files", written.ok, written.message);
    // The script compares the file with iconv's encoding of these lines.
    WriteFile(L"C:\\expected-utf8.txt", text);
    Check("the report file is there to be written", CanWriteOrCreate(report));
    std::printf("ACP %u\n", GetACP());
}

// The file service on Windows: a device is written, never replaced; a
// read-only file is refused; a file is one file by any spelling; a file
// held open without sharing gets its own reason.
void CheckFileService() {
    const Outcome device = ReplaceFileAtomically(std::filesystem::path(L"NUL"), "x", "无法写入输出文件");
    Check("NUL is written as a device", device.ok && os::Inspect(L"NUL").kind == os::FileInfo::kOther,
          device.message);

    const std::wstring locked = TempFile(L"只读梁表.csv");
    WriteFile(locked, "old");
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    const Outcome refused =
        ReplaceFileAtomically(std::filesystem::path(locked), "new", "无法保存梁表文件");
    Check("a read-only file is refused, not replaced",
          !refused.ok && refused.message.find("只读") != std::string::npos && ReadFile(locked) == "old",
          refused.message);
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);

    const std::wstring upper = TempFile(L"只读梁表.CSV");
    Check("a file is the same file in another letter case",
          os::Inspect(std::filesystem::path(locked)).SameFileAs(os::Inspect(std::filesystem::path(upper))));
    FileClaims claims;
    claims.Add(std::filesystem::path(locked));
    Check("claims know the file by another spelling", claims.Holds(std::filesystem::path(upper)));

    const HANDLE held =
        CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const Outcome busy = ReplaceFileAtomically(std::filesystem::path(locked), "new", "无法保存梁表文件");
    CloseHandle(held);
    Check("a file held open by another program keeps its content and says why",
          !busy.ok && ReadFile(locked) == "old" && busy.message.find("其他程序") != std::string::npos,
          busy.message);
    std::FILE* busyRead = nullptr;
    {
        const HANDLE holder =
            CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        errno = 0;
        busyRead = os::OpenFileForReading(std::filesystem::path(locked));
        const int error = errno;
        CloseHandle(holder);
        Check("opening a file held open says it is in use",
              !busyRead && ReadFailureReason(error).find("其他程序") != std::string::npos,
              ReadFailureReason(error));
        if (busyRead) std::fclose(busyRead);
    }
    Check("paths in messages use the system's separators",
          PathForMessage(std::filesystem::path(L"Z:/梁表/三层.csv")) == "Z:\\梁表\\三层.csv");
    DeleteFileW(locked.c_str());
}

// A library that opens files with narrow fopen (the .xlsx export) reaches a
// Chinese-named folder through NarrowFolderPath, in any code page.
void CheckNarrowFolderPath() {
    const std::wstring folder = L"C:\\梁表导出";
    CreateDirectoryW(folder.c_str(), nullptr);
    const auto narrow = os::NarrowFolderPath(std::filesystem::path(folder));
    bool same = false;
    if (narrow) {
        if (FILE* f = std::fopen((*narrow + "\\narrow.txt").c_str(), "wb")) {
            std::fputs("x", f);
            std::fclose(f);
            same = ReadFile(folder + L"\\narrow.txt") == "x";
        }
    }
    Check("fopen reaches a Chinese-named folder by its narrow path", same, narrow ? *narrow : "none");
    DeleteFileW((folder + L"\\narrow.txt").c_str());
    RemoveDirectoryW(folder.c_str());
}

void CheckDateLine() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string date = CurrentReportDate();
    const std::size_t blank = date.find(' ');
    const bool form = blank != std::string::npos && date.find(std::to_string(now.wYear)) < blank &&
                      date.find(':', blank) != std::string::npos && date.back() != ' ' && date.front() != ' ';
    Check("the date line is the short date, a blank, the time", form, date);
    std::printf("DATE %s\n", date.c_str());
}

void CheckSingleInstance() {
    const std::wstring ready = TempFile(L"quorvane-ready.txt");
    DeleteFileW(ready.c_str());
    std::wstring line = L"\"" + SelfPath() + L"\" --hold \"" + ready + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const bool started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    Check("a first copy starts", started);
    if (!started) return;
    Check("the first copy gets the single-copy mutex", WaitForFile(ready) == "acquired");
    {
        const SingleInstance second;
        Check("a second copy is refused", !second.acquired());
    }
    TerminateProcess(pi.hProcess, 9);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    const SingleInstance next;
    Check("a killed first copy does not block the next", next.acquired());
}

void CheckViewerCommands() {
    const std::wstring fixed = ReportViewerCommand(L"C:\\Program Files\\计算过程.txt");
    Check("the report at its place opens through PROGRA~1",
          fixed == L"cmd.exe /c start C:\\PROGRA~1\\计算过程.txt", Narrow(fixed));
    const std::wstring other = ReportViewerCommand(L"C:\\users\\工程师\\计算过程.txt");
    Check("elsewhere the long name is quoted after an empty title",
          other == L"cmd.exe /c start \"\" \"C:\\users\\工程师\\计算过程.txt\"", Narrow(other));
    Check("the web address goes to Explorer",
          WebAddressCommand(L"http://quorvane.cn") == L"Explorer http://quorvane.cn");

    // End to end: the .txt association of this prefix records what it opens.
    const std::wstring record = L"C:\\recorded.txt";
    DeleteFileW(record.c_str());
    Check("the viewer command starts", StartMinimized(fixed) == 0);
    const std::string opened = WaitForFile(record);
    Check("the viewer receives the report", opened.find("计算过程.txt") != std::string::npos, opened);
    // The browser hand-off is checked by the script, which owns the stand-in.
    Check("Explorer starts with the web address",
          StartMinimized(WebAddressCommand(L"http://quorvane.cn")) == 0);
}

int Child(const std::wstring& out) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    GetStartupInfoW(&si);
    const bool flag = (si.dwFlags & STARTF_USESHOWWINDOW) != 0;
    WriteFile(out, "flags " + std::to_string(flag ? 1 : 0) + " show " + std::to_string(si.wShowWindow));
    return 0;
}

int Hold(const std::wstring& ready) {
    const SingleInstance instance;
    WriteFile(ready, instance.acquired() ? "acquired" : "refused");
    Sleep(60000);
    return 0;
}

int Record(int argc, wchar_t** argv) {
    std::wstring all;
    for (int i = 2; i < argc; ++i) all += std::wstring(argv[i]) + L" ";
    WriteFile(L"C:\\recorded.txt", Narrow(all));
    return 0;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"--child" && argc > 2) return Child(argv[2]);
    if (mode == L"--hold" && argc > 2) return Hold(argv[2]);
    if (mode == L"--record") return Record(argc, argv);

    CheckTopmost();
    CheckMinimizedStart();
    CheckReportFile();
    CheckNarrowFolderPath();
    CheckFileService();
    CheckDateLine();
    CheckSingleInstance();
    CheckViewerCommands();
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
