// What the program settles before its window exists: that it is the only
// copy running for this user, and where the calculation report lives.
#pragma once

#include <QString>

#include <memory>

#include "desktop.h"

namespace quorvane {

class Form1;
class Shell;

// Held for the life of the process. Per user, race-free (the lock file is
// created exclusively), and a copy that crashed or was killed leaves a stale
// lock that the next start takes over.
class SingleCopy {
public:
    explicit SingleCopy(const QString& lockPath);
    // False when another live copy holds the lock. When the lock file cannot
    // be made at all, the program is let through rather than blocked.
    bool acquired() const { return lock_->acquired(); }

private:
    std::unique_ptr<desktop::SingleCopyLock> lock_;  // a lock file; on Windows a named mutex
};

// The lock file of this user: in the per-user runtime folder. (On Windows
// the named mutex decides; lockPath is not used there.)
QString SingleCopyLockPath();

// The report's path: "C:\Program Files\计算过程.txt" on Windows where that
// file can be written or created, otherwise "计算过程.txt" in the user's
// Documents folder (created when missing).
QString ReportFilePath();

// Start-up, in order: the single-copy test (a second copy says so and gets
// no window), then the window is made and its Form_Load run. Returns the
// window ready to show, or nothing when this copy must end. `single` must
// outlive the window.
std::unique_ptr<Form1> StartUp(Shell& shell, const SingleCopy& single, const QString& reportPath);

}  // namespace quorvane
