#pragma once

#include <QLabel>
#include <QPointer>

namespace morvik {

// The tracking tip that shows the full text of a device list cell too narrow for it. On the
// caret row it is drawn light on dark, on any other row in the list's own colours. Mouse input
// passes through it to the list; a press there hides it.
class CDeviceTreeTip : public QLabel {
    Q_OBJECT
public:
    static const QColor kCaretBackground;
    static const QColor kRowBackground;

    explicit CDeviceTreeTip(QWidget* parent = nullptr);

    // Shows `text` with its top-left corner at `globalPosition`.
    void showTip(const QString& text, const QPoint& globalPosition, bool onCaretRow);
    void hideTip();
    // Where the mouse input that a window system still hands the tip belongs: the list under it.
    void passMouseTo(QWidget* beneath) { beneath_ = beneath; }

protected:
    bool event(QEvent* event) override;

private:
    QPointer<QWidget> beneath_;
};

} // namespace morvik
