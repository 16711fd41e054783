#pragma once

#include <QFrame>

namespace morvik {

class CRollingTextCtrl;

// The credits hidden in the About box: a small panel with a dialog frame laid over its
// parent, filled with the rolling credits text. A left click in it closes it.
class CCreditsWindow : public QFrame {
    Q_OBJECT
public:
    // Sixteen lines, separated by "|".
    static const QString kCreditsText;
    static constexpr int kWidthUnits = 95;
    static constexpr int kHeightUnits = 38;

    explicit CCreditsWindow(QWidget* parent = nullptr);

    CRollingTextCtrl& rollingText() const { return *rollingText_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    CRollingTextCtrl* rollingText_;
};

} // namespace morvik
