// CropMarker: the selection rectangle drawn over the image view. A press
// inside the rectangle moves it, elsewhere starts a new one that spans from
// the press to the pointer. Points and the rectangle are in the view's
// coordinates.
#pragma once

#include "app/window/geometry.h"

namespace dvk {

struct Rgba {
    double r = 0, g = 0, b = 0, a = 1;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

class CropMarker {
public:
    enum TrackingMode { Idle = 0, Selecting = 1, Moving = 2 };

    CropMarker();

    const RectD& selectedRect() const { return selectedRect_; }
    void setSelectedRect(const RectD& r) { selectedRect_ = r; }
    void setSelectedRectOrigin(PointD p) { selectedRect_.x = p.x, selectedRect_.y = p.y; }
    void setSelectedRectSize(SizeD s) { selectedRect_.width = s.width, selectedRect_.height = s.height; }
    // Moves the origin by the size's width and height.
    void moveSelectedRectBy(SizeD d) { selectedRect_.x += d.width, selectedRect_.y += d.height; }

    // The frame's colour, and the fill at alpha 0.2.
    void setColor(Rgba c);
    Rgba strokeColor() const { return stroke_; }
    Rgba fillColor() const { return fill_; }
    void setStrokeColor(Rgba c) { stroke_ = c; }
    void setFillColor(Rgba c) { fill_ = c; }
    // The frame's line width.
    static constexpr double kLineWidth = 2.0;

    PointD lastLocation() const { return lastLocation_; }
    int trackingMode() const { return mode_; }

    void mouseDown(PointD p);
    void mouseDragged(PointD p);
    void mouseUp(PointD p);

    void startSelectingAtPoint(PointD p);
    void continueSelectingAtPoint(PointD p);
    void stopSelectingAtPoint(PointD p);
    void startMovingAtPoint(PointD p);
    void continueMovingAtPoint(PointD p);
    void stopMovingAtPoint(PointD p);

private:
    RectD selectedRect_;
    PointD lastLocation_;
    Rgba stroke_, fill_;
    int mode_ = Idle;
};

}  // namespace dvk
