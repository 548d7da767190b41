// Names of the locales the tests switch to, as each C library spells them.
#pragma once

namespace quorvane::test {

// A locale whose decimal mark is a comma.
#ifdef _WIN32
inline constexpr const char* kCommaDecimalLocale = "German_Germany.1252";
#else
inline constexpr const char* kCommaDecimalLocale = "de_DE.UTF-8";
#endif

}  // namespace quorvane::test
