#pragma once

#include "controls/CCreditsWindow.h"

#include <QDialog>
#include <QPointer>

namespace morvik {

// The About box: icon, product name and version, copyright, OK. A left click in it followed
// by a right click opens the credits window over its corner.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);

    // The credits window while it is open, else nullptr.
    CCreditsWindow* creditsWindow() const { return credits_.data(); }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    static constexpr QPoint kCreditsCorner{5, 2};

    bool creditsArmed_ = false;
    QPointer<CCreditsWindow> credits_;
};

} // namespace morvik
