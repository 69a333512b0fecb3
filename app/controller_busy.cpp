// Controller: the busy test the roads and open events share.
#include "app/controller.h"

namespace dvk {

bool Controller::isBusy() const {
    if (roads_.isBusy) return roads_.isBusy();
    return !rawProcessor_->isNotInProgress();
}

}  // namespace dvk
