#include "outline.h"

#include <QRegularExpression>

#include <map>
#include <optional>

namespace quorvane {
namespace {

// Where each object begins, from the cross-reference table Qt writes
// (one section from object 0, entries of 20 bytes); empty when it is not so.
std::vector<qint64> ObjectOffsets(const QByteArray& pdf, qint64 xref) {
    std::vector<qint64> offsets;
    if (xref <= 0 || xref >= pdf.size() || !pdf.mid(xref, 5).startsWith("xref")) return offsets;
    const qsizetype line = pdf.indexOf('\n', xref + 4);
    const qsizetype next = line < 0 ? -1 : pdf.indexOf('\n', line + 1);
    const QList<QByteArray> section = next < 0 ? QList<QByteArray>() : pdf.mid(line + 1, next - line - 1).trimmed().split(' ');
    if (section.size() != 2 || section[0] != "0") return offsets;
    const qint64 count = section[1].toLongLong();
    if (count <= 0 || next + 1 + count * 20 > pdf.size()) return offsets;
    offsets.reserve(static_cast<std::size_t>(count));
    for (qint64 k = 0; k < count; ++k) offsets.push_back(pdf.mid(next + 1 + k * 20, 10).toLongLong());
    return offsets;
}

// An object's body as written: "N 0 obj\n" ... "endobj". Found through the
// cross-reference table (a search of the whole file for each of 10^4 pages
// took most of a big book's time), else searched for.
QByteArray ObjectBody(const QByteArray& pdf, const std::vector<qint64>& offsets, int number) {
    const QByteArray head = QByteArray::number(number) + " 0 obj\n";
    qsizetype at = -1;
    if (number >= 0 && static_cast<std::size_t>(number) < offsets.size()) {
        const qint64 offset = offsets[static_cast<std::size_t>(number)];
        if (offset > 0 && offset < pdf.size() && pdf.mid(offset, head.size()) == head) at = offset;
    }
    if (at < 0) {
        at = pdf.indexOf("\n" + head);
        if (at < 0) return {};
        ++at;
    }
    const qsizetype from = at + head.size();
    const qsizetype end = pdf.indexOf("endobj", from);
    return end < 0 ? QByteArray() : pdf.mid(from, end - from);
}

int Reference(const QByteArray& text, const char* key) {
    const QRegularExpression pattern(QString::fromLatin1(key) + QStringLiteral("\\s+(\\d+)\\s+0\\s+R"));
    const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(text));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// A text string as PDF readers take any language: UTF-16BE with its mark, in hex.
QByteArray TextString(const QString& text) {
    QByteArray hex = "<FEFF";
    for (const QChar c : text) hex += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
    return hex + ">";
}

class Update {
public:
    Update(QByteArray& pdf, int next) : pdf_(pdf), next_(next) {}
    int Reserve() { return next_++; }
    void Write(int number, const QByteArray& body) {
        offsets_[number] = pdf_.size();
        pdf_ += QByteArray::number(number) + " 0 obj\n" + body + "\nendobj\n";
    }
    int size() const { return next_; }
    // The cross-reference section of the objects written, then the trailer.
    void Finish(const QByteArray& trailer, qint64 previous) {
        const qint64 xref = pdf_.size();
        pdf_ += "xref\n";
        for (const auto& [number, offset] : offsets_) {
            pdf_ += QByteArray::number(number) + " 1\n";
            pdf_ += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
        }
        pdf_ += "trailer\n<<\n/Size " + QByteArray::number(next_) + "\n" + trailer + "/Prev " +
                QByteArray::number(previous) + "\n>>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    }

private:
    QByteArray& pdf_;
    int next_;
    std::map<int, qint64> offsets_;
};

QByteArray Destination(const std::vector<int>& pages, int page) {
    return "[" + QByteArray::number(pages.at(static_cast<std::size_t>(page - 1))) + " 0 R /XYZ null null null]";
}

// Writes entries as siblings under parent; returns their first and last numbers.
std::pair<int, int> WriteEntries(Update& update, const std::vector<OutlineEntry>& entries, int parent,
                                 const std::vector<int>& pages) {
    std::vector<int> numbers;
    for (std::size_t i = 0; i < entries.size(); ++i) numbers.push_back(update.Reserve());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const OutlineEntry& e = entries[i];
        QByteArray body = "<<\n/Title " + TextString(e.title) + "\n/Parent " + QByteArray::number(parent) + " 0 R\n";
        if (i > 0) body += "/Prev " + QByteArray::number(numbers[i - 1]) + " 0 R\n";
        if (i + 1 < entries.size()) body += "/Next " + QByteArray::number(numbers[i + 1]) + " 0 R\n";
        body += "/Dest " + Destination(pages, e.page) + "\n";
        if (!e.children.empty()) {
            const auto [first, last] = WriteEntries(update, e.children, numbers[i], pages);
            // Floors open shut, their beams one click away.
            body += "/First " + QByteArray::number(first) + " 0 R\n/Last " + QByteArray::number(last) +
                    " 0 R\n/Count -" + QByteArray::number(static_cast<int>(e.children.size())) + "\n";
        }
        update.Write(numbers[i], body + ">>");
    }
    return {numbers.front(), numbers.back()};
}

bool InRange(const std::vector<OutlineEntry>& entries, std::size_t pages) {
    for (const OutlineEntry& e : entries)
        if (e.page < 1 || static_cast<std::size_t>(e.page) > pages || !InRange(e.children, pages)) return false;
    return true;
}

}  // namespace

namespace {

// What an incremental update needs of the file Qt wrote: its last cross
// reference, the objects' count, the catalog and document information,
// and each page with its (empty) annotation array, in order.
struct Structure {
    qint64 previous = 0;
    int size = 0, root = -1, info = -1;
    std::vector<qint64> offsets;
    QByteArray catalog;
    std::vector<int> pages, annotations;
};

std::optional<Structure> ReadStructure(const QByteArray& pdf) {
    const int trailerAt = pdf.lastIndexOf("trailer");
    const int startAt = pdf.lastIndexOf("startxref");
    if (trailerAt < 0 || startAt < trailerAt) return std::nullopt;
    const QByteArray trailer = pdf.mid(trailerAt, startAt - trailerAt);
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("/Size\\s+(\\d+)")).match(QString::fromLatin1(trailer));
    Structure s;
    s.previous = pdf.mid(startAt + 9).trimmed().split('\n').value(0).trimmed().toLongLong();
    s.root = Reference(trailer, "/Root");
    s.info = Reference(trailer, "/Info");
    s.offsets = ObjectOffsets(pdf, s.previous);
    s.catalog = ObjectBody(pdf, s.offsets, s.root);
    const int pagesObject = Reference(s.catalog, "/Pages");
    const QByteArray tree = ObjectBody(pdf, s.offsets, pagesObject);
    if (!size.hasMatch() || s.previous <= 0 || s.root < 0 || pagesObject < 0 || !s.catalog.trimmed().endsWith(">>"))
        return std::nullopt;
    s.size = size.captured(1).toInt();
    const int kids = tree.indexOf("/Kids");
    const int open = tree.indexOf('[', kids), close = tree.indexOf(']', open);
    if (kids < 0 || open < 0 || close < 0) return std::nullopt;
    const QRegularExpression kid(QStringLiteral("(\\d+)\\s+0\\s+R"));
    for (auto m = kid.globalMatch(QString::fromLatin1(tree.mid(open, close - open))); m.hasNext();) {
        s.pages.push_back(m.next().captured(1).toInt());
        s.annotations.push_back(Reference(ObjectBody(pdf, s.offsets, s.pages.back()), "/Annots"));
    }
    if (s.pages.empty()) return std::nullopt;
    return s;
}

// The links as annotations of their pages: millimetres from the top left
// become points from the bottom left.
void WriteLinks(Update& update, const Structure& s, const std::vector<PageLink>& links, double pageHeight) {
    const double pt = 72 / 25.4;
    std::map<int, QByteArray> onPage;
    for (const PageLink& l : links) {
        const int number = update.Reserve();
        const QRectF& a = l.area;
        update.Write(number, "<<\n/Type /Annot\n/Subtype /Link\n/Border [0 0 0]\n/Rect [" +
                                 QByteArray::number(a.left() * pt, 'f', 2) + " " +
                                 QByteArray::number((pageHeight - a.bottom()) * pt, 'f', 2) + " " +
                                 QByteArray::number(a.right() * pt, 'f', 2) + " " +
                                 QByteArray::number((pageHeight - a.top()) * pt, 'f', 2) + "]\n/Dest " +
                                 Destination(s.pages, l.target) + "\n>>");
        onPage[l.page] += QByteArray::number(number) + " 0 R ";
    }
    for (const auto& [page, list] : onPage) update.Write(s.annotations[static_cast<std::size_t>(page - 1)], "[ " + list + "]");
}

}  // namespace

