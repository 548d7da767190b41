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

// GB18030, the superset of the GBK that Chinese Windows and Excel write, as
// this system's converter names it ("GB18030"; on Windows code page 54936,
// or 936 (GBK) where the system lacks 54936).
std::string Gb18030Charset();

// bytes in charset converted to UTF-8, or nothing when they are not valid
// in that charset.
std::optional<std::string> DecodeToUtf8(std::string_view bytes, const std::string& charset);

// Bytes that do not decode are kept in the text as a private-use code
// point each (U+10FE80..U+10FEFF for bytes 0x80..0xFF), so that writing the
// text back in the same encoding gives those very bytes again: a file is
// never a mix of two encodings.
struct KeptBytes {
    std::string utf8;
    std::size_t firstBad = std::string::npos;  // offset in bytes of the first kept byte
};
// bytes in GB18030 (charset as Gb18030Charset() names it) or, with an
// empty charset, in UTF-8.
KeptBytes DecodeKeepingBytes(std::string_view bytes, const std::string& charset);
// The reverse: utf8 into charset (empty: UTF-8), kept bytes as they were;
// nothing when the charset cannot hold a character.
std::optional<std::string> EncodeKeepingBytes(std::string_view utf8, const std::string& charset);
// Appends the code point cp (at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// The bytes of the UTF-8 sequence that lead begins (1 for ASCII and for a
// byte that begins none, which is then taken alone).
constexpr std::size_t Utf8SequenceLength(unsigned char lead) {
    return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// Whether text holds a kept byte.
bool HasKeptBytes(std::string_view text);
// How UTF-8-like bytes are: undecodable bytes and well-formed multi-byte
// characters (a file in another encoding has many of the first).
struct Utf8Tally {
    std::size_t bad = 0, multiByte = 0;
};
void TallyUtf8(std::string_view bytes, Utf8Tally& tally);
// UTF-16 (little endian, or big endian when bigEndian) as UTF-8; an unpaired
// surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// Length of the longest prefix of bytes that is valid UTF-8. With
// allowCutEnd, a sequence cut short by the end of bytes counts as valid
// (the rest of it may follow in the next chunk).
std::size_t ValidUtf8Prefix(std::string_view bytes, bool allowCutEnd);

// Report bytes in charset where it is not ASCII or UTF-8 and holds the
// text; otherwise UTF-8 (on Windows with a byte-order mark, so that its
// viewers read it right).
std::string EncodeReport(std::string_view utf8, const std::string& charset);

}  // namespace quorvane
