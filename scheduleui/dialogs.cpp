#include "dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDateTime>
#include <QFileDialog>
#include <QLocale>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>

#include "qttext.h"

namespace quorvane {
namespace {

const QString kTitle = QStringLiteral("Quorvane 梁表");
constexpr int kProgressSteps = 1000;
constexpr int kShowAfterMs = 400;

class DialogProgress : public ProgressReport {
public:
    DialogProgress(QWidget* parent, const QString& label)
        : dialog_(label, QStringLiteral("取消"), 0, kProgressSteps, parent) {
        dialog_.setWindowTitle(kTitle);
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(kShowAfterMs);
        dialog_.setAutoReset(false);
        dialog_.setValue(0);
    }
    bool Update(double done) override {
        dialog_.setValue(static_cast<int>(done * kProgressSteps));
        // Keys and clicks reach nothing half way through: until the box shows
        // (and blocks the window) they wait; then only its 取消 takes them.
        QApplication::processEvents(dialog_.isVisible() ? QEventLoop::AllEvents
                                                        : QEventLoop::ExcludeUserInputEvents);
        return !dialog_.wasCanceled();
    }

private:
    QProgressDialog dialog_;
};

}  // namespace

void DesktopScheduleDialogs::Inform(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

SaveAnswer DesktopScheduleDialogs::AskSave(QWidget* parent, const QString& name) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, QStringLiteral("“%1”有未保存的修改。是否保存?").arg(name),
                    QMessageBox::NoButton, parent);
    QPushButton* save = box.addButton(QStringLiteral("保存(&S)"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("不保存(&N)"), QMessageBox::DestructiveRole);
    box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.exec();
    if (box.clickedButton() == save) return SaveAnswer::Save;
    if (box.clickedButton() == discard) return SaveAnswer::Discard;
    return SaveAnswer::Cancel;
}

ChangedAnswer DesktopScheduleDialogs::AskChangedOnDisk(QWidget* parent, const QString& name,
                                                       bool beforeSave) {
    const QString text =
        beforeSave ? QStringLiteral("“%1”在打开之后被其他程序改动过。\n保存会覆盖那些改动。").arg(name)
                   : QStringLiteral("“%1”被其他程序改动过。是否重新载入?").arg(name);
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::NoButton, parent);
    QPushButton* reload = box.addButton(QStringLiteral("重新载入(&R)"), QMessageBox::AcceptRole);
    QPushButton* overwrite =
        beforeSave ? box.addButton(QStringLiteral("仍然保存(&O)"), QMessageBox::DestructiveRole) : nullptr;
    QPushButton* keep =
        box.addButton(beforeSave ? QStringLiteral("取消") : QStringLiteral("保留窗口中的内容(&K)"),
                      QMessageBox::RejectRole);
    box.setDefaultButton(beforeSave ? keep : reload);
    box.exec();
    if (box.clickedButton() == reload) return ChangedAnswer::Reload;
    if (overwrite && box.clickedButton() == overwrite) return ChangedAnswer::Overwrite;
    return ChangedAnswer::Keep;
}

LossAnswer DesktopScheduleDialogs::AskWorkbookLosses(QWidget* parent, const QString& name, const QString& losses) {
    const QString text = QStringLiteral("保存到“%1”时,下面这些不能原样保留:\n\n%2\n建议另存为一个新的工作簿,原来的文件不动。")
                             .arg(name, losses);
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::NoButton, parent);
    QPushButton* saveAs = box.addButton(QStringLiteral("另存为(&A)..."), QMessageBox::AcceptRole);
    QPushButton* anyway = box.addButton(QStringLiteral("仍然保存(&O)"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(saveAs);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == saveAs) return LossAnswer::SaveAs;
    if (box.clickedButton() == anyway) return LossAnswer::SaveAnyway;
    return LossAnswer::Cancel;
}

BookScope DesktopScheduleDialogs::AskBookScope(QWidget* parent, const QString& sheet, int sheets) {
    QMessageBox box(QMessageBox::NoIcon, kTitle,
                    QStringLiteral("这个工作簿有 %1 个楼层。计算书包括哪些梁?").arg(sheets), QMessageBox::NoButton,
                    parent);
    QPushButton* all = box.addButton(QStringLiteral("全部楼层(&A)"), QMessageBox::AcceptRole);
    QPushButton* one = box.addButton(QStringLiteral("只有“%1”(&S)").arg(sheet), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(all);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == all) return BookScope::AllSheets;
    if (box.clickedButton() == one) return BookScope::ThisSheet;
    return BookScope::Cancel;
}

