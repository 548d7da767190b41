// Qt's own texts in Chinese: the standard buttons, the file dialog, the
// context menu of a text box. Debian's translation of qtbase, built into
// the program, so Windows gets it too.
#pragma once

class QCoreApplication;

namespace quorvane {

// Installs the translation on app; false when this build has none.
bool InstallQtChinese(QCoreApplication& app);

}  // namespace quorvane
