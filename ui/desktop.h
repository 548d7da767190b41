// The window program's seam to the desktop it runs on: stacking, starting
// the report viewer and the browser, file names, the layout font, the
// single running copy and the report's fixed place. One implementation for
// Windows (through the plain-Win32 layer in platform/) and one for other
// desktops (through Qt), chosen by CMake; the rest of ui/ and app/ carries
// no #ifdef.
#pragma once

#include <QFont>
#include <QString>

#include <filesystem>
#include <memory>
#include <optional>

class QWidget;

namespace quorvane::desktop {

// Stay-on-top without hiding, moving or re-creating the window.
void SetStaysOnTop(QWidget* window, bool on);
bool StaysOnTop(const QWidget* window);

// Hand a file to the system's text viewer, an address to its browser,
// without waiting. False with a reason when nothing could be started.
bool StartReportViewer(const QString& reportPath, QString* reason);
bool OpenWebAddress(const QString& address, QString* reason);

// See geometry.h.
QFont LayoutFont();

// Held for the life of the process: whether this is the only running copy.
class SingleCopyLock {
public:
    virtual ~SingleCopyLock() = default;
    virtual bool acquired() const = 0;
};
// lockPath: a file in the user's runtime folder where a lock file decides.
std::unique_ptr<SingleCopyLock> LockSingleCopy(const QString& lockPath);

// The report's fixed place where the system has one and it can be written.
std::optional<QString> FixedReportPath(const QString& fileName);

}  // namespace quorvane::desktop
