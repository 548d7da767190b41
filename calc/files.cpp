#include "files.h"

#include <cerrno>
#include <chrono>
#include <system_error>

#include "encoding.h"
#include "numtext.h"

namespace quorvane {
namespace {

constexpr std::string_view kTempPrefix = ".~quorvane-";

Outcome Failed(std::string_view what, const std::filesystem::path& path, int error) {
    return quorvane::Failed(FileMessage(what, path, FailureReason(error)), CauseOf(error));
}

Outcome Refused(std::string_view what, const std::filesystem::path& path, std::string_view reason) {
    return quorvane::Failed(FileMessage(what, path, reason), Cause::Refused);
}

// Causes that read the same for reading and writing, else the system's
// text for a cause without words of its own.
std::string SharedReason(int error) {
    switch (error) {
        case EBUSY:
            return "文件正被其他程序使用,请关闭 Excel 等程序后重试";
        case ENAMETOOLONG:
            return "文件名太长";
        case ENOMEM:
            return "内存不足";
        default:
            return "无法完成 (" + std::generic_category().message(error) + ")";
    }
}

}  // namespace

Cause CauseOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return Cause::NotFound;
        case EBUSY:
        case ETXTBSY:
            return Cause::InUse;
        case EACCES:
        case EPERM:
        case EROFS:
            return Cause::ReadOnly;
        case ENOSPC:
        case EFBIG:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return Cause::DiskFull;
        case EISDIR:
            return Cause::Refused;
        default:
            return Cause::Other;
    }
}

std::string FailureReason(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "没有写入权限";
        case ENOENT:
            return "文件夹不存在";
        case ENOSPC:
            return "磁盘空间不足";
        case EROFS:
            return "磁盘是只读的";
        case EISDIR:
            return "已有同名的文件夹";
        case EBADF:
            return "输出已关闭";
        case EPIPE:
            return "接收输出的程序已退出";
        case EFBIG:
            return "文件超出允许的大小";
        default:
            return SharedReason(error);
    }
}

std::string ReadFailureReason(int error) {
    switch (error) {
        case ENOENT:
            return "文件不存在";
        case EACCES:
        case EPERM:
            return "没有读取权限";
        case EISDIR:
            return "这是一个文件夹,不是文件";
        case EBADF:
            return "输入已关闭";
        default:
            return SharedReason(error);
    }
}

std::string PathForMessage(const std::filesystem::path& path) {
    std::filesystem::path shown = path;
    shown.make_preferred();
    return shown.u8string();
}

std::string FileMessage(std::string_view what, const std::filesystem::path& path, std::string_view reason) {
    return std::string(what) + " \"" + PathForMessage(path) + "\":" + std::string(reason);
}

namespace {

struct UpperRun {
    char32_t first, last;
    int delta, stride;
};
constexpr UpperRun kUpperRuns[] = {
#include "casefold_table.inc"
};

char32_t Upper(char32_t cp) {
    // The runs are in order: the last one starting at or before cp.
    std::size_t lo = 0, hi = sizeof kUpperRuns / sizeof kUpperRuns[0];
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (kUpperRuns[mid].first <= cp)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == 0) return cp;
    const UpperRun& run = kUpperRuns[lo - 1];
    if (cp > run.last || (cp - run.first) % static_cast<char32_t>(run.stride) != 0) return cp;
    return static_cast<char32_t>(static_cast<long>(cp) + run.delta);
}

}  // namespace

std::string FoldFileName(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = Utf8SequenceLength(c);
        if (length == 1 || i + length > utf8.size()) {
            out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            ++i;
            continue;
        }
        char32_t cp = c & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        const char32_t up = Upper(cp);
        if (up == cp)
            out.append(utf8.data() + i, length);
        else
            AppendUtf8(out, up);
        i += length;
    }
    return out;
}

