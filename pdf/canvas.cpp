#include "canvas.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "pdfwriter.h"

namespace quorvane {

void BookCanvas::SetFont(double points, bool bold) {
    points_ = points;
    bold_ = bold;
    FontChanged();
}

QPointF BookCanvas::Origin(const QRectF& r, const QString& text, int flags) const {
    double x = r.left();
    if (flags & Qt::AlignRight)
        x = r.right() - Advance(text);
    else if (flags & Qt::AlignHCenter)
        x = r.left() + (r.width() - Advance(text)) / 2;
    double y = r.top() + Ascent();
    if (flags & Qt::AlignBottom)
        y = r.bottom() - Descent();
    else if (flags & Qt::AlignVCenter)
        y = r.top() + (r.height() - Height()) / 2 + Ascent();
    return {x, y};
}

void BookCanvas::Text(const QRectF& r, const QString& text, int flags) {
    if (!text.isEmpty()) Run(Origin(r, text, flags), text);
}

void BookCanvas::TurnedText(const QPointF& pivot, const QRectF& r, const QString& text, int flags) {
    if (!text.isEmpty()) TurnedRun(pivot, Origin(r, text, flags), text);
}

namespace {

// WenQuanYi Micro Hei, built in, for the printer's pages.
QString BookFamily() {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/wqy-microhei.ttc"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("WenQuanYi Micro Hei") : families.first();
    }();
    return family;
}

}  // namespace

PainterCanvas::PainterCanvas(QPainter& painter, double dotsPerInch, std::function<void()> newPage)
    : p_(painter), dpi_(dotsPerInch), newPage_(std::move(newPage)) {}

// The regular face always: bold is its outline stroked (Run), as the PDF
// draws it, so that both measure and look alike, on paper and in the
// preview (which synthesises no bold of a face that has none).
void PainterCanvas::FontChanged() {
    QFont font(BookFamily());
    font.setPointSizeF(points());
    p_.setFont(font);
}

double PainterCanvas::Advance(const QString& text) const {
    return QFontMetricsF(p_.font(), p_.device()).horizontalAdvance(text);
}
double PainterCanvas::Ascent() const { return QFontMetricsF(p_.font(), p_.device()).ascent(); }
double PainterCanvas::Descent() const { return QFontMetricsF(p_.font(), p_.device()).descent(); }
// A hairline is the device's thinnest line (a cosmetic pen): on paper and
// in the preview alike.
void PainterCanvas::SetPen(const QColor& color, double width) {
    p_.setPen(QPen(color, width == kHairline ? 0 : width * dpi_ / 72));
}
void PainterCanvas::Line(const QPointF& from, const QPointF& to) { p_.drawLine(from, to); }
void PainterCanvas::Frame(const QRectF& r) { p_.drawRect(r); }
void PainterCanvas::Fill(const QRectF& r, const QColor& color) { p_.fillRect(r, color); }
void PainterCanvas::Run(const QPointF& origin, const QString& text) {
    p_.drawText(origin, text);
    if (bold()) {
        QPainterPath outline;
        outline.addText(origin, p_.font(), text);
        p_.strokePath(outline, QPen(p_.pen().color(), points() * 0.03 * dpi_ / 72));
    }
}

void PainterCanvas::TurnedRun(const QPointF& pivot, const QPointF& origin, const QString& text) {
    p_.save();
    p_.translate(pivot);
    p_.rotate(-90);
    Run(origin, text);
    p_.restore();
}

PdfCanvas::PdfCanvas(PdfWriter& writer, double pageHeight)
    : writer_(writer), font_(writer.font()), height_(pageHeight) {
    content_.reserve(1 << 15);
}

void PdfCanvas::NewPage() { EndPage(); }

void PdfCanvas::EndPage() {
    writer_.AddPage(content_);
    content_.clear();
    fill_ = stroke_ = QColor();
    strokeWidth_ = -1;
    fontSize_ = -1;
    strokedText_ = false;
}

// Each character as drawn: a direction isolate is none, a character the
// typeface lacks is its code. each(drawn, glyph, lacked): lacked is the
// character the code stands for, on its first character, else 0.
template <class Each>
void PdfCanvas::ForEachCharacter(const QString& text, Each each) const {
    const char16_t* s = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    for (qsizetype k = 0; k < n; ++k) {
        char32_t c = s[k];
        if (QChar::isHighSurrogate(c) && k + 1 < n && QChar::isLowSurrogate(s[k + 1])) {
            c = QChar::surrogateToUcs4(s[k], s[k + 1]);
            ++k;
        }
        if (c >= 0x2066 && c <= 0x2069) continue;
        const std::uint16_t glyph = font_.Glyph(c);
        if (glyph != 0) {
            each(c, glyph, char32_t(0));
            continue;
        }
        char code[16];
        std::snprintf(code, sizeof code, c < 0x10000 ? "\\u%04X" : "\\U%08X", static_cast<unsigned>(c));
        for (const char* p = code; *p; ++p) {
            const auto drawn = static_cast<char32_t>(static_cast<unsigned char>(*p));
            each(drawn, font_.Glyph(drawn), p == code ? c : char32_t(0));
        }
    }
}

