// What the book's pages are drawn on: a PDF page written directly (the
// file the engineer hands in), or a printer's page through QPainter (the
// window's print and preview). The book draws only what both can: lines,
// framed and filled boxes, and single lines of text in one typeface,
// measured by the canvas that draws them.
#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>
#include <set>
#include <string>

class QPainter;

namespace quorvane {

class PdfWriter;
class TrueTypeFont;

class BookCanvas {
public:
    virtual ~BookCanvas() = default;

    virtual double DotsPerInch() const = 0;
    virtual void NewPage() = 0;

    void SetFont(double points, bool bold);
    double points() const { return points_; }
    bool bold() const { return bold_; }
    // Device units, at the font set.
    virtual double Advance(const QString& text) const = 0;
    virtual double Ascent() const = 0;
    virtual double Descent() const = 0;
    double Height() const { return Ascent() + Descent(); }

    // Lines in color, width in points (the default a hairline).
    virtual void SetPen(const QColor& color, double width = kHairline) = 0;
    virtual void Line(const QPointF& from, const QPointF& to) = 0;
    virtual void Frame(const QRectF& r) = 0;
    virtual void Fill(const QRectF& r, const QColor& color) = 0;

    // One line of text in r, placed by flags (Qt::Alignment); it may run
    // outside r: the caller fits it.
    void Text(const QRectF& r, const QString& text, int flags);
    // The same turned a quarter to the left about pivot; r is in the
    // turned coordinates (x up the page from the pivot, y to its right).
    void TurnedText(const QPointF& pivot, const QRectF& r, const QString& text, int flags);

    static constexpr double kHairline = 0.12;

protected:
    virtual void FontChanged() = 0;
    // Text from its baseline's left end; turned: about pivot, as above.
    virtual void Run(const QPointF& origin, const QString& text) = 0;
    virtual void TurnedRun(const QPointF& pivot, const QPointF& origin, const QString& text) = 0;

private:
    QPointF Origin(const QRectF& r, const QString& text, int flags) const;
    double points_ = 10;
    bool bold_ = false;
};

class PainterCanvas : public BookCanvas {
public:
    PainterCanvas(QPainter& painter, double dotsPerInch, std::function<void()> newPage);
    double DotsPerInch() const override { return dpi_; }
    void NewPage() override { newPage_(); }
    double Advance(const QString& text) const override;
    double Ascent() const override;
    double Descent() const override;
    void SetPen(const QColor& color, double width = kHairline) override;
    void Line(const QPointF& from, const QPointF& to) override;
    void Frame(const QRectF& r) override;
    void Fill(const QRectF& r, const QColor& color) override;

protected:
    void FontChanged() override;
    void Run(const QPointF& origin, const QString& text) override;
    void TurnedRun(const QPointF& pivot, const QPointF& origin, const QString& text) override;

private:
    QPainter& p_;
    double dpi_;
    std::function<void()> newPage_;
};

// Pages of the PDF writer's size, in points from the top left. A
// character the typeface lacks is drawn as its code (\uXXXX) and kept in
// missing(); the direction isolates the book puts round a user's text
// take no room (the book draws left to right, nothing is reordered).
class PdfCanvas : public BookCanvas {
public:
    PdfCanvas(PdfWriter& writer, double pageHeight);
    double DotsPerInch() const override { return 72; }
    void NewPage() override;
    void EndPage();  // the last page's end
    double Advance(const QString& text) const override;
    double Ascent() const override;
    double Descent() const override;
    void SetPen(const QColor& color, double width = kHairline) override;
    void Line(const QPointF& from, const QPointF& to) override;
    void Frame(const QRectF& r) override;
    void Fill(const QRectF& r, const QColor& color) override;
    const std::set<char32_t>& missing() const { return missing_; }

protected:
    void FontChanged() override {}
    void Run(const QPointF& origin, const QString& text) override;
    void TurnedRun(const QPointF& pivot, const QPointF& origin, const QString& text) override;

private:
    void Number(double v);
    void Color(const QColor& c, bool stroke);
    std::string Codes(const QString& text);
    void StrokeState();
    void TextState();
    template <class Each>
    void ForEachCharacter(const QString& text, Each each) const;

    PdfWriter& writer_;
    const TrueTypeFont& font_;
    double height_;
    std::string content_;
    QColor pen_ = Qt::black;
    double width_ = kHairline;
    // What the page's graphics state holds now (invalid: not yet set on this page).
    QColor fill_, stroke_;
    double strokeWidth_ = -1, fontSize_ = -1;
    bool strokedText_ = false;
    std::set<char32_t> missing_;
};

}  // namespace quorvane
