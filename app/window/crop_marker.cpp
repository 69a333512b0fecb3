#include "app/window/crop_marker.h"

#include <algorithm>
#include <cmath>

namespace dvk {

CropMarker::CropMarker() { setColor({0, 0, 1, 1}); }

void CropMarker::setColor(Rgba c) {
    stroke_ = c;
    fill_ = c;
    fill_.a = 0.2;
}

void CropMarker::mouseDown(PointD p) {
    lastLocation_ = p;
    if (selectedRect_.contains(p))
        startMovingAtPoint(p);
    else
        startSelectingAtPoint(p);
}

void CropMarker::mouseDragged(PointD p) {
    if (mode_ == Selecting) continueSelectingAtPoint(p);
    if (mode_ == Moving) continueMovingAtPoint(p);
}

void CropMarker::mouseUp(PointD p) {
    if (mode_ == Selecting) stopSelectingAtPoint(p);
    if (mode_ == Moving) stopMovingAtPoint(p);
}

void CropMarker::startSelectingAtPoint(PointD p) {
    mode_ = Selecting;
    lastLocation_ = p;
}

void CropMarker::continueSelectingAtPoint(PointD p) {
    // lastLocation stays the anchor of the selection.
    selectedRect_ = {std::min(p.x, lastLocation_.x), std::min(p.y, lastLocation_.y), std::abs(p.x - lastLocation_.x),
                     std::abs(p.y - lastLocation_.y)};
}

void CropMarker::stopSelectingAtPoint(PointD p) {
    continueSelectingAtPoint(p);
    mode_ = Idle;
}

void CropMarker::startMovingAtPoint(PointD p) {
    mode_ = Moving;
    lastLocation_ = p;
}

void CropMarker::continueMovingAtPoint(PointD p) {
    moveSelectedRectBy({p.x - lastLocation_.x, p.y - lastLocation_.y});
    lastLocation_ = p;
}

void CropMarker::stopMovingAtPoint(PointD p) {
    continueMovingAtPoint(p);
    mode_ = Idle;
}

}  // namespace dvk