double PdfCanvas::Advance(const QString& text) const {
    double ems = 0;
    ForEachCharacter(text, [&](char32_t, std::uint16_t glyph, char32_t) { ems += font_.Advance(glyph); });
    return ems * points();
}

double PdfCanvas::Ascent() const { return font_.ascent() * points(); }
double PdfCanvas::Descent() const { return font_.descent() * points(); }

void PdfCanvas::SetPen(const QColor& color, double width) {
    pen_ = color;
    width_ = width;
}

// A figure to the hundredth of a point, trailing zeros dropped.
void PdfCanvas::Number(double v) {
    long long n = std::llround(v * 100);
    if (n < 0) {
        content_ += '-';
        n = -n;
    }
    char digits[24];
    int length = 0;
    long long whole = n / 100;
    do {
        digits[length++] = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    while (length > 0) content_ += digits[--length];
    const int hundredths = static_cast<int>(n % 100);
    if (hundredths != 0) {
        content_ += '.';
        content_ += static_cast<char>('0' + hundredths / 10);
        if (hundredths % 10) content_ += static_cast<char>('0' + hundredths % 10);
    }
    content_ += ' ';
}

void PdfCanvas::Color(const QColor& c, bool stroke) {
    QColor& now = stroke ? stroke_ : fill_;
    if (now.isValid() && now == c) return;
    now = c;
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.3g %.3g %.3g %s\n", c.redF(), c.greenF(), c.blueF(), stroke ? "RG" : "rg");
    content_ += buffer;
}

void PdfCanvas::StrokeState() {
    Color(pen_, true);
    if (strokeWidth_ != width_) {
        strokeWidth_ = width_;
        Number(width_);
        content_ += "w\n";
    }
}

void PdfCanvas::Line(const QPointF& from, const QPointF& to) {
    StrokeState();
    Number(from.x());
    Number(height_ - from.y());
    content_ += "m ";
    Number(to.x());
    Number(height_ - to.y());
    content_ += "l S\n";
}

void PdfCanvas::Frame(const QRectF& r) {
    StrokeState();
    Number(r.left());
    Number(height_ - r.bottom());
    Number(r.width());
    Number(r.height());
    content_ += "re S\n";
}

void PdfCanvas::Fill(const QRectF& r, const QColor& color) {
    Color(color, false);
    Number(r.left());
    Number(height_ - r.bottom());
    Number(r.width());
    Number(r.height());
    content_ += "re f\n";
}

// The text's codes in hex, the characters the typeface lacks noted.
std::string PdfCanvas::Codes(const QString& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string codes;
    ForEachCharacter(text, [&](char32_t drawn, std::uint16_t, char32_t lacked) {
        if (lacked != 0) missing_.insert(lacked);
        const std::uint16_t code = writer_.Code(drawn);
        for (int shift = 12; shift >= 0; shift -= 4) codes += hex[code >> shift & 0xF];
    });
    return codes;
}

void PdfCanvas::TextState() {
    if (fontSize_ != points()) {
        fontSize_ = points();
        content_ += "/F1 ";
        Number(points());
        content_ += "Tf ";
    }
    Color(pen_, false);
    // Bold is the regular face drawn with its outline stroked, as Qt does
    // for a face without a bold one.
    if (bold()) {
        Color(pen_, true);
        const double width = points() * 0.03;
        if (strokeWidth_ != width) {
            strokeWidth_ = width;
            Number(width);
            content_ += "w ";
        }
    }
    if (strokedText_ != bold()) {
        strokedText_ = bold();
        content_ += strokedText_ ? "2 Tr " : "0 Tr ";
    }
}

void PdfCanvas::Run(const QPointF& origin, const QString& text) {
    const std::string codes = Codes(text);
    if (codes.empty()) return;
    content_ += "BT ";
    TextState();
    Number(origin.x());
    Number(height_ - origin.y());
    content_ += "Td <" + codes + "> Tj ET\n";
}

void PdfCanvas::TurnedRun(const QPointF& pivot, const QPointF& origin, const QString& text) {
    const std::string codes = Codes(text);
    if (codes.empty()) return;
    content_ += "BT ";
    TextState();
    // A quarter turn to the left: x runs up the page, y to the right.
    content_ += "0 1 -1 0 ";
    Number(pivot.x() + origin.y());
    Number(height_ - (pivot.y() - origin.x()));
    content_ += "Tm <" + codes + "> Tj ET\n";
}

}  // namespace quorvane
