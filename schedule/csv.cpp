#include "csv.h"

#include <string_view>

#include "encoding.h"

namespace quorvane {

namespace {
constexpr std::size_t kChunk = 1 << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
}  // namespace

CsvReader::CsvReader(std::FILE* in, TextEncoding encoding)
    : in_(in), encoding_(encoding), charset_(Gb18030Charset()) {}

CsvReader::CsvReader(std::string bytes, TextEncoding encoding)
    : in_(nullptr), encoding_(encoding), rawEnd_(true), raw_(std::move(bytes)), charset_(Gb18030Charset()) {}

double CsvReader::partDone() const {
    if (!rawEnd_ || !raw_.empty() || end_ == 0) return 0;
    return static_cast<double>(pos_) / static_cast<double>(end_);
}

// Appends the next chunk of the input to raw_; false at its end.
bool CsvReader::ReadRaw() {
    if (rawEnd_ || failed_) return false;
    const std::size_t old = raw_.size();
    raw_.resize(old + kChunk);
    const std::size_t got = std::fread(raw_.data() + old, 1, kChunk, in_);
    raw_.resize(old + got);
    if (got == 0) {
        rawEnd_ = true;
        if (std::ferror(in_)) failed_ = true;
    }
    return got > 0;
}

void CsvReader::DecideEncoding() {
    decided_ = true;
    ReadRaw();
    if (raw_.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
        bom_ = true;
        raw_.erase(0, kByteOrderMark.size());
        if (encoding_ == TextEncoding::Auto) encoding_ = TextEncoding::Utf8;
    }
    if (encoding_ != TextEncoding::Auto) return;
    bool utf8 = ValidUtf8Prefix(raw_, !rawEnd_) == raw_.size();
    // A file can be read through before the first row is parsed; a pipe
    // cannot, and is judged by what came first.
    const long start = in_ ? std::ftell(in_) : -1;
    if (utf8 && !rawEnd_ && start >= 0) {
        std::string carry = raw_.substr(ValidUtf8Prefix(raw_, false));
        std::vector<char> chunk(kChunk);
        for (std::size_t got; utf8 && (got = std::fread(chunk.data(), 1, chunk.size(), in_)) > 0;) {
            carry.append(chunk.data(), got);
            const std::size_t valid = ValidUtf8Prefix(carry, true);
            utf8 = valid == carry.size();
            carry.erase(0, ValidUtf8Prefix(carry, false));
        }
        utf8 = utf8 && carry.empty();
        if (std::fseek(in_, start, SEEK_SET) != 0) failed_ = true;
    }
    encoding_ = utf8 ? TextEncoding::Utf8 : TextEncoding::Gb18030;
}

bool CsvReader::Fill() {
    if (failed_) return false;
    if (!decided_) DecideEncoding();
    if (raw_.empty()) ReadRaw();
    pos_ = end_ = 0;
    if (raw_.empty()) return false;
    if (encoding_ != TextEncoding::Gb18030) {
        buffer_.assign(raw_.begin(), raw_.end());
        raw_.clear();
    } else {
        // Whole lines at a time: a line feed is never part of a GB18030
        // character, so no character is cut in two.
        while (!rawEnd_ && raw_.find('\n') == std::string::npos && ReadRaw()) {
        }
        const std::size_t lineEnd = rawEnd_ ? raw_.size() : raw_.rfind('\n') + 1;
        std::string_view piece(raw_.data(), lineEnd);
        if (auto utf8 = DecodeToUtf8(piece, charset_)) {
            buffer_.assign(utf8->begin(), utf8->end());
        } else {
            buffer_.assign(piece.begin(), piece.end());  // not GB18030 either: the bytes as they are
        }
        raw_.erase(0, lineEnd);
    }
    end_ = buffer_.size();
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

namespace {

// A field as a delimited text has it: as it is, or quoted (quotes doubled)
// when it holds the separator, a quote or a line break.
void AppendDelimitedField(std::string& out, std::string_view field, char separator) {
    const char specials[] = {separator, '"', '\r', '\n'};
    if (field.find_first_of(std::string_view(specials, sizeof specials)) == std::string_view::npos) {
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

}  // namespace

void AppendCsvField(std::string& out, std::string_view field) { AppendDelimitedField(out, field, ','); }

void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields, std::string_view lineEnd) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ',';
        AppendCsvField(out, fields[i]);
    }
    out += lineEnd;
}

std::string EncodeCsvText(std::string_view utf8, TextEncoding encoding, bool byteOrderMark) {
    if (encoding == TextEncoding::Gb18030) {
        // GB18030 holds every character; a converter that lacks it (code page
        // 936 stands in on some systems) leaves the text in UTF-8, not lost.
        if (auto bytes = EncodeFromUtf8(utf8, Gb18030Charset())) return *bytes;
    }
    std::string bytes = byteOrderMark ? "\xEF\xBB\xBF" : "";
    return bytes.append(utf8);
}

std::vector<std::vector<std::string>> ParseTabSeparated(std::string_view text) {
    std::vector<std::vector<std::string>> records;
    std::size_t i = 0;
    while (i < text.size()) {
        std::vector<std::string>& record = records.emplace_back();
        for (;;) {
            std::string& cell = record.emplace_back();
            if (i < text.size() && text[i] == '"') {
                // Quoted: up to the lone closing quote; what follows it up
                // to the next tab or line end belongs to the cell as well.
                for (++i; i < text.size(); ++i) {
                    if (text[i] != '"') {
                        cell += text[i];
                    } else if (i + 1 < text.size() && text[i + 1] == '"') {
                        cell += '"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                }
            }
            while (i < text.size() && text[i] != '\t' && text[i] != '\n' && text[i] != '\r')
                cell += text[i++];
            if (i < text.size() && text[i] == '\t') {
                ++i;
                continue;
            }
            if (i < text.size() && text[i] == '\r') ++i;
            if (i < text.size() && text[i] == '\n') ++i;
            break;
        }
    }
    return records;
}

void AppendTabRecord(std::string& out, const std::vector<std::string>& cells) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (c) out += '\t';
        AppendDelimitedField(out, cells[c], '\t');
    }
    out += '\n';
}

}  // namespace quorvane
