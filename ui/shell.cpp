#include "shell.h"

#include <QCoreApplication>

#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

#include "desktop.h"

namespace quorvane {

void PrepareMessageBox(QMessageBox& box, Buttons buttons) {
    box.setWindowTitle(QStringLiteral("Quorvane"));
    box.setIcon(QMessageBox::NoIcon);
    // Title and close button only: the box has nothing to maximise.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowCloseButtonHint);
    // No empty column where an icon would stand: the toolkit indents the
    // text by a spacer in the icon's column.
    if (auto* icon = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"))) icon->hide();
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        if (QLayoutItem* indent = grid->itemAtPosition(0, 0); indent && indent->spacerItem()) {
            grid->removeItem(indent);
            delete indent;
        }
        // Wide enough that the title bar shows "Quorvane" whole beside its
        // buttons, however short the text.
        // The text takes the icon's column too, from the left margin.
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            int row = 0, column = 0, rows = 1, columns = 1;
            grid->getItemPosition(grid->indexOf(label), &row, &column, &rows, &columns);
            grid->removeWidget(label);
            grid->addWidget(label, std::max(row, 0), 0, rows, grid->columnCount());
        }
        const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarExtra;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(),
                      0, 1, grid->columnCount());
    }
    if (buttons == Buttons::Ok) {
        box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        return;
    }
    QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
}

Answer DesktopShell::ShowMessage(QWidget* parent, const QString& text, Buttons buttons) {
    QMessageBox box(parent);
    box.setText(text);
    PrepareMessageBox(box, buttons);
    box.exec();
    if (buttons == Buttons::Ok) return Answer::Ok;
    return box.clickedButton() == box.defaultButton() ? Answer::Yes : Answer::No;
}

bool DesktopShell::StartReportViewer(const QString& reportPath, QString* reason) {
    return desktop::StartReportViewer(reportPath, reason);
}

bool DesktopShell::OpenWebAddress(const QString& address, QString* reason) {
    return desktop::OpenWebAddress(address, reason);
}

// The 梁表 program installed beside this one.
bool DesktopShell::SendToSchedule(const HandedBeam& beam, QString* reason) {
#ifdef Q_OS_WIN
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/quorvane-schedule.exe");
#else
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/quorvane-schedule");
#endif
    return SendBeam(Inbox::Schedule, beam, program, reason);
}

}  // namespace quorvane
