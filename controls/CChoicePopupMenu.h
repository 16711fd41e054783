#pragma once

#include <QColor>
#include <QEvent>
#include <QFont>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class QEventLoop;
class QPainter;
class QWidget;

namespace morvik {

class ChoicePopupWindow;

struct PopupMenuItem {
    enum Flag : std::uint8_t { Separator = 1, Disabled = 2, Bold = 4, Greyed = 8 };

    int top = 0;    // first pixel row in the menu window, set by the layout
    int height = 0; // set by the layout
    std::uint8_t flags = 0;
    QString text; // "&" marks the mnemonic, "&&" shows one "&"
    int id = 0;   // 0: cannot be picked
    int image = -1;
};

// Carries a pick of a modeless menu to its owner.
class ChoiceCommandEvent final : public QEvent {
public:
    explicit ChoiceCommandEvent(int id) : QEvent(eventType()), id_(id) {}
    int id() const { return id_; }
    static QEvent::Type eventType();

private:
    int id_;
};

// A small pop-up menu that draws itself: one column of text items in a borderless top-level
// window with a flat frame and highlight band. It hands back the id of the item the user picks,
// or 0. Child menus are not offered. The mouse, the mnemonics and the arrow keys all work it.
class CChoicePopupMenu final : public QObject {
    Q_OBJECT
public:
    static constexpr int kItemHeight = 17;
    static constexpr int kSeparatorHeight = 5;
    static constexpr int kTextLeft = 23;

    struct Colours {
        QColor frame;
        QColor background;
        QColor text;
        QColor greyedText;
        QColor highlightText;
        QColor highlight;
        QColor transparentKey;
        QColor light3d;
        QColor shadow3d;
    };

    enum Mode { Closed = 0, ShownWithoutCapture = 1, ShownWithCapture = 2 };

    CChoicePopupMenu();
    ~CChoicePopupMenu() override;
    CChoicePopupMenu(const CChoicePopupMenu&) = delete;
    CChoicePopupMenu& operator=(const CChoicePopupMenu&) = delete;

    // May be changed before Init.
    Colours colours;
    QString faceName = QStringLiteral("MS Sans Serif");
    int pointSize = 8;
    // At least as wide as the cell the menu opens under.
    int minimumWidth = 0;
    // The item that holds the value shown now: ticked, and highlighted when the menu opens.
    int currentItem = -1;

    // The click that opens the menu: the second press of a double click on the same spot,
    // and its release, belong to it and do not dismiss the menu.
    void setOpeningClick(QPoint globalPosition, quint64 timestamp);

    // Removes every item and makes the fonts; `imageStrip` holds 16 x 15 cells side by side
    // (a null pixmap: no images).
    bool Init(const QPixmap& imageStrip = {});
    void AddItem(std::uint8_t flags, const QString& text, int id, int image = -1);
    // Shows the menu at a screen point. Modal: returns the picked id (0 for none) once the
    // window is gone. Modeless: returns 0 at once; a pick is later posted to `owner` as a
    // ChoiceCommandEvent and announced by `picked`.
    int Track(QPoint screenPoint, QObject* owner, bool modal, bool noCapture);

    // State, for tests and callers.
    QWidget* window() const;
    Mode mode() const { return mode_; }
    int highlightedItem() const { return highlighted_; }
    int width() const { return width_; }
    const std::vector<PopupMenuItem>& items() const { return items_; }
    // The item under a point of the menu window, or -1.
    int itemAt(QPoint clientPoint) const;

signals:
    void picked(int id);

private:
    friend class ChoicePopupWindow;

    bool isOutsideItemArea(QPoint clientPoint) const;
    QRect itemBand(int item) const;
    void layOut(int& windowHeight);
    void paint(QWidget& window);
    static void drawTick(QPainter& painter, int itemTop);
    void mouseMoved(QPoint clientPoint);
    void buttonPressed(Qt::MouseButton button, QPoint clientPoint, QPoint globalPoint,
                       quint64 timestamp);
    bool completesOpeningDoubleClick(QPoint globalPoint, quint64 timestamp) const;
    void buttonReleased(Qt::MouseButton button, QPoint clientPoint);
    void characterTyped(const QString& text);
    // Arrows, Home and End move the highlight, Enter picks it, Esc closes the menu.
    void navigationKey(int key);
    bool isReachableByKeys(int item) const;
    void pickItem(int item);
    void dismiss();
    void closeWindow();
    void windowClosed();
    void setHighlighted(int item);

    std::vector<PopupMenuItem> items_;
    QFont normalFont_;
    QFont boldFont_;
    int normalLineHeight_ = 0;
    int boldLineHeight_ = 0;
    QPixmap imageStrip_;

    QPointer<ChoicePopupWindow> window_;
    Mode mode_ = Closed;
    int highlighted_ = -1;
    int result_ = 0;
    int width_ = 0;
    bool modal_ = false;
    QPointer<QObject> owner_;
    bool leftWasDown_ = false;
    bool rightWasDown_ = false;
    bool hasOpeningClick_ = false;
    QPoint openingClickPosition_;
    quint64 openingClickTime_ = 0;
    std::optional<quint64> swallowedPressTime_;
    QEventLoop* loop_ = nullptr;
};

} // namespace morvik
