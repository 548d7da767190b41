#include "csv.h"

#include <cstring>

namespace quorvane {

CsvReader::CsvReader(std::FILE* in) : in_(in), buffer_(1 << 20) {}

bool CsvReader::Fill() {
    if (failed_) return false;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), in_);
    pos_ = 0;
    if (end_ == 0 && std::ferror(in_)) failed_ = true;
    return end_ > 0;
}

int CsvReader::Get() {
    if (pos_ == end_ && !Fill()) return EOF;
    return static_cast<unsigned char>(buffer_[pos_++]);
}

int CsvReader::Peek() {
    if (pos_ == end_ && !Fill()) return EOF;
    return static_cast<unsigned char>(buffer_[pos_]);
}

bool CsvReader::Next(std::vector<std::string>& fields) {
    if (atStart_) {
        atStart_ = false;
        if (Peek() == 0xEF && end_ - pos_ >= 3 && std::memcmp(&buffer_[pos_], "\xEF\xBB\xBF", 3) == 0)
            pos_ += 3;
    }
    unterminated_ = false;
    std::size_t count = 0;
    auto field = [&]() -> std::string& {
        if (count == fields.size()) fields.emplace_back();
        std::string& f = fields[count++];
        f.clear();
        return f;
    };
    int c = Get();
    if (c == EOF) {
        fields.clear();
        return false;
    }
    recordLine_ = line_;
    swallowedLines_ = 0;
    std::string* current = &field();
    for (;;) {
        if (c == '"' && current->empty()) {
            // Quoted field: up to the closing quote, "" standing for one quote.
            quoteLine_ = line_;
            long long breaks = 0;
            for (;;) {
                c = Get();
                if (c == EOF) {
                    unterminated_ = true;
                    swallowedLines_ = breaks;
                    break;
                }
                if (c == '"') {
                    if (Peek() != '"') break;
                    Get();
                }
                if (c == '\n' || (c == '\r' && Peek() != '\n')) {
                    ++line_;
                    ++breaks;
                }
                current->push_back(static_cast<char>(c));
            }
            c = Get();
            continue;
        }
        if (c == EOF) break;
        if (c == ',') {
            current = &field();
        } else if (c == '\n') {
            ++line_;
            break;
        } else if (c == '\r') {
            if (Peek() == '\n') Get();
            ++line_;
            break;
        } else {
            // Plain run: copy straight from the buffer up to the next special.
            current->push_back(static_cast<char>(c));
            std::size_t run = pos_;
            while (run < end_) {
                const char d = buffer_[run];
                if (d == ',' || d == '\n' || d == '\r' || d == '"') break;
                ++run;
            }
            current->append(&buffer_[pos_], run - pos_);
            pos_ = run;
        }
        c = Get();
    }
    fields.resize(count);
    return true;
}

void AppendCsvField(std::string& out, std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && field[i] != ',' && field[i] != '"' && field[i] != '\r' && field[i] != '\n')
        ++i;
    if (i == field.size()) {
        out.append(field.data(), field.size());
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace quorvane
