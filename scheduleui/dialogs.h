// The 梁表 window's seam for everything that waits on the user: messages,
// the question before unsaved work is dropped, file and folder choices,
// progress of long operations. Tests put a recording fake here.
#pragma once

#include <QString>

#include <memory>

#include "pdfbook.h"

class QWidget;
class QDateTime;

namespace quorvane {

enum class SaveAnswer { Save, Discard, Cancel };
// What to do with a file another program changed since it was opened or saved here.
enum class ChangedAnswer { Reload, Overwrite, Keep };
// Which beams a calculation book covers when the window holds several floors.
enum class BookScope { ThisSheet, AllSheets, Cancel };
// What to do when saving into a workbook would not keep all of it as it was.
enum class LossAnswer { SaveAs, SaveAnyway, Cancel };

// Shown while a long operation runs; Update returns false once the user
// has cancelled it.
class ProgressReport {
public:
    virtual ~ProgressReport() = default;
    virtual bool Update(double done) = 0;  // 0..1
};

class ScheduleDialogs {
public:
    virtual ~ScheduleDialogs() = default;
    virtual void Inform(QWidget* parent, const QString& text) = 0;
    // Whether to save the changes to name first.
    virtual SaveAnswer AskSave(QWidget* parent, const QString& name) = 0;
    // name was changed by another program. Before a save the answers are
    // reload, save anyway (Overwrite) or cancel (Keep); when the window
    // comes back to the front, reload or keep the window's rows.
    virtual ChangedAnswer AskChangedOnDisk(QWidget* parent, const QString& name, bool beforeSave) = 0;
    // Saving into the workbook name would not keep what losses says (one
    // reason a line): save as a new file instead, save anyway or cancel.
    virtual LossAnswer AskWorkbookLosses(QWidget* parent, const QString& name, const QString& losses) = 0;
    // A file to open, a file to write (filter as QFileDialog takes it), a
    // folder; empty when the user gave none.
    virtual QString OpenPath(QWidget* parent, const QString& folder) = 0;
    virtual QString SavePath(QWidget* parent, const QString& suggested, const QString& filter) = 0;
    virtual QString FolderPath(QWidget* parent, const QString& caption, const QString& folder) = 0;
    virtual std::unique_ptr<ProgressReport> StartProgress(QWidget* parent, const QString& label) = 0;
    // The calculation book's title block, shown filled in to be changed;
    // false when the user cancelled.
    virtual bool AskBookTitle(QWidget* parent, BookTitle& title) = 0;
    // The book of the sheet shown (sheet) or of all the workbook's floors.
    virtual BookScope AskBookScope(QWidget* parent, const QString& sheet, int sheets) = 0;
    // A sheet's new name, shown with its present one; empty when cancelled.
    virtual QString AskSheetName(QWidget* parent, const QString& name) = 0;
    // A line of text (what to find, a mark to go to), shown with text;
    // empty when cancelled.
    virtual QString AskText(QWidget* parent, const QString& label, const QString& text) = 0;
    // Work on name (saved by autosave at when) was not saved when its
    // window ended: open it again?
    virtual bool AskRecover(QWidget* parent, const QString& name, const QDateTime& when) = 0;
};

// The real ones: QMessageBox (titled "Quorvane 梁表"), QFileDialog and
// QProgressDialog (shown only when an operation takes a while).
class DesktopScheduleDialogs : public ScheduleDialogs {
public:
    void Inform(QWidget* parent, const QString& text) override;
    SaveAnswer AskSave(QWidget* parent, const QString& name) override;
    ChangedAnswer AskChangedOnDisk(QWidget* parent, const QString& name, bool beforeSave) override;
    LossAnswer AskWorkbookLosses(QWidget* parent, const QString& name, const QString& losses) override;
    QString OpenPath(QWidget* parent, const QString& folder) override;
    QString SavePath(QWidget* parent, const QString& suggested, const QString& filter) override;
    QString FolderPath(QWidget* parent, const QString& caption, const QString& folder) override;
    std::unique_ptr<ProgressReport> StartProgress(QWidget* parent, const QString& label) override;
    bool AskBookTitle(QWidget* parent, BookTitle& title) override;
    BookScope AskBookScope(QWidget* parent, const QString& sheet, int sheets) override;
    QString AskSheetName(QWidget* parent, const QString& name) override;
    QString AskText(QWidget* parent, const QString& label, const QString& text) override;
    bool AskRecover(QWidget* parent, const QString& name, const QDateTime& when) override;
};

}  // namespace quorvane
