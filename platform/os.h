// The operating system's side of the calculation core: files, the process,
// the clock and text encodings. One POSIX and one Win32 implementation,
// chosen by CMake, so that the core's own files carry no #ifdef and no
// system header.
#pragma once

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::os {

// Files, by descriptor. Failures leave the reason in errno.
using FileHandle = int;
FileHandle OpenNewFile(const std::filesystem::path& path);  // exclusive create; -1 on failure
bool SyncAndClose(FileHandle file);                         // through to the disk
std::FILE* StreamOf(FileHandle file);                       // for writing, binary
bool SyncStream(std::FILE* stream);
bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to);  // rename, replacing `to`
void CopyPermissions(FileHandle file, const std::filesystem::path& from);  // where the system has them
int ProcessId();

// While alive, numbers the C library prints on this thread use '.', whatever
// the user's locale; other threads and the process's locale are untouched.
class ClassicNumbersOnThisThread {
public:
    ClassicNumbersOnThisThread();
    ~ClassicNumbersOnThisThread();
    ClassicNumbersOnThisThread(const ClassicNumbersOnThisThread&) = delete;
    ClassicNumbersOnThisThread& operator=(const ClassicNumbersOnThisThread&) = delete;

private:
    void* classic_ = nullptr;  // POSIX: the locale handles
    void* saved_ = nullptr;
    std::string savedNumeric_;  // Windows: the thread's numeric locale and mode before
    int mode_ = 0;
};
bool ProcessAlive(int pid);  // false only when no such process runs

// What a path names, links followed; a missing path is kMissing.
struct FileInfo {
    enum Kind { kMissing, kRegular, kFolder, kOther } kind = kMissing;  // kOther: device, pipe, socket
    bool readOnly = false;                     // a regular file that may not be written
    unsigned long long device = 0, index = 0;  // identity: the same file by any name
    unsigned long long size = 0;
    long long modified = 0;  // in the system's own ticks
    // Whether the identity is known (a file another program holds without
    // sharing shows its kind only, on Windows).
    bool Identified() const { return kind != kMissing && (device != 0 || index != 0); }
    bool SameFileAs(const FileInfo& other) const {
        return Identified() && other.Identified() && device == other.device && index == other.index;
    }
};
FileInfo Inspect(const std::filesystem::path& path);
FileInfo InspectStream(std::FILE* stream);
// The file that path finally names when it is a link (or a chain of
// links); path itself otherwise.
std::filesystem::path FollowLinks(const std::filesystem::path& path);
// An existing special file (device, pipe) opened for writing as it is.
FileHandle OpenInPlace(const std::filesystem::path& path);
bool SyncFolder(const std::filesystem::path& folder);  // so that a rename in it survives a power cut
// Temporary files removed if the process is stopped by SIGINT or SIGTERM
// (Ctrl+C or closing the console on Windows) before they are committed.
void WatchTemporaryFile(const std::filesystem::path& path);
void ForgetTemporaryFile(const std::filesystem::path& path);

// The clock: the local time, and where the system has one, the user's own
// short date and time of day as it writes them ("2026/12/10 8:30:05").
std::tm LocalTime();
std::optional<std::string> UserDateTimeText();

// Text encodings through the system's converter (iconv; the Win32 API).
std::string Utf8Charset();     // "UTF-8"; "CP65001"
std::string SystemCharset();   // of the process locale; "CP" and the ANSI code page
std::string Gb18030Charset();  // "GB18030"; "CP54936", or "CP936" where that is missing
// bytes from one charset into another, or nothing when they do not convert exactly.
std::optional<std::string> Convert(std::string_view bytes, const std::string& from, const std::string& to);
// Whether a report in charset is best left in UTF-8 as it is (an ASCII or
// UTF-8 locale), and whether UTF-8 that no code page holds gets a byte-order
// mark (Windows viewers need one).
bool ReportStaysUtf8(const std::string& charset);
bool Utf8ReportNeedsByteOrderMark();

// A command-line tool's side. Arguments as UTF-8, program name first
// (Windows hands main() the ANSI code page, which cannot hold every file
// name). Standard streams in binary mode, so that the tool's own line ends
// reach a file as they are. Text to a standard stream: a console gets it in
// its own terms (UTF-16 on Windows), a file or pipe UTF-8 with the system's
// line ends (CR LF on Windows).
std::vector<std::string> CommandLineArguments(int argc, char** argv);
void UseBinaryStandardStreams();
void WriteText(std::FILE* stream, std::string_view utf8);
bool IsTerminal(std::FILE* stream);
std::FILE* OpenFileForReading(const std::filesystem::path& path);

// An existing folder's path as a library that opens files with the C
// library's narrow fopen must be given it: on Windows in the ANSI code page
// (its 8.3 short form where the code page cannot hold the name), elsewhere
// as it is. Nothing when there is no such form.
std::optional<std::string> NarrowFolderPath(const std::filesystem::path& folder);

}  // namespace quorvane::os
