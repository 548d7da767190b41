// quorvane-schedule: the 梁表 window, one beam a row, with the quick
// calculator's digits. A schedule file given on the command line opens.
#include <QApplication>
#include <QIcon>

#include "handoff.h"
#include "qtchinese.h"
#include "schedulewindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    quorvane::InstallQtChinese(app);
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationName(QStringLiteral("quorvane-schedule"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvane-schedule-48.png")));
    quorvane::ScheduleWindow window;
    // Beams the calculator sends here (发送到梁表), waiting or to come.
    quorvane::BeamReceiver fromCalculator(quorvane::Inbox::Schedule);
    QObject::connect(&fromCalculator, &quorvane::BeamReceiver::beamArrived, &window,
                     &quorvane::ScheduleWindow::AppendBeam);
    window.show();
    const QStringList args = QApplication::arguments();
    // Work a crash left unsaved comes first; a file asked for opens if it was not taken.
    if (!window.OfferRecovery() && args.size() > 1) window.OpenFile(args.at(1));
    return QApplication::exec();
}
