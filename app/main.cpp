// quorvane: the beam dead-load calculator's window.
#include <QApplication>
#include <QFont>
#include <QIcon>

#include "form1.h"
#include "shell.h"
#include "startup.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quorvane-256.png")));
#ifndef Q_OS_WIN
    // The layout is measured for a 12-pixel Chinese font with half-width
    // Latin letters, as on a Chinese Windows desktop; this one has them.
    QFont font(QStringLiteral("Noto Sans Mono CJK SC"));
    font.setPixelSize(12);
    QApplication::setFont(font);
#endif
    quorvane::DesktopShell shell;

    const quorvane::SingleCopy single(quorvane::SingleCopyLockPath());
    if (!single.acquired()) {
        shell.ShowMessage(nullptr, QStringLiteral("＾○＾您已经运行了程序＾○＾"), quorvane::Buttons::Ok);
        return 0;
    }
    quorvane::Form1 form(quorvane::ReportFilePath(), shell);
    form.Form_Load();
    form.show();
    return app.exec();
}
