// The 梁表 window's autosave copy: while there is unsaved work, every sheet
// in a folder of this window's own beside the settings (never beside the
// file: it is not the user's to find), held by a lock while the window
// lives. A folder whose window is gone without cleaning up (a crash, a
// power cut) is offered back at the next start.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "document.h"

class QLockFile;

namespace quorvane {

class AutosaveCopy {
public:
    AutosaveCopy();
    ~AutosaveCopy();  // the copy and its folder gone
    AutosaveCopy(const AutosaveCopy&) = delete;
    AutosaveCopy& operator=(const AutosaveCopy&) = delete;

    static QString Root();

    // The work has changed since the last copy.
    void Changed() { changed_ = true; }
    // The sheets (name, rows, results) and the file they came from, written
    // when they changed since the last copy; a copy that cannot be written
    // leaves the work itself untouched and is tried again next time.
    struct SheetView {
        QString name;
        const std::vector<ScheduleRow>* rows;
        const std::vector<ShownResult>* results;
    };
    void Write(const QString& path, const std::vector<SheetView>& sheets);
    // The copy is no longer needed: the work is saved, or given up.
    void Discard();
    // Discarded, and the folder and its lock given up (the window closes).
    void End();

    // A copy left by a window that is gone: the file it was (empty when
    // never saved), when it was made, its sheets' names.
    struct LeftCopy {
        QString folder, path;
        QDateTime when;
        QStringList names;
        // Its sheets read back, named; false when one cannot be.
        bool ReadSheets(std::vector<ScheduleSheet>& sheets) const;
    };
    // Each left copy, newest first, handed to take; it goes afterwards
    // unless take keeps it (wanted, but unreadable: for whoever wants to
    // look into it). A copy whose window still holds its lock is passed by.
    enum class Left { Gone, Kept };
    void ForEachLeft(const std::function<Left(const LeftCopy&)>& take) const;

private:
    QString folder_;  // this window's, once it has saved a copy
    std::unique_ptr<QLockFile> lock_;
    bool changed_ = true;
};

}  // namespace quorvane
