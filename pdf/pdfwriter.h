// The calculation book's PDF, written as its pages are drawn: each page's
// content compressed into the file as soon as it is done, then the font
// (a subset of the built-in face, holding only the glyphs drawn), the
// page tree with the links, the bookmarks and the document's properties.
// Memory stays that of one page, whatever the book's length.
#pragma once

#include <QRectF>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "truetype.h"

namespace quorvane {

// A bookmark: its title, the page it opens (from 1), and those under it.
struct OutlineEntry {
    QString title;
    int page = 0;
    std::vector<OutlineEntry> children;
};

// A link: an area of a page (in millimetres from the page's top left)
// that opens another page.
struct PageLink {
    int page = 0;
    QRectF area;
    int target = 0;
};

class PdfWriter {
public:
    // Pages of width × height points into out, in the font given.
    PdfWriter(std::FILE* out, const TrueTypeFont& font, double width, double height);
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    const TrueTypeFont& font() const { return font_; }
    // The font's code for a character drawn (0: the font has no glyph for it).
    std::uint16_t Code(char32_t c);

    // A page, its content stream as drawn (the font is /F1).
    void AddPage(const std::string& content);
    int pages() const { return static_cast<int>(contents_.size()); }

    // The rest of the file; false when anything could not be written
    // (errno tells why) or an outline or link names no page of the book.
    // created: the creation date as PDF writes dates (D:YYYYMMDDHHmmSS), or empty.
    bool Finish(const std::vector<OutlineEntry>& outline, const std::vector<PageLink>& links, const QString& title,
                const QString& author, const std::string& created = {});

private:
    int Reserve() { return next_++; }
    void Write(int number, const std::string& body);
    void WriteStream(int number, const std::string& dictionary, const std::string& data);
    void Put(const std::string& bytes);
    std::pair<int, int> WriteOutline(const std::vector<OutlineEntry>& entries, int parent);
    std::string Destination(int page) const;
    void WriteFont();

    std::FILE* out_;
    const TrueTypeFont& font_;
    double width_, height_;
    long long written_ = 0;
    bool failed_ = false;
    int error_ = 0;  // the first write's failure
    int next_ = 1;
    std::vector<long long> offsets_{0};
    int catalog_, tree_, info_, type0_, resources_;
    std::vector<int> contents_, pageObjects_;
    std::vector<std::uint16_t> basicCodes_;               // each BMP character's code, 0 none yet
    std::unordered_map<char32_t, std::uint16_t> codes_;  // the rest's
    std::vector<std::uint16_t> glyphs_{0};   // each code's glyph in the whole font
    std::vector<char32_t> characters_{0};    // each code's character, for copying text
    struct Deflater;
    std::unique_ptr<Deflater> deflater_;
};

// A PDF text string: UTF-16BE with its byte order mark, in hex.
std::string PdfTextString(const QString& text);

}  // namespace quorvane
