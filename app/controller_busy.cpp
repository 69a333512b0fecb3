// Controller: the busy test. The roads that load into the controller's
// RawProcessor, and the save road that follows it, set its progress while
// they run; a progress of 0 (nothing started) or 100 and above (done) is idle.
#include "app/controller.h"

namespace dvk {

bool Controller::isBusy() const { return !rawProcessor_->isNotInProgress(); }

}  // namespace dvk
