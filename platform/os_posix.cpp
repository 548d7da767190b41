#include "os.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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
