// The one seam for everything that blocks or leaves the process: message
// boxes, the report viewer, the web browser, the 梁表 window. Tests put a recording fake here.
#pragma once

#include <QMessageBox>
#include <QString>

#include "handoff.h"

class QWidget;

namespace quorvane {

enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

class Shell {
public:
    virtual ~Shell() = default;
    // A modal message box titled "Quorvane", no icon; with YesNo, Yes is the
    // default button. Returns the button pressed.
    virtual Answer ShowMessage(QWidget* parent, const QString& text, Buttons buttons) = 0;
    // Hands the report file to the system's viewer without waiting.
    // Returns false with a reason when nothing could be started.
    virtual bool StartReportViewer(const QString& reportPath, QString* reason) = 0;
    // Hands a web address to the system's browser without waiting.
    virtual bool OpenWebAddress(const QString& address, QString* reason) = 0;
    // Hands a beam to the 梁表 window (started when none is open).
    virtual bool SendToSchedule(const HandedBeam& beam, QString* reason) = 0;
};

// A message box as the program shows it: titled "Quorvane", no icon and no
// room left for one, wide enough for its whole title, no maximise button;
// OK, or Yes (the default) and No.
void PrepareMessageBox(QMessageBox& box, Buttons buttons);

// Pixels a title bar takes besides its text: the window icon and up to
// three buttons (some window managers draw them all), with their margins.
constexpr int kTitleBarExtra = 128;

// The real one: QMessageBox and the desktop services (Win32 on Windows).
class DesktopShell : public Shell {
public:
    Answer ShowMessage(QWidget* parent, const QString& text, Buttons buttons) override;
    bool StartReportViewer(const QString& reportPath, QString* reason) override;
    bool OpenWebAddress(const QString& address, QString* reason) override;
    bool SendToSchedule(const HandedBeam& beam, QString* reason) override;
};

}  // namespace quorvane
