// The 梁表 window's settings, named here rather than by the application so
// that they are the same whatever program hosts the window, and its list of
// recently used files, newest first.
#pragma once

#include <QSettings>
#include <QStringList>

namespace quorvane {

QSettings ScheduleSettings();

QStringList RecentFiles();
// The file first (by its absolute path, never twice); the oldest drop off.
void AddRecentFile(const QString& path);

}  // namespace quorvane
