// Text and file names between Qt and the core: one conversion each way,
// the same in every window.
#pragma once

#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvane {

// The core's UTF-8 text as Qt's, and back.
inline QString FromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string ToUtf8(const QString& text) { return text.toStdString(); }

// A file name as the file functions take it (UTF-16 on Windows, UTF-8
// elsewhere, as Qt itself names files), and back for messages.
inline std::filesystem::path FilePath(const QString& path) { return std::filesystem::path(path.toStdU16String()); }
inline QString PathText(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }

}  // namespace quorvane
