#include "csv.h"

#include <string_view>

#include "encoding.h"
#include "numtext.h"

namespace quorvane {

namespace {
constexpr std::size_t kChunk = 1 << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Line breaks in text as the parser counts them (LF, CR LF or CR).
long long LineBreaks(std::string_view text) {
    long long n = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++n;
    return n;
}

// Length of bytes without a UTF-8 character cut short at their end.
std::size_t WholeUtf8(std::string_view bytes) {
    const std::size_t n = bytes.size();
    for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(bytes[n - back]);
        if (c < 0x80) return n;
        if (c >= 0xC0) {
            const std::size_t length = Utf8SequenceLength(c);
            return length > back ? n - back : n;
        }
    }
    return n;
}

// Tallies piece as UTF-8, keeping a character cut by its end for the next.
void TallyCarry(std::string& carry, bool last, Utf8Tally& tally) {
    const std::size_t whole = last ? carry.size() : WholeUtf8(carry);
    TallyUtf8(std::string_view(carry).substr(0, whole), tally);
    carry.erase(0, whole);
}

}  // namespace

CsvReader::CsvReader(std::FILE* in, TextEncoding encoding)
    : in_(in), encoding_(encoding), charset_(Gb18030Charset()) {}

CsvReader::CsvReader(std::string bytes, TextEncoding encoding, char separator)
    : in_(nullptr),
      encoding_(encoding),
      rawEnd_(true),
      raw_(std::move(bytes)),
      charset_(Gb18030Charset()),
      separator_(separator) {}

double CsvReader::partDone() const {
    if (!rawEnd_ || !raw_.empty() || end_ == 0) return 0;
    return static_cast<double>(pos_) / static_cast<double>(end_);
}

// Appends the next chunk of the input to raw_; false at its end.
bool CsvReader::ReadRaw() {
    if (rawEnd_ || failed_) return false;
    const std::size_t old = raw_.size();
    raw_.resize(old + chunk_);
    const std::size_t asked = chunk_;
    const std::size_t got = std::fread(raw_.data() + old, 1, asked, in_);
    raw_.resize(old + got);
    if (got == asked && chunk_ < kChunk) chunk_ *= 2;
    if (got < asked) {
        // A short read is the end, or an error; a pipe may just be slow.
        if (std::ferror(in_)) failed_ = true;
        if (std::ferror(in_) || std::feof(in_)) rawEnd_ = true;
    }
    return got > 0;
}

void CsvReader::DecideEncoding() {
    decided_ = true;
    ReadRaw();
    // (text already split by tabs, as the clipboard's, is decoded already:
    // what it starts with is its own)
    if (separator_ != ',') return;
    if (raw_.size() >= 2 &&
        (raw_.compare(0, 2, "\xFF\xFE") == 0 || raw_.compare(0, 2, "\xFE\xFF") == 0)) {
        // Excel's "Unicode text": UTF-16 with a mark, tab-separated. Taken
        // whole and read on as UTF-8, written back as UTF-8 with a mark.
        while (ReadRaw()) {
        }
        raw_ = Utf16ToUtf8(std::string_view(raw_).substr(2), raw_[0] == '\xFE');
        utf16_ = clean_ = bom_ = true;
        separator_ = '\t';
        encoding_ = TextEncoding::Utf8;
        return;
    }
    if (raw_.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
        bom_ = true;
        raw_.erase(0, kByteOrderMark.size());
        if (encoding_ == TextEncoding::Auto) encoding_ = TextEncoding::Utf8;
    }
    if (encoding_ != TextEncoding::Auto) return;
    // What decodes best: valid UTF-8 is UTF-8; a few stray bytes among many
    // UTF-8 characters still are; text in GBK read as UTF-8 has more bad
    // bytes than good characters. A file is judged whole (read through
    // before the first row is parsed); a pipe, which cannot be, by what
    // came first.
    Utf8Tally tally;
    std::string carry = raw_;
    TallyCarry(carry, rawEnd_, tally);
    const long start = in_ ? std::ftell(in_) : -1;
    bool whole = rawEnd_;
    if (!rawEnd_ && start >= 0) {
        std::vector<char> chunk(chunk_);
        for (std::size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), in_)) > 0;) {
            carry.append(chunk.data(), got);
            TallyCarry(carry, false, tally);
        }
        TallyCarry(carry, true, tally);
        whole = true;
        if (std::fseek(in_, start, SEEK_SET) != 0) failed_ = true;
    }
    const bool utf8 = tally.bad == 0 || tally.bad * 4 <= tally.multiByte;
    clean_ = utf8 && tally.bad == 0 && whole;
    encoding_ = utf8 ? TextEncoding::Utf8 : TextEncoding::Gb18030;
}

