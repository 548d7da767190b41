// The PDF book draws text, which takes a GUI application: quorvane-calc
// makes one of its own, off screen, only when a book is asked for, with
// Qt's own warnings kept off the tool's standard error (which carries its
// messages only). A build without QtGui makes none.
#pragma once

#include <memory>

namespace quorvane {

// Lives as long as the holder.
std::shared_ptr<void> StartBookApplication();

}  // namespace quorvane
