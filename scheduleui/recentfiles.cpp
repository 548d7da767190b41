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

namespace {

// Each field of the title block kept, and its key.
const std::pair<std::string BookTitle::*, const char*> kTitleFields[] = {{&BookTitle::project, "book/project"},
                                                                       {&BookTitle::part, "book/part"},
                                                                       {&BookTitle::preparedBy, "book/preparedBy"},
                                                                       {&BookTitle::checkedBy, "book/checkedBy"}};

}  // namespace

BookTitle SavedBookTitle() {
    const QSettings settings = ScheduleSettings();
    BookTitle title;
    for (const auto& [field, key] : kTitleFields) title.*field = ToUtf8(settings.value(key).toString());
    return title;
}

void SaveBookTitle(const BookTitle& title) {
    QSettings settings = ScheduleSettings();
    for (const auto& [field, key] : kTitleFields) settings.setValue(key, FromUtf8(title.*field));
}

}  // namespace quorvane
