// The file service: the one way the program writes a user's file (a
// report, the CLI's output, a schedule, the calculation book, an xlsx).
//
//   Open(path) ─ a regular or new file: a temporary file beside its real
//   │             target (links followed, the link kept)
//   │           ─ a device, pipe or other special file: itself, in place
//   │           ─ a read-only file: refused, named
//   ▼
//   stream() ... Commit(): flushed, synced, renamed over the target, the
//                folder synced. Any failure (or SIGINT/SIGTERM) leaves the
//                old file byte for byte and no temporary file behind.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "os.h"

namespace quorvane {

// How an operation that can fail came out: the one result type of the file
// service, the schedule library and the command-line tool.
// Why an operation failed, for code that decides by it (the message is for
// the user): tests and callers ask this, not the words.
enum class Cause { None, NotFound, InUse, ReadOnly, DiskFull, Refused, Cancelled, Other };

struct Outcome {
    bool ok = true;
    bool cancelled = false;  // stopped by the user, before anything was changed for good
    Cause cause = Cause::None;  // when !ok
    std::string message;     // when !ok: Chinese, naming what failed, the file and the reason
    std::string warnings;    // to show even when ok: Chinese lines, or empty
    long long count = 0;     // what the operation counts, where it says so
};

inline Outcome Failed(std::string message, Cause cause = Cause::Other) {
    Outcome outcome;
    outcome.ok = false;
    outcome.cause = cause;
    outcome.message = std::move(message);
    return outcome;
}

// Stopped by the user: nothing changed for good.
inline Outcome Cancelled() {
    Outcome outcome = Failed({}, Cause::Cancelled);
    outcome.cancelled = true;
    return outcome;
}

// The cause of a system error number.
Cause CauseOf(int error);

// A file written whole before it takes the place of path.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();  // drops an uncommitted file
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // what begins every failure message: "无法写入结果文件" and so on.
    Outcome Open(const std::filesystem::path& path, std::string_view what);
    std::FILE* stream() const { return stream_; }  // while open
    // Whether the bytes go straight into a special file (no replacing it).
    bool inPlace() const { return inPlace_; }
    // What the target is: the file written in place, or the temporary file
    // that becomes the target; for telling it apart from other files.
    os::FileInfo info() const;
    Outcome Commit();
    void Abort();

private:
    Outcome Fail(int error);
    void RemoveTemp();
    std::filesystem::path path_, target_, temp_;
    std::string what_;
    std::FILE* stream_ = nullptr;
    bool inPlace_ = false;
};

// Writes bytes as the whole new content of path through an AtomicFile;
// what begins a failure message ("无法保存梁表文件").
Outcome ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                   std::string_view what = "无法写入计算过程文件");

// Whether a file can be made in folder (one is made and removed again);
// the failure message begins with what and names the folder.
Outcome CheckFolderWritable(const std::filesystem::path& folder, std::string_view what);

// Removes the temporary files that a process no longer running left in
// folder (a power cut or kill -9 during a save). Others' live ones stay.
void RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

// Creates path as an empty file when neither a file nor a folder of that
// name exists; an existing report is never touched.
Outcome EnsureReportFileExists(const std::filesystem::path& path);

// A file name as Windows compares names: every letter upper-cased by
// Unicode's one-to-one mapping (ä and Ä, ｋ and Ｋ, σ and Σ are one name).
std::string FoldFileName(std::string_view utf8);

// Files a run reads or writes: no other write of that run may land on one.
// Compared by identity (any spelling, any link), and by folder and folded
// name for a file that does not exist yet.
class FileClaims {
public:
    void Add(const std::filesystem::path& path);
    void Add(const os::FileInfo& open);  // a file the run holds open
    bool Holds(const std::filesystem::path& path) const;

private:
    struct Name {
        os::FileInfo folder;
        std::string name;
    };
    std::vector<os::FileInfo> files_;
    std::vector<Name> names_;
};

// Why a file operation failed, in the user's words: "磁盘空间不足"; the
// system's own text only for a cause without words of its own.
std::string FailureReason(int error);

// Appends the rest of in to bytes (the one whole-file read of the program);
// 0, or the errno of a read that failed.
int ReadRest(std::FILE* in, std::string& bytes);

// The same for reading a file: "文件不存在".
std::string ReadFailureReason(int error);

// A path shown to the user in a message: UTF-8, the system's own separators.
std::string PathForMessage(const std::filesystem::path& path);

// Every file message has one form: what failed, the file, why:
// 无法保存梁表文件 "D:\梁表\三层.csv":磁盘空间不足
std::string FileMessage(std::string_view what, const std::filesystem::path& path, std::string_view reason);

}  // namespace quorvane
