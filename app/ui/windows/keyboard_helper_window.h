// KeyboardHelperWindow: what the keys and clicks on the image do.
#pragma once

#include <QtWidgets/QDialog>

namespace dvk {

class KeyboardHelperWindow : public QDialog {
    Q_OBJECT
public:
    explicit KeyboardHelperWindow(QWidget* parent = nullptr);
};

}  // namespace dvk
