#include "os.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

namespace quorvane::os {

FileHandle OpenNewFile(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

bool SyncAndClose(FileHandle file) {
    const bool synced = ::fsync(file) == 0;
    const int saved = errno;
    const bool closed = ::close(file) == 0;
    if (!synced) errno = saved;
    return synced && closed;
}

std::FILE* StreamOf(FileHandle file) { return ::fdopen(file, "wb"); }

bool SyncStream(std::FILE* stream) { return ::fsync(::fileno(stream)) == 0; }

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

void CopyPermissions(FileHandle file, const std::filesystem::path& from) {
    struct stat st;
    if (::stat(from.c_str(), &st) == 0 && S_ISREG(st.st_mode)) (void)::fchmod(file, st.st_mode & 07777);
}

int ProcessId() { return static_cast<int>(::getpid()); }

ClassicNumbersOnThisThread::ClassicNumbersOnThisThread() {
    locale_t base = ::duplocale(LC_GLOBAL_LOCALE);
    if (!base) return;
    locale_t classic = ::newlocale(LC_NUMERIC_MASK, "C", base);
    if (!classic) {
        ::freelocale(base);
        return;
    }
    classic_ = classic;
    saved_ = ::uselocale(classic);
}

ClassicNumbersOnThisThread::~ClassicNumbersOnThisThread() {
    if (!classic_) return;
    ::uselocale(static_cast<locale_t>(saved_));
    ::freelocale(static_cast<locale_t>(classic_));
}

bool ProcessAlive(int pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno != ESRCH); }

namespace {

FileInfo InfoOf(const struct stat& st) {
    FileInfo info;
    info.kind = S_ISREG(st.st_mode)   ? FileInfo::kRegular
                : S_ISDIR(st.st_mode) ? FileInfo::kFolder
                                      : FileInfo::kOther;
    info.device = static_cast<unsigned long long>(st.st_dev);
    info.index = static_cast<unsigned long long>(st.st_ino);
    info.size = static_cast<unsigned long long>(st.st_size);
    info.modified = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return info;
}

}  // namespace

FileInfo Inspect(const std::filesystem::path& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return {};
    FileInfo info = InfoOf(st);
    // Root may write anything; a file without write bits is read-only to
    // people all the same.
    if (info.kind == FileInfo::kRegular)
        info.readOnly = (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
    return info;
}

FileInfo InspectStream(std::FILE* stream) {
    struct stat st;
    if (!stream || ::fstat(::fileno(stream), &st) != 0) return {};
    return InfoOf(st);
}

std::filesystem::path FollowLinks(const std::filesystem::path& path) {
    std::filesystem::path current = path;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, ec))) return current;
        const std::filesystem::path next = std::filesystem::read_symlink(current, ec);
        if (ec) return current;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current;
}

FileHandle OpenInPlace(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
}

bool SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return synced;
}

namespace {

// What a signal handler may touch: fixed slots, each a path and a flag.
constexpr int kWatchSlots = 16;
struct WatchSlot {
    std::atomic<bool> used{false};
    char path[4096];
};
WatchSlot g_watched[kWatchSlots];
std::mutex g_watchMutex;

constexpr int kWatchedSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];

// Removes the files, then does what was to be done before: another
// handler's work, or stopping the process by the same signal.
extern "C" void RemoveWatchedAndStop(int signal) {
    for (WatchSlot& slot : g_watched)
        if (slot.used.load()) ::unlink(slot.path);
    for (int i = 0; i < 3; ++i) {
        if (kWatchedSignals[i] != signal) continue;
        const struct sigaction& before = g_previous[i];
        if ((before.sa_flags & SA_SIGINFO) && before.sa_sigaction) {
            before.sa_sigaction(signal, nullptr, nullptr);
            return;
        }
        if (before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN && before.sa_handler) {
            before.sa_handler(signal);
            return;
        }
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void InstallWatchHandlers() {
    for (int i = 0; i < 3; ++i) {
        struct sigaction before {};
        if (::sigaction(kWatchedSignals[i], nullptr, &before) != 0 || before.sa_handler == SIG_IGN) continue;
        g_previous[i] = before;
        struct sigaction act {};
        act.sa_handler = RemoveWatchedAndStop;
        sigemptyset(&act.sa_mask);
        ::sigaction(kWatchedSignals[i], &act, nullptr);
    }
}

}  // namespace

void WatchTemporaryFile(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() >= sizeof WatchSlot::path) return;
    std::lock_guard<std::mutex> lock(g_watchMutex);
    static std::once_flag installed;
    std::call_once(installed, InstallWatchHandlers);
    for (WatchSlot& slot : g_watched) {
        if (slot.used.load()) continue;
        std::memcpy(slot.path, text.c_str(), text.size() + 1);
        slot.used.store(true);
        return;
    }
}

void ForgetTemporaryFile(const std::filesystem::path& path) {
    std::lock_guard<std::mutex> lock(g_watchMutex);
    for (WatchSlot& slot : g_watched)
        if (slot.used.load() && path.native() == slot.path) slot.used.store(false);
}

std::tm LocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::optional<std::string> UserDateTimeText() { return std::nullopt; }

std::string Utf8Charset() { return "UTF-8"; }

std::string SystemCharset() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset ? codeset : "";
}

std::string Gb18030Charset() { return "GB18030"; }

std::optional<std::string> Convert(std::string_view bytes, const std::string& from, const std::string& to) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
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

bool ReportStaysUtf8(const std::string& charset) {
    return charset.empty() || charset == "ANSI_X3.4-1968" || charset == "ASCII" || charset == "US-ASCII" ||
           charset == "UTF-8" || charset == "utf8";
}

bool Utf8ReportNeedsByteOrderMark() { return false; }

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

void UseBinaryStandardStreams() {}

void WriteText(std::FILE* stream, std::string_view utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stream); }

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

std::FILE* OpenFileForReading(const std::filesystem::path& path) { return std::fopen(path.c_str(), "rb"); }

std::optional<std::string> NarrowFolderPath(const std::filesystem::path& folder) { return folder.string(); }

}  // namespace quorvane::os
