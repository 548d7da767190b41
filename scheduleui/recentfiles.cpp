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

namespace {

const char* const kTitleKeys[] = {"book/project", "book/part", "book/preparedBy", "book/checkedBy"};

std::string* TitleField(BookTitle& title, int i) {
    std::string* fields[] = {&title.project, &title.part, &title.preparedBy, &title.checkedBy};
    return fields[i];
}

}  // namespace

BookTitle SavedBookTitle() {
    const QSettings settings = ScheduleSettings();
    BookTitle title;
    for (int i = 0; i < 4; ++i) *TitleField(title, i) = settings.value(kTitleKeys[i]).toString().toStdString();
    return title;
}

void SaveBookTitle(const BookTitle& title) {
    QSettings settings = ScheduleSettings();
    BookTitle copy = title;
    for (int i = 0; i < 4; ++i) settings.setValue(kTitleKeys[i], QString::fromStdString(*TitleField(copy, i)));
}

}  // namespace quorvane
