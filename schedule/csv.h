// A small streaming CSV reader and field writer (RFC 4180 quoting). The
// reader tolerates a UTF-8 byte-order mark and CR LF, LF or CR line ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane {

// How a schedule's bytes are read: found out from them, or as given.
enum class TextEncoding { Auto, Utf8, Gb18030 };

class CsvReader {
public:
    // With Auto, a file is UTF-8 when it starts with a byte-order mark or is
    // valid UTF-8 throughout (a file is scanned whole first; a pipe is
    // judged by its first megabyte), and GB18030, the superset of the GBK
    // that Excel writes on Chinese Windows, otherwise. Fields come out in
    // UTF-8 either way.
    explicit CsvReader(std::FILE* in, TextEncoding encoding = TextEncoding::Auto);
    // The same over bytes already in memory; separator: the cells' (a tab
    // for text as spreadsheets copy it).
    explicit CsvReader(std::string bytes, TextEncoding encoding = TextEncoding::Auto, char separator = ',');

    // Reads the next record into fields (reusing their storage). Returns
    // false at the end of the input. A record whose quoted field is not
    // closed before the end of the input comes back with unterminated set.
    bool Next(std::vector<std::string>& fields);
    bool unterminated() const { return unterminated_; }
    // For an unterminated record: the line (from 1) of its opening quote and
    // how many line breaks it swallowed.
    long long quoteLine() const { return quoteLine_; }
    long long swallowedLines() const { return swallowedLines_; }
    // A read error of the input (not the end of it).
    bool failed() const { return failed_; }
    // What the input turned out to be (after the first Next()).
    TextEncoding encoding() const { return encoding_; }
    bool hadByteOrderMark() const { return bom_; }
    // Over bytes in memory: the part of them parsed so far (0..1).
    double partDone() const;
    // Whether the last record was an empty line (a record of one empty
    // quoted field is not).
    bool blank() const { return blank_; }
    // Bit i: field i of the last record was quoted (the first 64 fields).
    std::uint64_t quotedFields() const { return quotedMask_; }
    // UTF-16 text with a byte-order mark (Excel's "Unicode text"): read as
    // tab-separated, its fields in UTF-8 like any other.
    bool utf16() const { return utf16_; }
    // Bytes that did not decode in the file's encoding are kept as they are
    // (see DecodeKeepingBytes), so that the same encoding writes them back;
    // the line (from 1) of the first, or 0.
    bool keptBytes() const { return badLine_ > 0; }
    // A warning naming that line (and whether the file ends inside a
    // character), or empty.
    std::string EncodingWarning() const;

private:
    int Get();
    int Peek();
    void ReadQuoted(std::string& field);
    void ReadPlainRun(std::string& field);
    bool Fill();
    bool ReadRaw();
    void DecideEncoding();
    void NoteKept(std::string_view piece, std::size_t firstBad);

    std::FILE* in_;
    TextEncoding encoding_;
    bool bom_ = false, decided_ = false, rawEnd_ = false;
    std::string raw_;      // bytes read but not yet handed to the parser
    std::string charset_;  // GB18030 as the system's converter names it
    std::string buffer_;
    std::size_t pos_ = 0, end_ = 0;
    bool unterminated_ = false, failed_ = false, blank_ = false;
    std::uint64_t quotedMask_ = 0;
    bool clean_ = false;  // UTF-8 found valid throughout: no decoding needed
    bool utf16_ = false, cutAtEnd_ = false;
    char separator_ = ',';
    std::size_t chunk_ = 1 << 16;  // grows to 1 MiB: small inputs take little
    long long line_ = 1, quoteLine_ = 1, swallowedLines_ = 0, badLine_ = 0;
};

// Which fields a CSV writer quotes: those that must be (a comma, quote, CR
// or LF inside), or every text as well, as LibreOffice does when asked to
// quote all text cells (numbers and empty cells stay bare).
enum class CsvQuoting { AsNeeded, Texts };

// Why the reader's last record cannot be taken as a beam under a header of
// width cells, empty when it can: a record with more or fewer cells (its
// values may sit under the wrong captions) or one whose quote never closed.
// One rule for the window and the command line.
std::string CsvRecordRefusal(const CsvReader& reader, std::size_t cells, std::size_t width);

// A cell a spreadsheet takes for a number: the whole text a plain decimal
// number ending in a digit ("300", "-0.85", "1E+05"; not "12." or "-").
bool IsCsvNumber(std::string_view field);

// Appends one field, quoted as the quoting says.
void AppendCsvField(std::string& out, std::string_view field, CsvQuoting quoting = CsvQuoting::AsNeeded);

inline constexpr std::string_view kCsvLineEnd = "\r\n";

// Appends the fields as one record, ended by lineEnd.
void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields, std::string_view lineEnd,
                     CsvQuoting quoting = CsvQuoting::AsNeeded);

// UTF-8 text as the bytes of a file in encoding (Auto counts as UTF-8),
// with a byte-order mark in front when asked for and the file is UTF-8;
// with keptBytes, the bytes its reader kept go back as they were.
std::string EncodeCsvText(std::string_view utf8, TextEncoding encoding, bool byteOrderMark,
                          bool keptBytes = false);

// Tab-separated text as spreadsheets put it on the clipboard: one record a
// line (LF or CR LF; a last line end ends the last record), a cell that
// holds a tab, line break or quote quoted as in CSV.
std::vector<std::vector<std::string>> ParseTabSeparated(std::string_view text);

// Appends cells as one tab-separated record ended by LF, quoted where needed.
void AppendTabRecord(std::string& out, const std::vector<std::string>& cells);

}  // namespace quorvane