QString DesktopScheduleDialogs::AskSheetName(QWidget* parent, const QString& name) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, kTitle, QStringLiteral("工作表的新名称:"), QLineEdit::Normal, name, &ok);
    return ok ? text : QString();
}

QString DesktopScheduleDialogs::AskText(QWidget* parent, const QString& label, const QString& text) {
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, kTitle, label, QLineEdit::Normal, text, &ok);
    return ok ? answer : QString();
}

bool DesktopScheduleDialogs::AskRecover(QWidget* parent, const QString& name, const QDateTime& when) {
    const QString text = QStringLiteral("“%1”上次有未保存的修改 (程序没有正常关闭)。\n自动保存的副本是 %2 的。\n\n"
                                        "要恢复吗?恢复的内容作为未保存的梁表打开,请另存。")
                             .arg(name, QLocale().toString(when, QLocale::ShortFormat));
    QMessageBox box(QMessageBox::Question, kTitle, text, QMessageBox::NoButton, parent);
    QPushButton* recover = box.addButton(QStringLiteral("恢复(&R)"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("不要(&N)"), QMessageBox::RejectRole);
    box.setDefaultButton(recover);
    box.exec();
    return box.clickedButton() == recover;
}

QString DesktopScheduleDialogs::OpenPath(QWidget* parent, const QString& folder) {
    return QFileDialog::getOpenFileName(
        parent, QStringLiteral("打开梁表"), folder,
        QStringLiteral("梁表 (*.csv *.xlsx);;CSV 文件 (*.csv);;Excel 工作簿 (*.xlsx);;所有文件 (*)"));
}

namespace {

// "CSV 文件 (*.csv)" → "csv".
QString SuffixOf(const QString& filter) {
    const int star = filter.indexOf(QStringLiteral("*."));
    if (star < 0) return {};
    const int end = filter.indexOf(QRegularExpression(QStringLiteral("[ );]")), star);
    return filter.mid(star + 2, end < 0 ? -1 : end - star - 2);
}

}  // namespace

QString DesktopScheduleDialogs::SavePath(QWidget* parent, const QString& suggested, const QString& filter) {
    // A name typed without its suffix gets the chosen type's, as on Windows.
    QFileDialog dialog(parent, kTitle, suggested, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    for (const QString& f : filter.split(QStringLiteral(";;")))
        if (suggested.endsWith('.' + SuffixOf(f), Qt::CaseInsensitive)) dialog.selectNameFilter(f);
    dialog.setDefaultSuffix(SuffixOf(dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& f) { dialog.setDefaultSuffix(SuffixOf(f)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QString DesktopScheduleDialogs::FolderPath(QWidget* parent, const QString& caption, const QString& folder) {
    return QFileDialog::getExistingDirectory(parent, caption, folder);
}

std::unique_ptr<ProgressReport> DesktopScheduleDialogs::StartProgress(QWidget* parent, const QString& label) {
    return std::make_unique<DialogProgress>(parent, label);
}

bool DesktopScheduleDialogs::AskBookTitle(QWidget* parent, BookTitle& title) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("计算书的标题栏"));
    auto* form = new QFormLayout(&dialog);
    std::vector<QLineEdit*> edits;
    for (const TitleField& field : kTitleFields) {
        auto* edit = new QLineEdit(FromUtf8(title.*field.member), &dialog);
        edit->setMinimumWidth(280);
        form->addRow(QString::fromUtf8(field.label), edit);
        edits.push_back(edit);
    }
    auto* date = new QLineEdit(FromUtf8(title.date), &dialog);
    date->setAccessibleDescription(QStringLiteral("计算书上的日期,默认为现在"));
    form->addRow(QStringLiteral("日期(&T):"), date);
    auto* revisions = new QPlainTextEdit(FromUtf8(title.revisions), &dialog);
    revisions->setPlaceholderText(QStringLiteral("每行一次修订:版次 日期 修改内容\n如:A 2026-12-01 首次提交"));
    revisions->setTabChangesFocus(true);
    revisions->setFixedHeight(revisions->fontMetrics().lineSpacing() * 5 + 12);
    form->addRow(QStringLiteral("修订记录(&E):"), revisions);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return false;
    for (std::size_t i = 0; i < edits.size(); ++i) title.*kTitleFields[i].member = ToUtf8(edits[i]->text().trimmed());
    // (a line break would split the reports' date line)
    title.date = ToUtf8(date->text().simplified());
    title.revisions = ToUtf8(revisions->toPlainText().trimmed());
    return true;
}

}  // namespace quorvane
