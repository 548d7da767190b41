#include "bookapp.h"

#include <QGuiApplication>

namespace quorvane {

std::shared_ptr<void> StartBookApplication() {
    if (QCoreApplication::instance()) return {};
    // (the platform by argument: the environment stays the user's)
    static int argc = 3;
    static char name[] = "quorvane-calc", platform[] = "-platform", offscreen[] = "offscreen";
    static char* argv[] = {name, platform, offscreen, nullptr};
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return std::make_shared<QGuiApplication>(argc, argv);
}

}  // namespace quorvane