bool AddOutlineAndLinks(QByteArray& pdf, const std::vector<OutlineEntry>& outline,
                        const std::vector<PageLink>& links, double pageHeight, const QString& author) {
    if (outline.empty() && links.empty() && author.isEmpty()) return true;
    const std::optional<Structure> read = ReadStructure(pdf);
    if (!read || !InRange(outline, read->pages.size())) return false;
    const Structure& s = *read;
    for (const PageLink& l : links)
        if (l.page < 1 || l.target < 1 || static_cast<std::size_t>(std::max(l.page, l.target)) > s.pages.size() ||
            s.annotations[static_cast<std::size_t>(l.page - 1)] < 0)
            return false;
    QByteArray updated = pdf;
    Update update(updated, s.size);
    QByteArray newCatalog = s.catalog.trimmed();
    newCatalog.chop(2);
    if (!outline.empty()) {
        const int top = update.Reserve();
        const auto [first, last] = WriteEntries(update, outline, top, s.pages);
        update.Write(top, "<<\n/Type /Outlines\n/First " + QByteArray::number(first) + " 0 R\n/Last " +
                              QByteArray::number(last) + " 0 R\n/Count " +
                              QByteArray::number(static_cast<int>(outline.size())) + "\n>>");
        newCatalog += "/Outlines " + QByteArray::number(top) + " 0 R\n/PageMode /UseOutlines\n";
    }
    WriteLinks(update, s, links, pageHeight);
    update.Write(s.root, newCatalog + ">>");
    // The author beside what Qt put in the properties (title, creator, dates).
    if (!author.isEmpty() && s.info >= 0) {
        QByteArray properties = ObjectBody(pdf, s.offsets, s.info).trimmed();
        if (properties.endsWith(">>")) {
            properties.chop(2);
            update.Write(s.info, properties + "\n/Author " + TextString(author) + "\n>>");
        }
    }
    update.Finish("/Root " + QByteArray::number(s.root) + " 0 R\n" +
                      (s.info >= 0 ? "/Info " + QByteArray::number(s.info) + " 0 R\n" : QByteArray()),
                  s.previous);
    pdf = std::move(updated);
    return true;
}

}  // namespace quorvane
