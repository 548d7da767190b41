// Text encoding of the report file: the system's code page where it can
// hold the text (GBK on a Chinese system), UTF-8 otherwise.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// The system's code page: on Windows "CP" + the ANSI code page; elsewhere
// the character set of the process locale (nl_langinfo(CODESET)).
std::string SystemCharset();

// utf8 converted to charset, or nothing when the charset is unknown or
// cannot hold every character (never a silent substitution).
std::optional<std::string> EncodeFromUtf8(std::string_view utf8, const std::string& charset);

// Report bytes for the system: on POSIX in SystemCharset() when it is not
// ASCII and holds the text, else UTF-8 unchanged.
std::string EncodeForSystem(std::string_view utf8);

}  // namespace quorvane