void CsvReader::NoteKept(std::string_view piece, std::size_t firstBad) {
    if (firstBad == std::string::npos || badLine_ > 0) return;
    badLine_ = line_ + LineBreaks(piece.substr(0, firstBad));
    // Bytes kept within the last few of the input: the file ends inside a character.
    cutAtEnd_ = rawEnd_ && raw_.size() == piece.size() && piece.size() - firstBad <= 3;
}

std::string CsvReader::EncodingWarning() const {
    if (badLine_ == 0) return {};
    const std::string line = "第 " + IntegerText(badLine_) + " 行";
    if (cutAtEnd_) return "文件在" + line + "的一个字符中间结束 (文件可能不完整),这几个字节已原样保留";
    return line + "有不能按 " + std::string(encoding_ == TextEncoding::Gb18030 ? "GBK" : "UTF-8") +
           " 读出的字节,已原样保留 (写出时仍是原来的字节),请检查这一行";
}

bool CsvReader::Fill() {
    if (failed_) return false;
    if (!decided_) DecideEncoding();
    if (raw_.empty()) ReadRaw();
    pos_ = end_ = 0;
    if (raw_.empty()) return false;
    if (clean_ && !HasKeptBytes(raw_)) {
        buffer_.swap(raw_);  // bytes in memory are read where they lie
        raw_.clear();
    } else if (encoding_ != TextEncoding::Gb18030) {
        // A character cut by the chunk's end waits for the rest of it.
        std::size_t take = WholeUtf8(raw_);
        while (!rawEnd_ && take == 0 && ReadRaw()) take = WholeUtf8(raw_);
        if (rawEnd_) take = raw_.size();
        const std::string_view piece(raw_.data(), take);
        const std::size_t valid = ValidUtf8Prefix(piece, false);
        if (valid == piece.size() && !HasKeptBytes(piece)) {
            buffer_.assign(piece.begin(), piece.end());
        } else {
            KeptBytes decoded = DecodeKeepingBytes(piece, std::string());
            NoteKept(piece, decoded.firstBad);
            buffer_ = std::move(decoded.utf8);
        }
        raw_.erase(0, take);
    } else {
        // Whole lines at a time: a line feed is never part of a GB18030
        // character, so no character is cut in two.
        while (!rawEnd_ && raw_.find('\n') == std::string::npos && ReadRaw()) {
        }
        const std::size_t lineEnd = rawEnd_ ? raw_.size() : raw_.rfind('\n') + 1;
        const std::string_view piece(raw_.data(), lineEnd);
        KeptBytes decoded = DecodeKeepingBytes(piece, charset_);
        NoteKept(piece, decoded.firstBad);
        buffer_ = std::move(decoded.utf8);
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

// A quoted field after its opening quote: up to the closing quote, ""
// standing for one quote; a file that ends first leaves it unterminated.
void CsvReader::ReadQuoted(std::string& field) {
    quoteLine_ = line_;
    long long breaks = 0;
    for (;;) {
        const int c = Get();
        if (c == EOF) {
            unterminated_ = true;
            swallowedLines_ = breaks;
            return;
        }
        if (c == '"') {
            if (Peek() != '"') return;
            Get();
        }
        if (c == '\n' || (c == '\r' && Peek() != '\n')) {
            ++line_;
            ++breaks;
        }
        field.push_back(static_cast<char>(c));
    }
}

// Plain text: copied straight from the buffer up to the next special character.
void CsvReader::ReadPlainRun(std::string& field) {
    std::size_t run = pos_;
    while (run < end_) {
        const char d = buffer_[run];
        if (d == separator_ || d == '\n' || d == '\r' || d == '"') break;
        ++run;
    }
    field.append(&buffer_[pos_], run - pos_);
    pos_ = run;
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
    quotedMask_ = 0;
    bool quoted = false;
    std::string* current = &field();
    for (;;) {
        if (c == '"' && current->empty()) {
            quoted = true;
            if (count <= 64) quotedMask_ |= std::uint64_t{1} << (count - 1);
            ReadQuoted(*current);
            c = Get();
            continue;
        }
        if (c == EOF) break;
        if (c == separator_) {
            current = &field();
        } else if (c == '\n') {
            ++line_;
            break;
        } else if (c == '\r') {
            if (Peek() == '\n') Get();
            ++line_;
            break;
        } else {
            current->push_back(static_cast<char>(c));
            ReadPlainRun(*current);
        }
        c = Get();
    }
    fields.resize(count);
    blank_ = count == 1 && fields[0].empty() && !quoted;
    return true;
}

namespace {

// A field as a delimited text has it: as it is, or quoted (quotes doubled)
// when it holds the separator, a quote or a line break.
template <char separator>
void AppendDelimitedField(std::string& out, std::string_view field, bool quote = false) {
    // (a plain loop: find_first_of looks each byte up in the set with memchr)
    bool plain = !quote;
    for (const char c : field) {
        if (c == separator || c == '"' || c == '\r' || c == '\n') {
            plain = false;
            break;
        }
    }
    if (plain) {
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

bool IsCsvNumber(std::string_view field) {
    const std::size_t last = field.find_last_not_of(" \t");
    return last != std::string_view::npos && field[last] >= '0' && field[last] <= '9' && IsNumeric(field);
}

void AppendCsvField(std::string& out, std::string_view field, CsvQuoting quoting) {
    AppendDelimitedField<','>(out, field, quoting == CsvQuoting::Texts && !field.empty() && !IsCsvNumber(field));
}

void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields, std::string_view lineEnd,
                     CsvQuoting quoting) {
    // A lone empty field would be an empty line, which reading skips.
    if (fields.size() == 1 && fields[0].empty()) {
        out += "\"\"";
        out += lineEnd;
        return;
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ',';
        AppendCsvField(out, fields[i], quoting);
    }
    out += lineEnd;
}

std::string EncodeCsvText(std::string_view utf8, TextEncoding encoding, bool byteOrderMark, bool keptBytes) {
    if (encoding == TextEncoding::Gb18030) {
        // GB18030 holds every character; a converter that lacks it (code page
        // 936 stands in on some systems) leaves the text in UTF-8, not lost.
        auto bytes =
            keptBytes ? EncodeKeepingBytes(utf8, Gb18030Charset()) : EncodeFromUtf8(utf8, Gb18030Charset());
        if (bytes) return *std::move(bytes);
    }
    std::string bytes = byteOrderMark ? "\xEF\xBB\xBF" : "";
    if (keptBytes && HasKeptBytes(utf8)) return bytes + *EncodeKeepingBytes(utf8, std::string());
    return bytes.append(utf8);
}

std::vector<std::vector<std::string>> ParseTabSeparated(std::string_view text) {
    // The CSV reader's rules with a tab between cells: one parser for files and the clipboard.
    CsvReader reader(std::string(text), TextEncoding::Utf8, '\t');
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> cells;
    while (reader.Next(cells)) records.push_back(std::move(cells));
    return records;
}

void AppendTabRecord(std::string& out, const std::vector<std::string>& cells) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (c) out += '\t';
        AppendDelimitedField<'\t'>(out, cells[c]);
    }
    out += '\n';
}

std::string CsvRecordRefusal(const CsvReader& reader, std::size_t cells, std::size_t width) {
    if (reader.unterminated()) {
        std::string why =
            "引号没有闭合:第 " + IntegerText(reader.quoteLine()) + " 行的引号直到文件末尾都没有配对的引号,";
        why += reader.swallowedLines() > 0 ? "其后 " + IntegerText(reader.swallowedLines()) + " 行都并入了这一格,没有计算"
                                           : "这一行没有计算";
        return why;
    }
    if (cells != width)
        return "这一行有 " + IntegerText(static_cast<long long>(cells)) + " 列,列名行有 " +
               IntegerText(static_cast<long long>(width)) + " 列";
    return {};
}

}  // namespace quorvane
