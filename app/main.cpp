// quorvane: the beam dead-load calculator's window.
#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <memory>

#include "form1.h"  // IWYU pragma: keep (the window owned below)
#include "geometry.h"
#include "handoff.h"
#include "qtchinese.h"
#include "shell.h"
#include "startup.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    quorvane::InstallQtChinese(app);
    QApplication::setApplicationName(QStringLiteral("quorvane"));
    // Small sizes only: the 256-pixel image would cost a decode at start-up.
    QIcon icon;
    for (const char* size : {"16", "32", "48"})
        icon.addFile(QStringLiteral(":/icons/quorvane-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    QApplication::setFont(quorvane::LayoutFont());
    quorvane::DesktopShell shell;

    const quorvane::SingleCopy single(quorvane::SingleCopyLockPath());
    const auto form = quorvane::StartUp(shell, single, quorvane::ReportFilePath());
    if (!form) return 0;
    form->show();
    // Beams the 梁表 window opens here (在计算器中打开), waiting or to come:
    // looked for once the window is up, so that start-up waits for none of it.
    std::unique_ptr<quorvane::BeamReceiver> fromSchedule;
    QTimer::singleShot(0, form.get(), [&fromSchedule, &form] {
        fromSchedule = std::make_unique<quorvane::BeamReceiver>(quorvane::Inbox::Calculator);
        QObject::connect(fromSchedule.get(), &quorvane::BeamReceiver::beamArrived, form.get(),
                         &quorvane::Form1::TakeBeam);
    });
    return app.exec();
}
