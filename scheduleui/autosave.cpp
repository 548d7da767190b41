// The 梁表 window's autosave: while there is unsaved work, a copy of every
// sheet each minute in a folder of this window's own beside the settings
// (never beside the file: it is not the user's to find), held by a lock
// while the window lives. A folder whose window is gone without cleaning
// up (a crash, a power cut) is offered back at the next start.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QUuid>

#include "qttext.h"
#include "schedulewindow.h"

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

QString ScheduleWindow::AutosaveRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quorvane/quorvane-schedule-autosave");
}

void ScheduleWindow::Autosave() {
    if (!AnyUnsaved()) {
        DiscardAutosave();
        return;
    }
    // Nothing changed since the last copy: it stands (a big schedule is not written again each minute).
    if (!changedSinceCopy_ && !autosaveFolder_.isEmpty() && QFile::exists(autosaveFolder_ + "/" + kInfo)) return;
    if (!autosaveLock_) {
        const QString folder = AutosaveRoot() + "/" + QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (!QDir().mkpath(folder)) return;  // no copy this time; the work itself is untouched
        autosaveLock_ = std::make_unique<QLockFile>(folder + "/" + kLock);
        if (!autosaveLock_->tryLock(0)) {
            autosaveLock_.reset();
            return;
        }
        autosaveFolder_ = folder;
    }
    QJsonArray names;
    for (int i = 0; i < sheetCount(); ++i) {
        const Sheet& sheet = *sheets_[static_cast<std::size_t>(i)];
        const CsvLayout layout = SavedLayout(NewScheduleLayout(), sheet.model->rows(), false);
        if (!SaveScheduleFile(FilePath(autosaveFolder_ + "/" + SheetFile(i)), layout, sheet.model->rows(),
                              sheet.model->results())
                 .ok)
            return;
        names.append(sheet.name.isEmpty() ? tabs_->tabText(i) : sheet.name);
    }
    const QJsonObject info{{"path", path_}, {"sheets", names}, {"time", QDateTime::currentDateTime().toString(Qt::ISODate)}};
    if (ReplaceFileAtomically(FilePath(autosaveFolder_ + "/" + kInfo), QJsonDocument(info).toJson().toStdString()).ok)
        changedSinceCopy_ = false;
}

// The copy is no longer needed: the work is saved, or given up.
void ScheduleWindow::DiscardAutosave() {
    if (!autosaveFolder_.isEmpty()) EmptyFolder(autosaveFolder_);
}

void ScheduleWindow::EndAutosave() {
    if (autosaveFolder_.isEmpty()) return;
    DiscardAutosave();
    autosaveLock_.reset();  // (removes the lock file)
    QDir().rmdir(autosaveFolder_);
    autosaveFolder_.clear();
}

bool ScheduleWindow::OfferRecovery() {
    bool recovered = false;
    for (const QFileInfo& entry : QDir(AutosaveRoot()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time)) {
        const QString folder = entry.absoluteFilePath();
        if (folder == autosaveFolder_) continue;
        QLockFile lock(folder + "/" + kLock);
        if (!lock.tryLock(0)) continue;  // its window is still open
        QFile infoFile(folder + "/" + kInfo);
        const QJsonObject info =
            infoFile.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(infoFile.readAll()).object() : QJsonObject();
        infoFile.close();
        const QJsonArray names = info.value("sheets").toArray();
        const QString path = info.value("path").toString();
        const QDateTime when = QDateTime::fromString(info.value("time").toString(), Qt::ISODate);
        const bool wanted = !recovered && !names.isEmpty() &&
                            dialogs_->AskRecover(this, path.isEmpty() ? QStringLiteral("未命名的梁表") : QFileInfo(path).fileName(), when);
        if (wanted && MaybeSave()) {
            std::vector<ScheduleSheet> read;
            for (int i = 0; i < names.size(); ++i) {
                std::vector<ScheduleSheet> one;
                if (!ReadScheduleSheets(FilePath(folder + "/" + SheetFile(i)), TextEncoding::Auto, one).ok || one.empty())
                    break;
                one.front().name = ToUtf8(names[i].toString());
                read.push_back(std::move(one.front()));
            }
            if (read.size() == static_cast<std::size_t>(names.size())) {
                RemoveSheets();
                for (ScheduleSheet& sheet : read) {
                    Sheet& added = AddSheet(names.size() > 1 ? FromUtf8(sheet.name) : QString(), std::move(sheet.rows),
                                            NewScheduleLayout(), std::move(sheet.results));
                    added.undo.resetClean();  // recovered work is unsaved work
                }
                ShowSheet(0);
                path_.clear();
                RememberDiskFile();
                UpdateTitle();
                recovered = true;
                statusBar()->showMessage(
                    QStringLiteral("已恢复上次没有保存的梁表%1,请另存。")
                        .arg(path.isEmpty() ? QString() : QStringLiteral(" (原来的文件:%1)").arg(QDir::toNativeSeparators(path))),
                    15000);
            } else {
                dialogs_->Inform(this, QStringLiteral("自动保存的副本读不出来,没有恢复。"));
                continue;  // kept, for whoever wants to look into it
            }
        }
        // Offered once: recovered or declined, the copy goes.
        EmptyFolder(folder);
        lock.unlock();
        QDir().rmdir(folder);
    }
    return recovered;
}

}  // namespace quorvane
