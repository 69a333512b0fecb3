// CroppingImageView: the main image view. It shows the preview (scaled down
// to fit, or one to one inside its scroll area), keeps the selection marker
// (a CropMarker in view coordinates) and posts the click and selection
// notifications the controller handles:
//   "doubleClick"      two or more clicks
//   "cmdClick"         Command (Ctrl), "cmdOptClick" with Option (Alt) too
//   "ctrlClick"        Control (Meta), "ctrlOptClick" with Option too
//   "ImageSelectionChanged"  the selection changed (at release; while
//                      dragging too in continuous mode)
// Shift-dragging pans the scroll area and never touches the selection; a
// double-click selects nothing (its second press and what follows until the
// release leave the selection alone). A right-click opens a menu of the same
// clicks at that point, and of the Command- and Control-drags for the
// selection on show (window managers take some of the modifier clicks for
// themselves).
#pragma once

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include "app/window/crop_marker.h"
#include "app/window/geometry.h"

class QScrollArea;

namespace dvk {

class CroppingImageView : public QWidget {
    Q_OBJECT
public:
    explicit CroppingImageView(QWidget* parent = nullptr);

    // The neutral grey around the image.
    static inline const QColor kBackground{0x55, 0x55, 0x55};

    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    // setWidth:andHeight: the preview's pixel size.
    void setWidthAndHeight(unsigned width, unsigned height);
    unsigned imageWidth() const { return width_; }
    unsigned imageHeight() const { return height_; }
    // Fit mode: the image scaled down to the view; else one to one.
    void setScalesDown(bool on);
    bool scalesDown() const { return scalesDown_; }

    CropMarker& selectionMarker() { return marker_; }
    // A new marker (what the open road gives each new file).
    void setSelectionMarker(const CropMarker& marker);
    void setSelectionColor(Rgba color) { marker_.setColor(color), update(); }
    void setAntiAliasMode(int mode) { shouldAntiAlias_ = mode != 0; }
    void setContinuousMode(int mode) { continuous_ = mode != 0; }

    // Where the image is drawn in the view.
    RectD drawnRect() const;
    // The selection in preview pixels (origin at the top-left), or the zero rectangle.
    RectD selectedImageRect() const;
    // The preview pixel under a view point.
    PointD imagePointAt(QPointF p) const;
    // The image inside the selection (the whole image without one).
    QImage croppedImage() const;
    // Marks the view for redisplay after a selection change.
    void selectionChanged() { update(); }
    void postSelectionChangedNotification();

signals:
    // One of the notifications above, with the point in view coordinates.
    void notify(const QString& name, QPointF localPoint);
    // From the menu: what a Command-drag (`whiteBalance`) or a Control-drag
    // ends with, for the selection on show.
    void selectionUsed(bool whiteBalance);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;  // cropping_image_view_menu.cpp

private:
    QScrollArea* scrollArea() const;
    void postClick(QMouseEvent* event, int clicks);

    QImage image_;
    unsigned width_ = 0, height_ = 0;
    bool scalesDown_ = true;
    CropMarker marker_;
    bool shouldAntiAlias_ = false;
    bool continuous_ = false;
    bool panning_ = false;
    bool pressed_ = false;
    bool doubleClicked_ = false;  // the press being tracked is a double-click's
    QPointF lastPan_;
};

}  // namespace dvk
