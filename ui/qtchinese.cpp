#include "qtchinese.h"

#include <QCoreApplication>
#include <QTranslator>

static void InitQtChineseResource() { Q_INIT_RESOURCE(qtchinese); }

namespace quorvane {

bool InstallQtChinese(QCoreApplication& app) {
    InitQtChineseResource();
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral(":/translations/qtbase_zh_CN.qm"))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace quorvane
