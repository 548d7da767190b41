#include "recentfiles.h"

#include <QFileInfo>

namespace quorvane {
namespace {

constexpr int kRecentCount = 8;
const QString kRecentKey = QStringLiteral("recentFiles");

}  // namespace

QSettings ScheduleSettings() { return QSettings(QStringLiteral("Quorvane"), QStringLiteral("quorvane-schedule")); }

QStringList RecentFiles() { return ScheduleSettings().value(kRecentKey).toStringList(); }

void AddRecentFile(const QString& path) {
    QStringList recent = RecentFiles();
    const QString full = QFileInfo(path).absoluteFilePath();
    recent.removeAll(full);
    recent.prepend(full);
    while (recent.size() > kRecentCount) recent.removeLast();
    ScheduleSettings().setValue(kRecentKey, recent);
}

}  // namespace quorvane
