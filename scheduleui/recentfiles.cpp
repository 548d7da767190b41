#include "recentfiles.h"

#include <QFileInfo>

#include "qttext.h"

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

BookTitle SavedBookTitle() {
    const QSettings settings = ScheduleSettings();
    BookTitle title;
    for (const TitleField& field : kTitleFields) title.*field.member = ToUtf8(settings.value(field.key).toString());
    title.revisions = ToUtf8(settings.value(QStringLiteral("book/revisions")).toString());
    return title;
}

void SaveBookTitle(const BookTitle& title) {
    QSettings settings = ScheduleSettings();
    for (const TitleField& field : kTitleFields) settings.setValue(field.key, FromUtf8(title.*field.member));
    settings.setValue(QStringLiteral("book/revisions"), FromUtf8(title.revisions));
}

}  // namespace quorvane
