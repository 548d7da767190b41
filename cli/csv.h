// A small streaming CSV reader and field writer (RFC 4180 quoting). The
// reader tolerates a UTF-8 byte-order mark and CR LF, LF or CR line ends.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

class CsvReader {
public:
    explicit CsvReader(std::FILE* in);

    // Reads the next record into fields (reusing their storage). Returns
    // false at the end of the input. A record whose quoted field is not
    // closed before the end of the input comes back with unterminated set.
    bool Next(std::vector<std::string>& fields);
    bool unterminated() const { return unterminated_; }
    // Line (from 1) on which the last record began; for an unterminated one,
    // the line of its opening quote and how many line breaks it swallowed.
    long long recordLine() const { return recordLine_; }
    long long quoteLine() const { return quoteLine_; }
    long long swallowedLines() const { return swallowedLines_; }
    // A read error of the input (not the end of it).
    bool failed() const { return failed_; }

private:
    int Get();
    int Peek();
    bool Fill();

    std::FILE* in_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0, end_ = 0;
    bool atStart_ = true, unterminated_ = false, failed_ = false;
    long long line_ = 1, recordLine_ = 1, quoteLine_ = 1, swallowedLines_ = 0;
};

// Appends one field, quoted when it holds a comma, quote, CR or LF.
void AppendCsvField(std::string& out, std::string_view field);

}  // namespace quorvane
