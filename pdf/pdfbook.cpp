#include "pdfbook.h"

#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <cerrno>
#include <cmath>

#include "beam.h"
#include "bookformulas.h"
#include "checks.h"
#include "materials.h"
#include "canvas.h"
#include "pdfwriter.h"
#include "numtext.h"
#include "qttext.h"
#include "report.h"

namespace quorvane {
namespace {

// Page geometry, millimetres: A4 portrait.
constexpr double kPageWidth = 210, kPageHeight = 297;
constexpr double kLeft = 17, kRight = kPageWidth - 17, kTop = 18, kBottom = kPageHeight - 16;
constexpr double kRowHeight = 5;
constexpr double kRevisionRows = 4, kRevisionRowHeight = 5;  // the cover's revision table, rows blank to write in
constexpr double kRevisionTableHeight = (kRevisionRows + 2) * kRevisionRowHeight;  // with its caption and header
constexpr double kTitleBlockBottom = 92 + kRevisionTableHeight;  // where the summary starts on the first page
constexpr int kRowsBetweenProgress = 64;

// Fill colours that a rendered page is checked by: keep them distinct.
const QColor kWallFill(224, 224, 224), kBeamFill(150, 150, 150), kPlasterFill(238, 214, 160);
const QColor kDoorFill(196, 140, 90), kWindowFill(120, 180, 230), kRefusedText(176, 0, 32);
constexpr double kDrawingLine = 0.2 * 72 / 25.4;  // points: the drawings' outlines, 0.2 mm

// The book's typeface, WenQuanYi Micro Hei, built in: the PDF embeds
// the glyphs it draws, so that every reader shows, searches and copies
// the text the same.
const TrueTypeFont* BookFont() {
    static const std::optional<TrueTypeFont> font = [] {
        QFile file(QStringLiteral(":/fonts/wqy-microhei.ttc"));
        if (!file.open(QIODevice::ReadOnly)) return std::optional<TrueTypeFont>();
        const QByteArray bytes = file.readAll();
        return TrueTypeFont::Read(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }();
    return font ? &*font : nullptr;
}

// Printing needs a GUI application, the caller's (the window's): this
// library makes none, and writes a PDF without one.
bool HasGuiApplication() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

// A text of the user's (a mark, a title field, a floor's name) as the
// book prints it: a control character as \xHH and a direction override or
// mark as \u202E and the like, visible as the command line shows them,
// and the whole set apart (first-strong isolate) so that it never turns
// the program's own text around it.
QString Isolated(std::string_view text, bool isolate = true) {
    QString shown;
    for (const QChar c : FromUtf8(text)) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || u == 0x7F;
        const bool direction = (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) || u == 0x200E ||
                               u == 0x200F || u == 0x061C;
        if (control || direction)
            shown += (control ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
                     QString::number(u, 16).toUpper().rightJustified(control ? 2 : 4, QLatin1Char('0'));
        else
            shown += c;
    }
    return isolate ? QChar(0x2068) + shown + QChar(0x2069) : shown;
}

std::string_view Text(const ScheduleRow& row, std::string_view field) {
    return row.text(static_cast<std::size_t>(FindParam(field)));
}

// Table rows a page holds: under the title block, and on a page of its own
// (the header row on every page).
constexpr int kFirstPageRows = static_cast<int>((kBottom - 8 - kTitleBlockBottom) / kRowHeight) - 1;
constexpr int kPageRows = static_cast<int>((kBottom - 8 - (kTop + 6)) / kRowHeight) - 1;

// Pages for lines of a table that starts under the title block (or on a page of its own).
int PagesFor(int lines, bool underTitle) {
    const int first = underTitle ? kFirstPageRows : kPageRows;
    return 1 + (lines > first ? (lines - first + kPageRows - 1) / kPageRows : 0);
}

// A floor's rows and their outcomes, and where its pages fall.
struct FloorPlan {
    QString name;  // empty: the book of one schedule
    const std::vector<ScheduleRow>* rows = nullptr;
    std::vector<BeamOutcome> outcomes;
    std::vector<std::vector<std::string>> notes;  // per row: what the checker should look at
    int computed = 0, flagged = 0;
    int summaryPages = 1;
    int firstPage = 0;                // of its summary
    std::vector<int> beamPage;        // per row: its page, 0 when not computed
};

// The whole book: the floors, the contents (a building's), the page count.
struct Plan {
    std::vector<FloorPlan> floors;
    int contentsLines = 0, contentsPages = 0;
    int computed = 0, beams = 0, flagged = 0;
    int basisPage = 0;  // the design basis: after the contents, or after the one schedule's summary
    int total = 0;
    bool building() const { return contentsPages > 0; }
};

Plan MakePlan(const std::vector<BookFloor>& floors) {
    Plan plan;
    const bool building = floors.size() > 1 || (floors.size() == 1 && !floors[0].name.empty());
    for (const BookFloor& floor : floors) {
        FloorPlan f;
        f.name = Isolated(floor.name, false);
        f.rows = &floor.rows;
        const bool given = floor.outcomes.size() == floor.rows.size();
        if (given) f.outcomes = floor.outcomes;  // as the run computed them
        f.outcomes.reserve(floor.rows.size());
        for (std::size_t r = 0; r < floor.rows.size(); ++r) {
            const ScheduleRow& row = floor.rows[r];
            if (!given) f.outcomes.push_back(EvaluateRow(row));
            const BeamOutcome& outcome = f.outcomes[r];
            f.computed += outcome.ok() ? 1 : 0;
            f.notes.push_back(outcome.computed() ? CheckerNotes(row.texts(), outcome.calculation)
                                                 : std::vector<std::string>());
            f.flagged += f.notes.back().empty() ? 0 : 1;
        }
        // The one schedule's summary starts under the title block; a floor's on a page of its own.
        f.summaryPages = PagesFor(static_cast<int>(floor.rows.size()), !building);
        plan.computed += f.computed;
        plan.flagged += f.flagged;
        plan.beams += static_cast<int>(floor.rows.size());
        plan.contentsLines += 1 + static_cast<int>(floor.rows.size());
        plan.floors.push_back(std::move(f));
    }
    if (building) plan.contentsPages = PagesFor(plan.contentsLines, true);
    int page = plan.contentsPages + 1;
    if (building) plan.basisPage = page++;
    for (FloorPlan& f : plan.floors) {
        f.firstPage = page;
        page += f.summaryPages;
        if (plan.basisPage == 0) plan.basisPage = page++;
        f.beamPage.assign(f.outcomes.size(), 0);
        for (std::size_t r = 0; r < f.outcomes.size(); ++r)
            if (f.outcomes[r].ok()) f.beamPage[r] = page++;
    }
    plan.total = page - 1;
    return plan;
}

class BookPainter {
public:
    BookPainter(BookCanvas& canvas, const BookTitle& title, const Plan& plan)
        : c_(canvas), title_(title), plan_(plan), scale_(canvas.DotsPerInch() / 25.4) {}

    double mm(double v) const { return v * scale_; }
    QPointF at(double x, double y) const { return {mm(x), mm(y)}; }
    QRectF box(double x, double y, double w, double h) const { return {mm(x), mm(y), mm(w), mm(h)}; }

    void SetFont(double points, bool bold = false) { c_.SetFont(points, bold); }

    void TextIn(const QRectF& r, const QString& text, int flags = Qt::AlignLeft | Qt::AlignVCenter) {
        c_.Text(r, text, flags);
    }

    // text, shortened with "…" (at its end or in its middle) to width.
    QString Elided(const QString& text, bool middle, double width) const {
        if (c_.Advance(text) <= width) return text;
        const QString dots = QStringLiteral("…");
        for (qsizetype keep = text.size() - 1; keep > 0; --keep) {
            const qsizetype head = middle ? (keep + 1) / 2 : keep;
            const QString shown = text.left(head) + dots + text.right(keep - head);
            if (c_.Advance(shown) <= width) return shown;
        }
        return dots;
    }

    // text in lines no wider than width, broken anywhere.
    QStringList WrapAnywhere(const QString& text, double width) const {
        QStringList lines{QString()};
        double used = 0;
        for (qsizetype k = 0; k < text.size(); ++k) {
            const qsizetype n = text[k].isHighSurrogate() && k + 1 < text.size() ? 2 : 1;
            const QString piece = text.mid(k, n);
            const double advance = c_.Advance(piece);
            if (used + advance > width && !lines.back().isEmpty()) {
                lines.push_back(QString());
                used = 0;
            }
            lines.back() += piece;
            used += advance;
            k += n - 1;
        }
        return lines;
    }

    // The whole text inside r, never cut or run over its neighbours: at
    // the font's size where it fits, else smaller, else on two lines,
    // else as small as it takes. The font is as it was after.
    // mayWrap: false for a number, which only shrinks (two lines of digits
    // read as two numbers).
    void FitIn(const QRectF& r, const QString& text, int flags = Qt::AlignLeft | Qt::AlignVCenter, bool mayWrap = true) {
        const double points = c_.points();
        const bool bold = c_.bold();
        const double full = c_.Advance(text);
        if (full <= r.width()) {
            TextIn(r, text, flags);
            return;
        }
        constexpr double kSmallest = 4.5;  // points: still read on paper
        const double shrunk = points * r.width() / full * 0.98;
        if (shrunk >= kSmallest || !mayWrap) {
            c_.SetFont(shrunk, bold);
            TextIn(r, text, flags);
        } else {
            // Two lines, broken anywhere (a mark or a message has no spaces to break at).
            double size = std::max(kSmallest, std::min(points, shrunk * 2.0));
            c_.SetFont(size, bold);
            QStringList lines = WrapAnywhere(text, r.width());
            while (size > 1 && (static_cast<double>(lines.size()) * c_.Height() > r.height() ||
                                c_.Height() * 2 > r.height() * 1.05 || c_.Advance(text) > r.width() * 2)) {
                size *= 0.92;
                c_.SetFont(size, bold);
                lines = WrapAnywhere(text, r.width());
            }
            const double height = c_.Height();
            double y = r.top() + (r.height() - static_cast<double>(lines.size()) * height) / 2;
            for (const QString& line : lines) {
                TextIn(QRectF(r.left(), y, r.width(), height), line, (flags & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
                y += height;
            }
        }
        c_.SetFont(points, bold);
    }

    // Next page, with its header and footer.
    void StartPage(const QString& headerRight) {
        if (page_ > 0) c_.NewPage();
        ++page_;
        c_.SetPen(Qt::black);
        SetFont(8);
        const QString left = title_.project.empty() ? QStringLiteral("梁上恒载计算书") : Isolated(title_.project);
        // The project at the left, the floor and mark at the right: each
        // shortened with "…" rather than run into the other.
        const QRectF line = box(kLeft, 8, kRight - kLeft, 6);
        const QString right = Elided(headerRight, true, line.width() * 0.6);
        TextIn(line, Elided(left, false, line.width() - c_.Advance(right) - mm(4)));
        TextIn(line, right, Qt::AlignRight | Qt::AlignVCenter);
        c_.Line(at(kLeft, 14.5), at(kRight, 14.5));
        TextIn(box(kLeft, kBottom + 4, kRight - kLeft, 6),
               QStringLiteral("第 %1 页 共 %2 页").arg(page_).arg(plan_.total), Qt::AlignHCenter | Qt::AlignVCenter);
    }

    // The revisions as given, the latest when they do not all fit, the rows
    // left blank to write in by hand; returns the y below it.
    double RevisionTable(double left, double y, double width) {
        constexpr auto kRows = static_cast<std::size_t>(kRevisionRows);
        const std::vector<Revision> all = Revisions(title_.revisions);
        const double mark = 16, date = 28, row = kRevisionRowHeight;
        SetFont(9, true);
        TextIn(box(left, y, width, row), QStringLiteral("修订记录"));
        y += row;
        const auto cells = [&](const QString& a, const QString& b, const QString& c) {
            c_.Frame(box(left, y, mark, row));
            c_.Frame(box(left + mark, y, date, row));
            c_.Frame(box(left + mark + date, y, width - mark - date, row));
            FitIn(box(left + 1.5, y, mark - 3, row), a);
            FitIn(box(left + mark + 1.5, y, date - 3, row), b);
            FitIn(box(left + mark + date + 1.5, y, width - mark - date - 3, row), c);
            y += row;
        };
        cells(QStringLiteral("版次"), QStringLiteral("日期"), QStringLiteral("修改内容"));
        SetFont(9);
        // The latest ones when they do not all fit.
        const std::size_t from = all.size() > kRows ? all.size() - (kRows - 1) : 0;
        if (from > 0) cells({}, {}, QStringLiteral("较早的 %1 次修订未列出").arg(from));
        for (std::size_t i = from; i < all.size(); ++i)
            cells(Isolated(all[i].mark), Isolated(all[i].date), Isolated(all[i].note));
        for (std::size_t i = all.size() - from + (from > 0 ? 1 : 0); i < kRows; ++i) cells({}, {}, {});
        return y;
    }

    void TitleBlock(long long beams, int computed) {
        SetFont(18, true);
        TextIn(box(kLeft, kTop + 2, kRight - kLeft, 12), QStringLiteral("梁上恒载计算书"), Qt::AlignCenter);
        SetFont(10);
        // The project's fields two to a row, then a line to sign for each of
        // 计算, 校对, 审核 and 审定 (the name given, a date written by hand).
        const auto cell = [&](double x, double y, double w, const QString& caption, const QString& value) {
            c_.Frame(box(x, y, 22, 7));
            c_.Frame(box(x + 22, y, w - 22, 7));
            TextIn(box(x + 1.5, y, 20, 7), caption);
            FitIn(box(x + 23.5, y, w - 25, 7), value);
        };
        const auto field = [&](std::size_t k) { return Isolated(title_.*kTitleFields[k].member); };
        const auto caption = [](std::size_t k) { return QString::fromUtf8(kTitleFields[k].caption); };
        const double left = kLeft + 6, width = kRight - kLeft - 12, half = width / 2;
        double y = kTop + 18;
        cell(left, y, width, caption(0), field(0));  // 工程名称
        y += 7;
        cell(left, y, half, caption(1), field(1));  // 工程编号 | 部位/楼层
        cell(left + half, y, half, caption(2), field(2));
        y += 7;
        cell(left, y, half, caption(3), field(3));  // 设计阶段 | 日期
        cell(left + half, y, half, QStringLiteral("日期"), FromUtf8(title_.date));
        y += 7;
        const double quarter = width / 4;
        SetFont(9);
        for (std::size_t k = 4; k < kTitleFields.size(); ++k) {  // 计算, 校对, 审核, 审定
            const double x = left + quarter * static_cast<double>(k - 4);
            c_.Frame(box(x, y, quarter, 12));
            TextIn(box(x + 1.5, y, 10, 6), caption(k));
            FitIn(box(x + 11, y, quarter - 12, 6), field(k));
            TextIn(box(x + 1.5, y + 6, quarter - 3, 6), QStringLiteral("签名            日期"));
        }
        y = RevisionTable(left, y + 12, width);
        SetFont(9);
        TextIn(box(kLeft, y + 3, kRight - kLeft, 7),
               QStringLiteral("共 %1 根梁,已计算 %2 根;单位:尺寸 mm,荷载 kN/m。")
                   .arg(beams)
                   .arg(computed));
        if (plan_.flagged > 0) {
            c_.SetPen(kRefusedText);
            TextIn(box(kLeft, y + 8.5, kRight - kLeft, 5),
                   QStringLiteral("需要核对 %1 根:汇总表中序号和梁号为红色,原因列在各梁页面的“需要核对”中。")
                       .arg(plan_.flagged));
            c_.SetPen(Qt::black);
        }
    }

    // The summary table's columns, from the program's tables: the row's
    // number and mark, each input marked for it, every result, the copied
    // load, and the beam's page (the summary is the contents of its beams).
    static constexpr int kPageColumn = -2;
    struct Column {
        QString caption;
        std::string_view field;  // an input's field, or empty
        int result;              // a result index, kResultCount the copied load, -1 none, kPageColumn
    };

    const std::vector<Column>& Columns() const {
        static const std::vector<Column> columns = [] {
            std::vector<Column> list = {{QStringLiteral("序号"), {}, -1}, {QStringLiteral("梁号"), {}, -1}};
            for (const ParamInfo& p : kParams)
                if (p.inSummary) list.push_back({FromUtf8(p.displayName), p.field, -1});
            for (std::size_t r = 0; r < kResultCount; ++r)
                list.push_back({FromUtf8(ResultName(r)), {}, static_cast<int>(r)});
            list.push_back({QStringLiteral("复制值"), {}, static_cast<int>(kResultCount)});
            list.push_back({QStringLiteral("页"), {}, kPageColumn});
            return list;
        }();
        return columns;
    }

    // A cell's text in the summary: the number, the mark, the input or the
    // result as the window shows it (sign and every digit).
    QString SummaryText(const Column& column, std::size_t c, std::size_t r, const ScheduleRow& row,
                        const BeamOutcome& outcome) const {
        if (column.result == kPageColumn)
            return pages_ && r < pages_->size() && (*pages_)[r] > 0 ? QString::number((*pages_)[r]) : QString();
        if (c == 0) return QString::number(r + 1);
        if (c == 1) return Isolated(row.mark());
        if (!column.field.empty()) return FromUtf8(Text(row, column.field));
        if (!outcome.ok()) return {};
        if (column.result >= 0 && column.result < static_cast<int>(kResultCount))
            return FromUtf8(ResultText(outcome.calculation.results, static_cast<std::size_t>(column.result)));
        if (column.result == static_cast<int>(kResultCount)) return FromUtf8(outcome.copied);
        return {};
    }

    // The summary's column widths for these rows, from what they hold:
    // each as wide as its widest text (a mark at most 40 mm), the page's
    // width shared in that proportion. A text still too wide is fitted
    // into its cell (FitIn), never cut.
    // pages: each row's beam page (0: none), for the summary's last column.
    void SizeSummary(const std::vector<ScheduleRow>& rows, const std::vector<BeamOutcome>& outcomes,
                     const std::vector<int>& pages) {
        pages_ = &pages;
        const auto& columns = Columns();
        const double perMm = mm(1);
        std::vector<double> need(columns.size());
        SetFont(6, true);
        for (std::size_t c = 0; c < columns.size(); ++c) need[c] = c_.Advance(columns[c].caption) / perMm;
        SetFont(6);
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t c = 0; c < columns.size(); ++c)
                need[c] = std::max(need[c], c_.Advance(SummaryText(columns[c], c, r, rows[r], outcomes[r])) / perMm);
        need[1] = std::min(need[1], 40.0);
        double total = 0;
        for (double& n : need) total += (n += 1.2);  // room on both sides
        // Too wide for the page: the mark gives way first (it takes two
        // lines), down to 15 mm; then every column alike, its text smaller.
        const double page = kRight - kLeft;
        if (total > page) {
            const double given = std::min(total - page, std::max(0.0, need[1] - 15));
            need[1] -= given;
            total -= given;
        }
        widths_.resize(columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c) widths_[c] = need[c] * page / total;
    }

    void SummaryHeader(double y) {
        SetFont(6, true);
        double x = kLeft;
        c_.Fill(box(kLeft, y, kRight - kLeft, kRowHeight), QColor(221, 235, 247));
        const auto& columns = Columns();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            FitIn(box(x + 0.5, y, widths_[c] - 1, kRowHeight), columns[c].caption, Qt::AlignCenter);
            x += widths_[c];
        }
        c_.Line(at(kLeft, y + kRowHeight), at(kRight, y + kRowHeight));
    }

    void SummaryRow(double y, std::size_t r, const ScheduleRow& row, const BeamOutcome& outcome, bool flagged) {
        SetFont(6);
        double x = kLeft;
        const auto& columns = Columns();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const Column& column = columns[c];
            const QRectF cell = box(x + 0.5, y, widths_[c] - 1, kRowHeight);
            x += widths_[c];
            if (column.result >= 0 && !outcome.ok()) {
                // The message spans the result columns (and the page: there is none), in red.
                c_.SetPen(kRefusedText);
                const QRectF rest = box(x - widths_[c] + 0.5, y, kRight - (x - widths_[c]) - 1, kRowHeight);
                FitIn(rest, FromUtf8(outcome.error));
                c_.SetPen(Qt::black);
                break;
            }
            // A beam the checker should look at: its number and mark in red.
            c_.SetPen(flagged && c < 2 ? kRefusedText : QColor(Qt::black));
            // A number shrinks to its cell, never broken over two lines; a mark may be.
            FitIn(cell, SummaryText(column, c, r, row, outcome),
                  c == 1 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter, c == 1);
            c_.SetPen(Qt::black);
        }
        c_.SetPen(QColor(200, 200, 200));
        c_.Line(at(kLeft, y + kRowHeight), at(kRight, y + kRowHeight));
        c_.SetPen(Qt::black);
    }

    // The largest standard scale (1:N) at which size (mm) fits into room (mm
    // of paper): N from 1, 2, 2.5, 5 times a power of ten.
    static double StandardScale(double size, double room) {
        for (double decade = 1; decade < 1e9; decade *= 10)
            for (const double step : {1.0, 2.0, 2.5, 5.0})
                if (size / (step * decade) <= room) return step * decade;
        return 1e9;
    }

    // A scale bar under a drawing: a round length at the scale, its ends ticked.
    void ScaleBar(double x, double y, double denominator) {
        // The longest of 1, 2, 5 × 10^k mm that stays under 40 mm of paper.
        double real = 1;
        while (real * 10 / denominator <= 40) real *= 10;
        for (const double step : {5.0, 2.0})
            if (real * step / denominator <= 40) {
                real *= step;
                break;
            }
        const double paper = real / denominator;
        c_.Line(at(x, y), at(x + paper, y));
        for (const double tick : {x, x + paper}) c_.Line(at(tick, y - 1), at(tick, y + 1));
        SetFont(7);
        TextIn(box(x + paper + 1.5, y - 2.5, 40, 5),
               real >= 1000 ? QStringLiteral("%1 m").arg(real / 1000) : QStringLiteral("%1 mm").arg(real));
    }

    // A label that fits its box (and no other drawing covers) goes in it;
    // else above the drawing, at its own height (row), with a leader line.
    void Label(const QRectF& r, const QString& text, bool inside, double above, int row) {
        if (inside && c_.Advance(text) + mm(1) <= r.width() && c_.Height() <= r.height()) {
            TextIn(r, text, Qt::AlignCenter);
            return;
        }
        const double width = c_.Advance(text) + mm(1), height = c_.Height();
        const double x = std::clamp(r.center().x() - width / 2, mm(kLeft), mm(kRight) - width);
        const QRectF outside(x, mm(above) - (row + 1) * (height + mm(1)), width, height);
        c_.Line(QPointF(r.center().x(), r.top()), QPointF(outside.center().x(), outside.bottom()));
        TextIn(outside, text, Qt::AlignCenter);
    }

    // Where the door and the window stand on the wall (mm from its left
    // end and from the beam's top), and what the drawing must say about it.
    struct OpeningPlaces {
        double doorLeft = 0, windowLeft = 0, windowBottom = 0;
        QStringList notes;
    };
    // Side by side with equal gaps when both fit along the wall; else the
    // window high in the wall, over the door, and said so. An opening wider
    // than the wall is drawn as wide as it.
    static OpeningPlaces PlaceOpenings(const LoadInputs& in, double length, double clear) {
        const double doorW = in.DoorWidth * 1000, doorH = in.DoorHeight * 1000;
        const double windowW = in.WindowWidth * 1000, windowH = in.WindowHeight * 1000;
        const double doorAlong = std::min(doorW, length), windowAlong = std::min(windowW, length);
        const bool door = doorW > 0 && doorH > 0, window = windowW > 0 && windowH > 0;
        const double gap =
            std::max(0.0, (length - (door ? doorAlong : 0) - (window ? windowAlong : 0)) / ((door && window) ? 3 : 2));
        OpeningPlaces places;
        places.doorLeft = gap;
        places.windowLeft = door ? 2 * gap + doorAlong : gap;
        places.windowBottom = std::max(0.0, (clear - windowH) / 2);
        if (door && window && doorAlong + windowAlong > length) {
            places.windowLeft = length - windowAlong;
            places.windowBottom = std::max(0.0, clear - windowH);
            places.notes << (doorH + windowH <= clear ? QStringLiteral("门窗宽度之和大于梁长:窗画在门的上方。")
                                                      : QStringLiteral("门窗宽度之和大于梁长,高度之和也大于墙高:门窗重叠画出。"));
        }
        return places;
    }

    // The wall on the beam, to scale; the openings' places along the wall
    // are not inputs, so they are drawn where they fit and said to be so.
    void Elevation(const ScheduleRow& row, const LoadInputs& in, double top) {
        const double frameTop = top + 14, frameHeight = 62, frameWidth = kRight - kLeft - 40;
        const double length = in.BeamLength * 1000, beamDepth = in.BeamHeight * 1000, storey = in.WallHeight * 1000;
        const double height = std::max(storey, beamDepth);
        SetFont(8);
        if (!(length > 0) || !(height > 0) || !std::isfinite(length) || !std::isfinite(height)) {
            SetFont(9, true);
            TextIn(box(kLeft, top, kRight - kLeft, 6), QStringLiteral("立面"));
            SetFont(8);
            TextIn(box(kLeft, frameTop, frameWidth, 10), QStringLiteral("梁长或高度为零,没有立面可画。"));
            return;
        }
        const double scale = std::max(StandardScale(length, frameWidth), StandardScale(height, frameHeight));
        const double s = 1 / scale;  // mm of paper per mm
        SetFont(9, true);
        TextIn(box(kLeft, top, kRight - kLeft, 6),
               QStringLiteral("立面 1:%1 (门窗在墙上的位置为示意)").arg(QString::number(scale, 'g', 10)));
        SetFont(8);
        const double x0 = kLeft + 20, base = frameTop + frameHeight;  // the beam's bottom
        const double w = length * s, beamH = std::max(beamDepth * s, 0.3);
        const double clear = storey - beamDepth, wallH = clear * s;
        c_.SetPen(Qt::black, kDrawingLine);
        if (clear > 0) c_.Fill(box(x0, base - beamH - wallH, w, wallH), kWallFill);
        if (clear > 0) c_.Frame(box(x0, base - beamH - wallH, w, wallH));
        c_.Fill(box(x0, base - beamH, w, beamH), kBeamFill);
        c_.Frame(box(x0, base - beamH, w, beamH));
        OpeningPlaces places = PlaceOpenings(in, length, clear);
        QStringList notes;
        if (clear <= 0) notes << QStringLiteral("层高不大于梁高:梁上没有墙。");
        notes << places.notes;
        std::vector<std::pair<QRectF, QString>> drawn;  // each opening and its label, labelled once all are drawn
        const auto opening = [&](double width, double openingHeight, double left, double bottom, const QColor& fill,
                                 const QString& label) {
            if (!(width > 0) || !(openingHeight > 0) || clear <= 0) return;
            const double ow = std::min(width, length) * s, oh = std::min(openingHeight, clear) * s;
            const double ox = std::clamp(x0 + left * s, x0, x0 + w - ow);
            const QRectF r = box(ox, base - beamH - bottom * s - oh, ow, oh);
            c_.Fill(r, fill);
            c_.Frame(r);
            drawn.emplace_back(r, label);
            if (width > length || openingHeight > clear) notes << label + QStringLiteral(" 大于墙面,按墙面画出。");
        };
        opening(in.DoorWidth * 1000, in.DoorHeight * 1000, places.doorLeft, 0, kDoorFill,
                QStringLiteral("门 %1×%2").arg(FromUtf8(Text(row, "DoorWidth")), FromUtf8(Text(row, "DoorHeight"))));
        opening(in.WindowWidth * 1000, in.WindowHeight * 1000, places.windowLeft, places.windowBottom, kWindowFill,
                QStringLiteral("窗 %1×%2").arg(FromUtf8(Text(row, "WindowWidth")), FromUtf8(Text(row, "WindowHeight"))));
        const double wallTop = base - (clear > 0 ? beamH + wallH : beamH);
        for (std::size_t k = 0; k < drawn.size(); ++k) {
            const bool covered = k + 1 < drawn.size() && drawn[k].first.intersects(drawn[k + 1].first);
            Label(drawn[k].first, drawn[k].second, !covered, wallTop - 1, static_cast<int>(k));
        }
        ElevationDimensions(row, x0, w, wallTop, base, beamH);
        ScaleBar(x0, base + 11, scale);
        if (!notes.isEmpty()) FitIn(box(kLeft, base + 14, kRight - kLeft, 5), notes.join(QStringLiteral(" ")));
    }

    // Dimension lines with ticks: the length below, the storey height at
    // the left; the beam's size beside it.
    void ElevationDimensions(const ScheduleRow& row, double x0, double w, double wallTop, double base, double beamH) {
        const double below = base + 2.5;
        c_.Line(at(x0, below), at(x0 + w, below));
        for (const double x : {x0, x0 + w}) c_.Line(at(x - 0.8, below + 0.8), at(x + 0.8, below - 0.8));
        TextIn(box(x0, below + 0.3, w, 4.5), QStringLiteral("梁长 %1").arg(FromUtf8(Text(row, "BeamLength"))), Qt::AlignCenter);
        const double left = x0 - 4;
        c_.Line(at(left, wallTop), at(left, base));
        for (const double y : {wallTop, base}) c_.Line(at(left - 0.8, y + 0.8), at(left + 0.8, y - 0.8));
        c_.TurnedText(at(left - 1, (wallTop + base) / 2), QRectF(-mm(30), -mm(5), mm(60), mm(5)),
                      QStringLiteral("层高 %1").arg(FromUtf8(Text(row, "WallHeight"))), Qt::AlignCenter);
        TextIn(box(x0 + w + 2, base - std::max(beamH, 4.0), 40, 4),
               QStringLiteral("梁 %1×%2").arg(FromUtf8(Text(row, "BeamWidth")), FromUtf8(Text(row, "BeamHeight"))));
    }

    void Section(const ScheduleRow& row, const LoadInputs& in, double top) {
        const double b = in.BeamWidth * 1000, h = in.BeamHeight * 1000, t = in.BeamPlasterThickness * 1000;
        const double outerW = b + 2 * std::max(t, 0.0), outerH = h + std::max(t, 0.0);
        SetFont(9, true);
        if (!(b > 0) || !(h > 0) || !std::isfinite(outerW) || !std::isfinite(outerH)) {
            TextIn(box(kLeft, top, 80, 6), QStringLiteral("截面"));
            SetFont(8);
            TextIn(box(kLeft, top + 8, 80, 6), QStringLiteral("梁宽或梁高为零,没有截面可画。"));
            return;
        }
        const double scale = std::max(StandardScale(outerW, 30), StandardScale(outerH, 38));
        const double s = 1 / scale;
        TextIn(box(kLeft, top, 80, 6), QStringLiteral("截面 1:%1").arg(QString::number(scale, 'g', 10)));
        SetFont(8);
        ScaleBar(kLeft + 10, top + 8 + outerH * s + 5, scale);
        const double x0 = kLeft + 10, y0 = top + 8;
        c_.SetPen(Qt::black, kDrawingLine);
        if (t > 0) {
            c_.Fill(box(x0, y0, outerW * s, outerH * s), kPlasterFill);
            c_.Frame(box(x0, y0, outerW * s, outerH * s));
        }
        const double bx = x0 + std::max(t, 0.0) * s;
        c_.Fill(box(bx, y0, b * s, h * s), kBeamFill);
        c_.Frame(box(bx, y0, b * s, h * s));
        const double textX = x0 + outerW * s + 4;
        TextIn(box(textX, y0, 60, 5), QStringLiteral("梁宽 %1").arg(FromUtf8(Text(row, "BeamWidth"))));
        TextIn(box(textX, y0 + 5, 60, 5), QStringLiteral("梁高 %1").arg(FromUtf8(Text(row, "BeamHeight"))));
        TextIn(box(textX, y0 + 10, 60, 5),
               QStringLiteral("抹灰 %1 (底面和两侧)").arg(FromUtf8(Text(row, "BeamPlasterThickness"))));
    }

    // A contents line: a floor (bold) or one of its beams, and its page.
    void ContentsLine(double y, const QString& text, int page, bool floor) {
        SetFont(floor ? 8 : 7, floor);
        const QRectF line = box(kLeft + (floor ? 0 : 6), y, kRight - kLeft - (floor ? 0 : 6) - 14, kRowHeight);
        TextIn(line, Elided(text, false, line.width()));
        TextIn(box(kRight - 14, y, 14, kRowHeight), page > 0 ? QString::number(page) : QStringLiteral("—"),
               Qt::AlignRight | Qt::AlignVCenter);
        c_.SetPen(QColor(200, 200, 200));
        c_.Line(at(kLeft, y + kRowHeight), at(kRight, y + kRowHeight));
        c_.SetPen(Qt::black);
    }

    static QString MarkOf(std::size_t r, const ScheduleRow& row, bool isolate = true) {
        return row.mark().empty() ? QStringLiteral("第 %1 行").arg(r + 1) : Isolated(row.mark(), isolate);
    }

    // The design basis, once: the standard, the formulas in their general
    // form with their symbols, and each unit weight the book uses with the
    // Table A rows that give it (or in red, none).
    void BasisPage() {
        StartPage(QStringLiteral("设计依据"));
        SetFont(12, true);
        TextIn(box(kLeft, kTop, kRight - kLeft, 8), QStringLiteral("设计依据"));
        SetFont(8.5);
        basisY_ = kTop + 10;
        BasisLine(QStringLiteral("荷载取值依据《建筑结构荷载规范》GB 50009-2012 附录A 表A (常用材料和构件的自重)。"));
        BasisLine(QStringLiteral("梁上恒载按下列公式逐根计算;长度以 m 计,荷载以 kN/m 计,重量以 kN 计。"));
        BasisHeading(QStringLiteral("计算公式"));
        const LoadInputs any{};
        for (const BookStep& step : BookSteps(any, LoadResults{})) {
            FitIn(box(kLeft + 4, basisY_, 44, 4.4), FromUtf8(step.caption));
            BasisLine(FromUtf8(step.symbols), 50);
        }
        BasisHeading(QStringLiteral("符号"));
        const std::vector<BookInput> inputs = BookInputs(any);
        for (std::size_t k = 0; k < inputs.size(); k += 3) {
            QString text;
            for (std::size_t j = k; j < k + 3 && j < inputs.size(); ++j)
                text += FromUtf8(inputs[j].symbol) + QStringLiteral(" ") + FromUtf8(inputs[j].name) + QStringLiteral("      ");
            BasisLine(text, 4);
        }
        BasisHeading(QStringLiteral("所用单位重量及其来源"));
        for (std::size_t i = 0; i < kInputCount; ++i)
            if (!MaterialsFor(i).empty()) UnitWeightLines(i);
    }

    void BasisLine(const QString& text, double indent = 0) {
        FitIn(box(kLeft + indent, basisY_, kRight - kLeft - indent, 4.4), text);
        basisY_ += 4.4;
    }

    void BasisHeading(const QString& text) {
        basisY_ += 2;
        SetFont(9, true);
        BasisLine(text);
        SetFont(8.5);
    }

    // Each figure the computed rows give unit weight i (the first few):
    // the materials the rows name for it, the engineer's own choice, else
    // the Table A rows that hold it (in red: none).
    void UnitWeightLines(std::size_t i) {
        std::vector<double> used;
        for (const FloorPlan& f : plan_.floors)
            for (const BeamOutcome& o : f.outcomes)
                if (o.ok()) {
                    const double value = o.calculation.inputs.*kParams[i].member;
                    if (std::find(used.begin(), used.end(), value) == used.end()) used.push_back(value);
                }
        std::sort(used.begin(), used.end());
        std::size_t field = 0;
        while (field < kMaterialCount && MaterialWeight(field) != i) ++field;
        constexpr std::size_t kShown = 4;
        for (std::size_t k = 0; k < used.size() && k < kShown; ++k) {
            const std::vector<std::pair<QString, bool>> named = NamedMaterials(i, field, used[k]);
            for (const auto& [text, outside] : named) {
                if (outside) c_.SetPen(kRefusedText);
                BasisLine(text, 4);
                c_.SetPen(Qt::black);
            }
            if (!named.empty()) continue;
            const std::vector<const Material*> materials = MaterialsHolding(i, used[k]);
            const QString what = FromUtf8(kParams[i].displayName) + QStringLiteral(" ") +
                                 FromUtf8(BookNumber(FormatPrint(used[k]))) + QStringLiteral(" ") +
                                 FromUtf8(MaterialsFor(i).front()->unit) + QStringLiteral(":");
            if (materials.empty()) c_.SetPen(kRefusedText);
            BasisLine(what + (materials.empty() ? QStringLiteral("不在 GB 50009-2012 表A 所列材料的范围内,请核对")
                                                : QStringLiteral("GB 50009-2012 ") + SourcesText(materials)),
                      4);
            c_.SetPen(Qt::black);
        }
        if (used.size() > kShown)
            BasisLine(FromUtf8(kParams[i].displayName) + QStringLiteral(" 另有 %1 种取值,见各梁页面。").arg(used.size() - kShown), 4);
    }

    // Table A's rows, as many as fit a line.
    static QString SourcesText(const std::vector<const Material*>& materials) {
        QString sources;
        for (const Material* m : materials) {
            if (sources.size() > 60) {
                sources += QStringLiteral(" 等");
                break;
            }
            sources += (sources.isEmpty() ? QString() : QStringLiteral("、")) +
                       QStringLiteral("表A 第 %1 项 %2 (%3)")
                           .arg(m->item)
                           .arg(FromUtf8(m->name))
                           .arg(FromUtf8(m->low == m->high ? m->low : m->low + "–" + m->high));
        }
        return sources;
    }

    // The lines for figure value of input i where rows name its material
    // (kMaterialFields[field]), each with whether the figure lies outside
    // the material's range; none when no row names one.
    std::vector<std::pair<QString, bool>> NamedMaterials(std::size_t i, std::size_t field, double value) const {
        std::vector<std::pair<QString, bool>> lines;
        if (field >= kMaterialCount) return lines;
        std::vector<const Material*> named;
        for (const FloorPlan& f : plan_.floors)
            for (std::size_t r = 0; r < f.outcomes.size(); ++r) {
                if (!f.outcomes[r].ok() || f.outcomes[r].calculation.inputs.*kParams[i].member != value) continue;
                const Material* m = FindMaterial(i, (*f.rows)[r].material(field));
                if (m && std::find(named.begin(), named.end(), m) == named.end()) named.push_back(m);
            }
        for (const Material* m : named) {
            const bool within = value >= m->Low() && value <= m->High();
            lines.emplace_back(FromUtf8(kParams[i].displayName) + QStringLiteral(" ") + FromUtf8(BookNumber(FormatPrint(value))) +
                     QStringLiteral(" ") + FromUtf8(m->unit) + QStringLiteral(":") +
                     FromUtf8(kMaterialFields[field].caption) + QStringLiteral(" ") + FromUtf8(MaterialName(i, *m)) +
                     QStringLiteral(",GB 50009-2012 表A 第 %1 项 (%2)").arg(m->item).arg(FromUtf8(MaterialRange(*m))) +
                     (within ? QString() : QStringLiteral(";取值不在该材料的范围内,请核对")),
                 !within);
        }
        return lines;
    }

    // What the checker should look at first, in red beside the section.
    void CheckerNotesBox(const std::vector<std::string>& notes, double top) {
        if (notes.empty()) return;
        constexpr std::size_t kLines = 9;
        const double x = kLeft + 95, width = kRight - x;
        c_.SetPen(kRefusedText);
        SetFont(9, true);
        TextIn(box(x, top, width, 6), QStringLiteral("需要核对"));
        SetFont(8);
        double y = top + 7;
        for (std::size_t k = 0; k < notes.size() && k < kLines; ++k, y += 4.5) {
            const bool last = k + 1 == kLines && notes.size() > kLines;
            FitIn(box(x, y, width, 4.5),
                  last ? QStringLiteral("另有 %1 条 (见汇总表)").arg(notes.size() - k) : FromUtf8(notes[k]));
        }
        c_.SetPen(Qt::black);
    }

    void BeamPage(const QString& floor, std::size_t r, const ScheduleRow& row, const BeamOutcome& outcome,
                  const std::vector<std::string>& notes) {
        const QString mark = MarkOf(r, row);
        StartPage((floor.isEmpty() ? QString() : floor + QStringLiteral("  ")) + QStringLiteral("梁号 %1").arg(mark));
        SetFont(12, true);
        FitIn(box(kLeft, kTop, kRight - kLeft, 8), QStringLiteral("%1 (梁表第 %2 行)").arg(mark).arg(r + 1));
        const LoadInputs& in = outcome.calculation.inputs;
        Elevation(row, in, kTop + 10);
        Section(row, in, kTop + 108);
        CheckerNotesBox(notes, kTop + 108);
        Calculation(in, outcome.calculation.results, kTop + 162);
    }

    // The inputs by symbol, then each step: symbols, numbers, result with its unit.
    void Calculation(const LoadInputs& in, const LoadResults& results, double top) {
        SetFont(9, true);
        TextIn(box(kLeft, top, kRight - kLeft, 5), QStringLiteral("计算 (长度以 m 计,荷载以 kN/m 计,重量以 kN 计)"));
        SetFont(7.5);
        constexpr double kLine = 3.6;
        const std::vector<BookInput> inputs = BookInputs(in);
        const double column = (kRight - kLeft) / 3;
        const std::size_t perColumn = (inputs.size() + 2) / 3;
        for (std::size_t k = 0; k < inputs.size(); ++k) {
            const double x = kLeft + column * static_cast<double>(k / perColumn);
            const double y = top + 6 + kLine * static_cast<double>(k % perColumn);
            TextIn(box(x, y, 9, kLine), FromUtf8(inputs[k].symbol));
            FitIn(box(x + 9, y, 22, kLine), FromUtf8(inputs[k].name));
            FitIn(box(x + 31, y, column - 32, kLine), FromUtf8(inputs[k].value));
        }
        double y = top + 7 + kLine * static_cast<double>(perColumn);
        for (const BookStep& step : BookSteps(in, results)) {
            FitIn(box(kLeft, y, 44, kLine), FromUtf8(step.caption));
            FitIn(box(kLeft + 45, y, kRight - kLeft - 45, kLine), FromUtf8(step.symbols));
            FitIn(box(kLeft + 49, y + kLine, kRight - kLeft - 49, kLine), FromUtf8(step.numbers));
            y += 2 * kLine + 0.4;
        }
        FitIn(box(kLeft, y + 1, kRight - kLeft, kLine), QStringLiteral("计算日期 %1").arg(FromUtf8(title_.date)));
    }

    int page() const { return page_; }

private:
    BookCanvas& c_;
    const BookTitle& title_;
    const Plan& plan_;
    std::vector<double> widths_;  // the summary's columns, mm
    const std::vector<int>* pages_ = nullptr;  // the floor's beam pages, for the summary
    double scale_ = 1;
    int page_ = 0;
    double basisY_ = 0;  // the design basis's next line, mm
};

// The book's bookmarks, as the pages fall.
std::vector<OutlineEntry> OutlineOf(const Plan& plan) {
    std::vector<OutlineEntry> outline;
    if (plan.building()) outline.push_back({QStringLiteral("目录"), 1, {}});
    if (plan.building()) outline.push_back({QStringLiteral("设计依据"), plan.basisPage, {}});
    for (const FloorPlan& f : plan.floors) {
        std::vector<OutlineEntry> beams;
        for (std::size_t r = 0; r < f.outcomes.size(); ++r)
            if (f.beamPage[r] > 0) beams.push_back({BookPainter::MarkOf(r, (*f.rows)[r], false), f.beamPage[r], {}});
        if (plan.building()) {
            outline.push_back({f.name, f.firstPage, std::move(beams)});
        } else {
            outline.push_back({QStringLiteral("汇总"), f.firstPage, {}});
            outline.push_back({QStringLiteral("设计依据"), plan.basisPage, {}});
            for (OutlineEntry& beam : beams) outline.push_back(std::move(beam));
        }
    }
    return outline;
}

// The contents of a building's book: the title block, then each floor and
// each beam with its page (linked).
void PaintContents(BookPainter& book, const Plan& plan, std::vector<PageLink>* links) {
    book.StartPage(QStringLiteral("目录"));
    book.TitleBlock(plan.beams, plan.computed);
    double y = kTitleBlockBottom + kRowHeight;
    int onPage = 0, perPage = kFirstPageRows;
    const auto line = [&](const QString& text, int page, bool floor) {
        if (onPage == perPage) {
            book.StartPage(QStringLiteral("目录"));
            y = kTop;
            onPage = 0;
            perPage = kPageRows + 1;
        }
        book.ContentsLine(y, text, page, floor);
        if (links && page > 0) links->push_back({book.page(), QRectF(kLeft, y, kRight - kLeft, kRowHeight), page});
        y += kRowHeight;
        ++onPage;
    };
    book.SetFont(11, true);
    book.TextIn(book.box(kLeft, y - 6.5, kRight - kLeft, 6), QStringLiteral("目录"));
    line(QStringLiteral("设计依据 (公式和单位重量)"), plan.basisPage, true);
    for (const FloorPlan& f : plan.floors) {
        line(QStringLiteral("%1  (%2 根梁,汇总)").arg(f.name).arg(f.outcomes.size()), f.firstPage, true);
        for (std::size_t r = 0; r < f.outcomes.size(); ++r)
            line(BookPainter::MarkOf(r, (*f.rows)[r]) +
                     (f.outcomes[r].ok() ? QString() : QStringLiteral("  (未计算:%1)").arg(FromUtf8(f.outcomes[r].error))),
                 f.beamPage[r], false);
    }
}

// A floor's summary (the one schedule's under the title block), each row
// linked to its beam's page; false when stopped (step: a row done).
bool PaintSummary(BookPainter& book, const Plan& plan, const FloorPlan& f, std::vector<PageLink>* links,
                  const std::function<bool(std::size_t)>& step) {
    const std::vector<ScheduleRow>& rows = *f.rows;
    const QString summary = QStringLiteral("汇总");
    const QString header = f.name.isEmpty() ? summary : f.name + QStringLiteral("  ") + summary;
    book.StartPage(header);
    double y = kTop;
    int perPage = kPageRows;
    if (!plan.building()) {
        book.TitleBlock(static_cast<long long>(rows.size()), f.computed);
        y = kTitleBlockBottom;
        perPage = kFirstPageRows;
    }
    book.SizeSummary(rows, f.outcomes, f.beamPage);
    book.SummaryHeader(y);
    int onPage = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (onPage == perPage) {
            book.StartPage(header);
            y = kTop;
            book.SummaryHeader(y);
            onPage = 0;
            perPage = kPageRows;
        }
        y += kRowHeight;
        book.SummaryRow(y, r, rows[r], f.outcomes[r], !f.notes[r].empty());
        if (links && f.beamPage[r] > 0)
            links->push_back({book.page(), QRectF(kLeft, y, kRight - kLeft, kRowHeight), f.beamPage[r]});
        ++onPage;
        if (!step(r)) return false;
    }
    return true;
}

bool Paint(BookCanvas& canvas, const BookTitle& title, const Plan& plan, const ProgressCallback& progress,
           std::vector<PageLink>* links = nullptr) {
    BookPainter book(canvas, title, plan);
    const double steps = static_cast<double>(plan.beams) * 2 + 1;
    double done = 0;
    const std::function<bool(std::size_t)> step = [&](std::size_t r) {
        done += 1;
        return !progress || r % kRowsBetweenProgress != 0 || progress(done / steps);
    };
    if (plan.building()) {
        PaintContents(book, plan, links);
        book.BasisPage();
    }
    for (const FloorPlan& f : plan.floors) {
        if (!PaintSummary(book, plan, f, links, step)) return false;
        if (!plan.building()) book.BasisPage();
        for (std::size_t r = 0; r < f.rows->size(); ++r) {
            if (f.outcomes[r].ok()) book.BeamPage(f.name, r, (*f.rows)[r], f.outcomes[r], f.notes[r]);
            if (!step(r)) return false;
        }
    }
    return true;
}

// The book's date as the PDF's creation date (D:YYYYMMDDHHmmSS), when it
// reads as one ("2026-12-11", "2026-12-11 14:58:06"); else none.
std::string PdfDate(const std::string& date) {
    static const QRegularExpression form(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?: (\\d{2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QRegularExpressionMatch m = form.match(FromUtf8(date));
    if (!m.hasMatch()) return {};
    QString stamp = QStringLiteral("D:");
    for (int k = 1; k <= 6; ++k) stamp += m.captured(k).isEmpty() ? QStringLiteral("00") : m.captured(k);
    return ToUtf8(stamp);
}

// What the book says of characters its typeface lacks (drawn as their codes).
std::string MissingCharacters(const std::set<char32_t>& missing) {
    if (missing.empty()) return {};
    QString codes;
    std::size_t shown = 0;
    for (const char32_t c : missing) {
        if (++shown > 20) {
            codes += QStringLiteral(" 等 %1 个").arg(missing.size());
            break;
        }
        codes += QStringLiteral(" U+") + QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, QLatin1Char('0'));
    }
    return ToUtf8(QStringLiteral("计算书的内置字体中没有这些字符,书中写作它们的编码 (如 \\u0E01):") + codes.trimmed());
}

}  // namespace

Outcome PaintBook(QPagedPaintDevice& device, const std::vector<BookFloor>& floors, const BookTitle& title,
                  const ProgressCallback& progress) {
    if (!HasGuiApplication()) return Failed("没有图形界面,不能画出计算书的页面");
    const Plan plan = MakePlan(floors);
    device.setPageSize(QPageSize(QPageSize::A4));
    device.setPageOrientation(QPageLayout::Portrait);
    device.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&device);
    PainterCanvas canvas(painter, device.logicalDpiX(), [&device] { device.newPage(); });
    if (!Paint(canvas, title, plan, progress)) return Cancelled();
    return {};
}

Outcome PaintBook(QPagedPaintDevice& device, const std::vector<ScheduleRow>& rows, const BookTitle& title,
                  const ProgressCallback& progress) {
    return PaintBook(device, std::vector<BookFloor>{{std::string(), rows, {}}}, title, progress);
}

Outcome WritePdfBook(const std::filesystem::path& path, const std::vector<ScheduleRow>& rows,
                     const BookTitle& title, const ProgressCallback& progress) {
    return WritePdfBook(path, std::vector<BookFloor>{{std::string(), rows, {}}}, title, progress);
}

Outcome WritePdfBook(const std::filesystem::path& path, const std::vector<BookFloor>& floors,
                     const BookTitle& title, const ProgressCallback& progress) {
    AtomicFile file;
    if (Outcome opened = file.Open(path, "无法写入 PDF 计算书"); !opened.ok) return opened;
    const Outcome written = WritePdfBook(file, path, floors, title, progress);
    if (!written.ok) return written;
    Outcome committed = file.Commit();
    committed.count = written.count;
    committed.warnings = written.warnings;
    return committed;
}

Outcome WritePdfBook(AtomicFile& file, const std::filesystem::path& path, const std::vector<BookFloor>& floors,
                     const BookTitle& title, const ProgressCallback& progress) {
    constexpr std::string_view kWhat = "无法写入 PDF 计算书";
    const TrueTypeFont* font = BookFont();
    if (!font) {
        file.Abort();
        return Failed(FileMessage(kWhat, path, "程序内置的字体读不出来"));
    }
    const Plan plan = MakePlan(floors);
    const std::vector<OutlineEntry> outline = OutlineOf(plan);
    std::vector<PageLink> links;  // the painting gives them
    constexpr double kPoints = 72 / 25.4;
    PdfWriter writer(file.stream(), *font, kPageWidth * kPoints, kPageHeight * kPoints);
    PdfCanvas canvas(writer, kPageHeight * kPoints);
    if (!Paint(canvas, title, plan, progress, &links)) {
        file.Abort();
        return Cancelled();
    }
    canvas.EndPage();
    // The properties as the pages show the fields: a control or direction character as its escape.
    if (!writer.Finish(outline, links, QStringLiteral("梁上恒载计算书 %1").arg(Isolated(title.project, false)).trimmed(),
                       Isolated(title.preparedBy, false), PdfDate(title.date))) {
        const int error = errno ? errno : EIO;
        file.Abort();
        return Failed(FileMessage(kWhat, path, FailureReason(error)));
    }
    Outcome done;
    done.count = plan.total;
    done.warnings = MissingCharacters(canvas.missing());
    return done;
}

}  // namespace quorvane
