// A build without QtGui: no application; the book says this build writes none.
#include "bookapp.h"

namespace quorvane {

std::shared_ptr<void> StartBookApplication() { return {}; }

}  // namespace quorvane