namespace {

std::filesystem::path FolderOf(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

}  // namespace

void FileClaims::Add(const std::filesystem::path& path) {
    Add(os::Inspect(path));
    const std::filesystem::path target = os::FollowLinks(path);
    names_.push_back({os::Inspect(FolderOf(target)), FoldFileName(target.filename().u8string())});
}

void FileClaims::Add(const os::FileInfo& open) {
    if (open.kind != os::FileInfo::kMissing) files_.push_back(open);
}

bool FileClaims::Holds(const std::filesystem::path& path) const {
    const os::FileInfo info = os::Inspect(path);
    for (const os::FileInfo& file : files_)
        if (info.SameFileAs(file)) return true;
    if (names_.empty()) return false;
    const std::filesystem::path target = os::FollowLinks(path);
    const os::FileInfo folder = os::Inspect(FolderOf(target));
    const std::string name = FoldFileName(target.filename().u8string());
    for (const Name& claimed : names_)
        if (claimed.name == name && claimed.folder.SameFileAs(folder)) return true;
    return false;
}

AtomicFile::~AtomicFile() { Abort(); }

os::FileInfo AtomicFile::info() const { return os::InspectStream(stream_); }

Outcome AtomicFile::Fail(int error) {
    Abort();
    return Failed(what_, path_, error);
}

Outcome AtomicFile::Open(const std::filesystem::path& path, std::string_view what) {
    Abort();
    path_ = path;
    what_ = std::string(what);
    inPlace_ = false;
    const os::FileInfo existing = os::Inspect(path);
    if (existing.kind == os::FileInfo::kFolder) return Failed(what_, path_, EISDIR);
    if (existing.kind == os::FileInfo::kOther) {
        // A device or a pipe is written as it is: renaming over it would
        // replace the device node, and the pipe's reader would get nothing.
        const os::FileHandle h = os::OpenInPlace(path);
        if (h < 0) return Failed(what_, path_, errno);
        stream_ = os::StreamOf(h);
        if (!stream_) {
            const int error = errno;
            os::SyncAndClose(h);
            return Failed(what_, path_, error);
        }
        inPlace_ = true;
        return {};
    }
    if (existing.readOnly) return Refused(what_, path_, "文件是只读的,没有替换它;请另选一个文件名");
    // Through a link the file it names is replaced, and the link stays.
    target_ = os::FollowLinks(path);
    const std::filesystem::path folder = target_.parent_path();
    // A short name of its own, so that a target name near the length limit
    // still leaves room for it.
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count() & 0xFFFFFF);
    os::FileHandle h = -1;
    for (unsigned long long attempt = 0; attempt < 100 && h < 0; ++attempt) {
        temp_ = folder / (std::string(kTempPrefix) + IntegerText(os::ProcessId()) + "-" +
                          IntegerText(static_cast<long long>(stamp + attempt)));
        // Watched before it exists: a signal the moment after still finds it.
        os::WatchTemporaryFile(temp_);
        h = os::OpenNewFile(temp_);
        const int error = errno;
        if (h < 0) os::ForgetTemporaryFile(temp_);
        errno = error;
        if (h < 0 && errno != EEXIST) break;
    }
    if (h < 0) {
        const int error = errno;
        temp_.clear();
        return Failed(what_, path_, error);
    }
    os::CopyPermissions(h, target_);
    stream_ = os::StreamOf(h);
    if (!stream_) {
        const int error = errno;
        os::SyncAndClose(h);
        return Fail(error);
    }
    return {};
}

Outcome AtomicFile::Commit() {
    if (!stream_) return Failed(what_, path_, EBADF);
    // The first failure names the reason: a full disk shows at the flush.
    int error = 0;
    errno = 0;
    if (std::ferror(stream_) || std::fflush(stream_) != 0) error = errno ? errno : EIO;
    if (error == 0 && !inPlace_ && !os::SyncStream(stream_)) error = errno ? errno : EIO;
    if (std::fclose(stream_) != 0 && error == 0) error = errno ? errno : EIO;
    stream_ = nullptr;
    if (inPlace_) {
        inPlace_ = false;
        return error ? Failed(what_, path_, error) : Outcome{};
    }
    if (error == 0 && !os::MoveOver(temp_, target_)) error = errno ? errno : EIO;
    if (error != 0) {
        RemoveTemp();
        return Failed(what_, path_, error);
    }
    os::ForgetTemporaryFile(temp_);
    temp_.clear();
    os::SyncFolder(target_.parent_path());
    return {};
}

void AtomicFile::Abort() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    inPlace_ = false;
    RemoveTemp();
}

void AtomicFile::RemoveTemp() {
    if (temp_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(temp_, ignored);
    os::ForgetTemporaryFile(temp_);
    temp_.clear();
}

Outcome ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                   std::string_view what) {
    AtomicFile file;
    if (Outcome opened = file.Open(path, what); !opened.ok) return opened;
    std::fwrite(bytes.data(), 1, bytes.size(), file.stream());
    return file.Commit();
}

Outcome CheckFolderWritable(const std::filesystem::path& folder, std::string_view what) {
    const std::filesystem::path probe = folder / (".~quorvane-probe-" + IntegerText(os::ProcessId()));
    const os::FileHandle h = os::OpenNewFile(probe);
    if (h < 0 && errno != EEXIST) return Failed(what, folder, errno);
    if (h >= 0) os::SyncAndClose(h);
    std::error_code ignored;
    std::filesystem::remove(probe, ignored);
    return {};
}

void RemoveStaleTemporaryFiles(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        // .~quorvane-PID-N: ours only while PID runs.
        const std::string name = it->path().filename().u8string();
        if (name.compare(0, kTempPrefix.size(), kTempPrefix) != 0) continue;
        const std::size_t dash = name.find('-', kTempPrefix.size());
        if (dash == std::string::npos || dash == kTempPrefix.size()) continue;
        long long pid = 0;
        bool digits = true;
        for (std::size_t i = kTempPrefix.size(); i < dash && digits; ++i) {
            digits = name[i] >= '0' && name[i] <= '9' && pid < 100000000;
            pid = pid * 10 + (name[i] - '0');
        }
        if (!digits || name.find_first_not_of("0123456789", dash + 1) != std::string::npos) continue;
        if (pid == os::ProcessId() || os::ProcessAlive(static_cast<int>(pid))) continue;
        std::error_code ignored;
        if (it->is_regular_file(ignored)) std::filesystem::remove(it->path(), ignored);
    }
}

Outcome EnsureReportFileExists(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return {};
    const os::FileHandle h = os::OpenNewFile(path);
    if (h < 0) {
        if (errno == EEXIST) return {};
        return Failed("无法创建计算过程文件", path, errno);
    }
    os::SyncAndClose(h);
    return {};
}

int ReadRest(std::FILE* in, std::string& bytes) {
    char chunk[1 << 16];
    errno = 0;
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;) bytes.append(chunk, got);
    return std::ferror(in) ? (errno ? errno : EIO) : 0;
}

}  // namespace quorvane
