// Bookmarks and links for the calculation book. Qt's PDF writer makes
// neither, so they are added afterwards as an incremental update (new
// objects and a new cross-reference section appended, the bytes Qt wrote
// left as they are), which every reader applies.
#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>

#include <vector>

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

// Appends the outline and the links to a PDF as QPdfWriter wrote it
// (pageHeight: the page's height in millimetres). False, pdf unchanged,
// when it is not laid out as that writer lays it out.
// author (when given) goes into the document's properties beside the
// title Qt wrote.
bool AddOutlineAndLinks(QByteArray& pdf, const std::vector<OutlineEntry>& outline,
                        const std::vector<PageLink>& links, double pageHeight, const QString& author = {});

}  // namespace quorvane
