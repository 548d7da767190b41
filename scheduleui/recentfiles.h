// The 梁表 window's settings, named here rather than by the application so
// that they are the same whatever program hosts the window, and its list of
// recently used files, newest first.
#pragma once

#include <QSettings>
#include <QStringList>

#include "pdfbook.h"

namespace quorvane {

QSettings ScheduleSettings();

QStringList RecentFiles();
// The file first (by its absolute path, never twice); the oldest drop off.
void AddRecentFile(const QString& path);

// The calculation book's title block as last given (its date is not kept).
BookTitle SavedBookTitle();
void SaveBookTitle(const BookTitle& title);

}  // namespace quorvane
