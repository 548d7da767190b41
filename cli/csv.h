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
};

// Appends one field, quoted when it holds a comma, quote, CR or LF.
void AppendCsvField(std::string& out, std::string_view field);

}  // namespace quorvane
