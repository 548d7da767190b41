#include "autosave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QStandardPaths>
#include <QUuid>

#include "files.h"
#include "qttext.h"

namespace quorvane {
namespace {

const QString kInfo = QStringLiteral("autosave.json");
const QString kLock = QStringLiteral("lock");

QString SheetFile(int index) { return QStringLiteral("sheet-%1.csv").arg(index + 1); }

// The copy's files gone, the folder kept (with its lock, when it has one).
void EmptyFolder(const QString& folder) {
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        if (name != kLock) QFile::remove(folder + "/" + name);
}

}  // namespace

AutosaveCopy::AutosaveCopy() = default;

AutosaveCopy::~AutosaveCopy() { End(); }

QString AutosaveCopy::Root() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quorvane/quorvane-schedule-autosave");
}

void AutosaveCopy::Write(const QString& path, const std::vector<SheetView>& sheets) {
    // Nothing changed since the last copy: it stands (a big schedule is not written again each minute).
    if (!changed_ && !folder_.isEmpty() && QFile::exists(folder_ + "/" + kInfo)) return;
    if (!lock_) {
        const QString folder = Root() + "/" + QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (!QDir().mkpath(folder)) return;
        lock_ = std::make_unique<QLockFile>(folder + "/" + kLock);
        if (!lock_->tryLock(0)) {
            lock_.reset();
            return;
        }
        folder_ = folder;
    }
    QJsonArray names;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const SheetView& sheet = sheets[i];
        const CsvLayout layout = SavedLayout(NewScheduleLayout(), *sheet.rows, false);
        if (!SaveScheduleFile(FilePath(folder_ + "/" + SheetFile(static_cast<int>(i))), layout, *sheet.rows,
                              *sheet.results)
                 .ok)
            return;
        names.append(sheet.name);
    }
    const QJsonObject info{{"path", path}, {"sheets", names}, {"time", QDateTime::currentDateTime().toString(Qt::ISODate)}};
    if (ReplaceFileAtomically(FilePath(folder_ + "/" + kInfo), QJsonDocument(info).toJson().toStdString()).ok)
        changed_ = false;
}

void AutosaveCopy::Discard() {
    if (!folder_.isEmpty()) EmptyFolder(folder_);
}

void AutosaveCopy::End() {
    if (folder_.isEmpty()) return;
    Discard();
    lock_.reset();  // (removes the lock file)
    QDir().rmdir(folder_);
    folder_.clear();
}

bool AutosaveCopy::LeftCopy::ReadSheets(std::vector<ScheduleSheet>& sheets) const {
    for (int i = 0; i < names.size(); ++i) {
        std::vector<ScheduleSheet> one;
        if (!ReadScheduleSheets(FilePath(folder + "/" + SheetFile(i)), TextEncoding::Auto, one).ok || one.empty())
            return false;
        one.front().name = ToUtf8(names[i]);
        sheets.push_back(std::move(one.front()));
    }
    return true;
}

void AutosaveCopy::ForEachLeft(const std::function<Left(const LeftCopy&)>& take) const {
    for (const QFileInfo& entry : QDir(Root()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time)) {
        LeftCopy copy;
        copy.folder = entry.absoluteFilePath();
        if (copy.folder == folder_) continue;
        QLockFile lock(copy.folder + "/" + kLock);
        if (!lock.tryLock(0)) continue;  // its window is still open
        QFile infoFile(copy.folder + "/" + kInfo);
        const QJsonObject info =
            infoFile.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(infoFile.readAll()).object() : QJsonObject();
        infoFile.close();
        for (const QJsonValue& name : info.value("sheets").toArray()) copy.names.append(name.toString());
        copy.path = info.value("path").toString();
        copy.when = QDateTime::fromString(info.value("time").toString(), Qt::ISODate);
        if (take(copy) == Left::Kept) continue;
        EmptyFolder(copy.folder);
        lock.unlock();
        QDir().rmdir(copy.folder);
    }
}

}  // namespace quorvane
