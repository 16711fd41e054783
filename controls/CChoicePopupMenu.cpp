#include "controls/CChoicePopupMenu.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleHints>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace morvik {

namespace {

constexpr int kLayoutTop = 3;
constexpr int kWidthBeyondText = 42;
constexpr int kSpaceBelowLastItem = 2;
constexpr int kBandLeft = 3;
constexpr int kBandLeftWithImage = 21;
constexpr int kBandHeight = 18;
constexpr int kImageWidth = 16;
constexpr int kImageHeight = 15;
constexpr int kFaceNameLimit = 31;

} // namespace

QEvent::Type ChoiceCommandEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// The menu's window: it only turns window events into calls on its menu.
class ChoicePopupWindow final : public QWidget {
public:
    ChoicePopupWindow(CChoicePopupMenu& menu, Qt::WindowFlags flags)
        : QWidget(nullptr, flags), menu_(&menu) {
        setAttribute(Qt::WA_DeleteOnClose);
        // A click outside closes the menu and goes nowhere else.
        setAttribute(Qt::WA_NoMouseReplay);
        setMouseTracking(true);
        setCursor(Qt::ArrowCursor);
        setWindowTitle(QString());
        setAccessibleName(QStringLiteral("Choices"));
    }

    void detach() { menu_ = nullptr; }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        if (menu_ != nullptr) {
            menu_->paint(*this);
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (menu_ != nullptr) {
            menu_->mouseMoved(event->position().toPoint());
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (menu_ != nullptr &&
            (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
            menu_->buttonPressed(event->button(), event->position().toPoint(),
                                 event->globalPosition().toPoint(), event->timestamp());
        }
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (menu_ != nullptr &&
            (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
            menu_->buttonReleased(event->button(), event->position().toPoint());
        }
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override { mousePressEvent(event); }
    void keyPressEvent(QKeyEvent* event) override {
        if (menu_ == nullptr) {
            return;
        }
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            menu_->navigationKey(event->key());
            return;
        default:
            menu_->characterTyped(event->text());
            return;
        }
    }
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        if (menu_ != nullptr) {
            CChoicePopupMenu* menu = menu_;
            menu_ = nullptr;
            menu->windowClosed();
        }
    }

private:
    CChoicePopupMenu* menu_;
};

CChoicePopupMenu::CChoicePopupMenu() {
    const QPalette palette = QApplication::palette();
    colours.frame = palette.color(QPalette::WindowText);
    colours.background = palette.color(QPalette::Window);
    colours.text = palette.color(QPalette::WindowText);
    colours.greyedText = palette.color(QPalette::Disabled, QPalette::Text);
    colours.highlightText = palette.color(QPalette::HighlightedText);
    colours.highlight = palette.color(QPalette::Highlight);
    colours.transparentKey = QColor(255, 0, 255);
    colours.light3d = palette.color(QPalette::Light);
    colours.shadow3d = palette.color(QPalette::Dark);
}

CChoicePopupMenu::~CChoicePopupMenu() {
    if (window_ != nullptr) {
        window_->detach();
        delete window_.data();
    }
    if (loop_ != nullptr) {
        loop_->quit();
    }
}

bool CChoicePopupMenu::Init(const QPixmap& imageStrip) {
    items_.clear();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dotsPerInch = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    normalFont_ = QFont(faceName.left(kFaceNameLimit));
    normalFont_.setPixelSize(
        std::max(1, static_cast<int>(std::lround(pointSize * dotsPerInch / 72.0))));
    normalFont_.setWeight(QFont::Normal);
    boldFont_ = normalFont_;
    boldFont_.setWeight(QFont::Bold);
    normalLineHeight_ = QFontMetrics(normalFont_).height();
    boldLineHeight_ = QFontMetrics(boldFont_).height();
    imageStrip_ = imageStrip;
    if (!imageStrip_.isNull()) {
        imageStrip_.setMask(imageStrip_.createMaskFromColor(colours.transparentKey));
    }
    return true;
}

void CChoicePopupMenu::AddItem(std::uint8_t flags, const QString& text, int id, int image) {
    PopupMenuItem item;
    item.flags = flags;
    item.text = text;
    item.id = id;
    item.image = image;
    items_.push_back(std::move(item));
}

QWidget* CChoicePopupMenu::window() const {
    return window_.data();
}

void CChoicePopupMenu::layOut(int& windowHeight) {
    int h = kLayoutTop;
    int widest = 0;
    for (PopupMenuItem& item : items_) {
        item.top = h;
        if ((item.flags & PopupMenuItem::Separator) != 0) {
            item.height = kSeparatorHeight;
        } else {
            item.height = kItemHeight;
            const QFont& font = (item.flags & PopupMenuItem::Bold) != 0 ? boldFont_ : normalFont_;
            widest =
                std::max(widest, QFontMetrics(font).size(Qt::TextShowMnemonic, item.text).width());
        }
        h += item.height;
    }
    width_ = std::max(widest + kWidthBeyondText, minimumWidth);
    windowHeight = h + kSpaceBelowLastItem;
}

int CChoicePopupMenu::Track(QPoint screenPoint, QObject* owner, bool modal, bool noCapture) {
    if (window_ != nullptr) {
        return 0;
    }
    if (normalLineHeight_ == 0) {
        Init();
    }
    int windowHeight = 0;
    layOut(windowHeight);

    QScreen* screen = QGuiApplication::screenAt(screenPoint);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return 0;
    }
    const QRect workArea = screen->availableGeometry();
    const int workRight = workArea.x() + workArea.width();
    const int workBottom = workArea.y() + workArea.height();
    const int left =
        screenPoint.x() + width_ <= workRight ? screenPoint.x() : std::max(0, workRight - width_);
    const int top = screenPoint.y() + windowHeight <= workBottom
                        ? screenPoint.y()
                        : std::max(0, workBottom - windowHeight);

    const bool currentIsShown = currentItem >= 0 && currentItem < static_cast<int>(items_.size()) &&
                                isReachableByKeys(currentItem);
    highlighted_ = currentIsShown ? currentItem : -1;
    result_ = 0;
    modal_ = modal;
    owner_ = owner;
    // A Qt pop-up window holds the mouse and keyboard while it is shown; the other kind is a
    // plain frameless tool window that leaves them alone.
    const Qt::WindowFlags flags = noCapture
                                      ? Qt::Tool | Qt::FramelessWindowHint |
                                            Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                                      : Qt::Popup | Qt::FramelessWindowHint;
    auto* window = new ChoicePopupWindow(*this, flags);
    window_ = window;
    window->setGeometry(left, top, width_, windowHeight);
    if (noCapture) {
        mode_ = ShownWithoutCapture;
        leftWasDown_ = rightWasDown_ = false;
    } else {
        mode_ = ShownWithCapture;
        const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
        leftWasDown_ = (buttons & Qt::LeftButton) != 0;
        rightWasDown_ = (buttons & Qt::RightButton) != 0;
    }
    window->show();
    if (!modal) {
        return 0;
    }
    QEventLoop loop;
    loop_ = &loop;
    if (window_ != nullptr) {
        loop.exec();
    }
    loop_ = nullptr;
    return result_;
}

bool CChoicePopupMenu::isOutsideItemArea(QPoint p) const {
    const QWidget* window = window_.data();
    if (window == nullptr) {
        return true;
    }
    return p.x() <= 2 || p.y() <= 2 || p.x() > window->width() || p.y() > window->height();
}

int CChoicePopupMenu::itemAt(QPoint p) const {
    if (isOutsideItemArea(p)) {
        return -1;
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const PopupMenuItem& item = items_[i];
        // The pixel row on the boundary of two items belongs to neither.
        if (item.top < p.y() && p.y() < item.top + item.height) {
            return (item.flags & PopupMenuItem::Disabled) != 0 ? -1 : static_cast<int>(i);
        }
    }
    return -1;
}

QRect CChoicePopupMenu::itemBand(int item) const {
    const PopupMenuItem& entry = items_[static_cast<std::size_t>(item)];
    return {0, entry.top, width_, kBandHeight};
}

void CChoicePopupMenu::setHighlighted(int item) {
    const int old = highlighted_;
    highlighted_ = item;
    if (window_ == nullptr) {
        return;
    }
    if (old >= 0) {
        window_->update(itemBand(old));
    }
    if (item >= 0) {
        window_->update(itemBand(item));
    }
}

void CChoicePopupMenu::paint(QWidget& window) {
    QPainter painter(&window);
    const int width = window.width();
    const int height = window.height();
    painter.fillRect(0, 0, width, height, colours.background);
    painter.setPen(colours.frame);
    painter.drawRect(0, 0, width - 1, height - 1);

    for (std::size_t i = 0; i < items_.size(); ++i) {
        const PopupMenuItem& item = items_[i];
        const bool highlighted = static_cast<int>(i) == highlighted_;
        if ((item.flags & PopupMenuItem::Separator) != 0) {
            painter.setPen(colours.frame);
            painter.drawLine(0, item.top + 2, width - 1, item.top + 2);
            continue;
        }
        int bandLeft = kBandLeft;
        if (item.image >= 0) {
            // A 16 x 16 frame around the image, raised while the item is highlighted.
            const QColor upperLeft = highlighted ? colours.light3d : colours.background;
            const QColor lowerRight = highlighted ? colours.shadow3d : colours.background;
            painter.setPen(upperLeft);
            painter.drawLine(3, item.top, 19, item.top);
            painter.drawLine(3, item.top, 3, item.top + 15);
            painter.setPen(lowerRight);
            painter.drawLine(3, item.top + 15, 19, item.top + 15);
            painter.drawLine(19, item.top, 19, item.top + 15);
            if (!imageStrip_.isNull()) {
                painter.drawPixmap(QPoint(4, item.top + 1), imageStrip_,
                                   QRect(item.image * kImageWidth, 0, kImageWidth, kImageHeight));
            }
            bandLeft = kBandLeftWithImage;
        }
        painter.fillRect(QRect(bandLeft, item.top, width - 2 - bandLeft, kBandHeight),
                         highlighted ? colours.highlight : colours.background);
        const bool bold = (item.flags & PopupMenuItem::Bold) != 0;
        painter.setFont(bold ? boldFont_ : normalFont_);
        const int lineHeight = bold ? boldLineHeight_ : normalLineHeight_;
        QColor textColour = colours.text;
        if (highlighted) {
            textColour = colours.highlightText;
        } else if ((item.flags & PopupMenuItem::Greyed) != 0) {
            textColour = colours.greyedText;
        }
        painter.setPen(textColour);
        if (static_cast<int>(i) == currentItem && item.image < 0) {
            drawTick(painter, item.top);
        }
        const int textTop = item.top + (kItemHeight - lineHeight) / 2;
        painter.drawText(QRect(kTextLeft, textTop, width, lineHeight),
                         Qt::TextShowMnemonic | Qt::TextDontClip | Qt::AlignLeft | Qt::AlignTop,
                         item.text);
    }
}

void CChoicePopupMenu::drawTick(QPainter& painter, int itemTop) {
    // In the image column, which text items without an image leave empty.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen = painter.pen();
    pen.setWidthF(2.0);
    painter.setPen(pen);
    const QPointF points[] = {{7.0, itemTop + 8.5}, {10.0, itemTop + 11.5}, {16.0, itemTop + 5.0}};
    painter.drawPolyline(points, 3);
    painter.restore();
}

void CChoicePopupMenu::mouseMoved(QPoint p) {
    const int item = itemAt(p);
    if (highlighted_ >= 0 && item != highlighted_) {
        setHighlighted(-1);
    }
    if (item >= 0 && item != highlighted_) {
        setHighlighted(item);
    }
}

void CChoicePopupMenu::setOpeningClick(QPoint globalPosition, quint64 timestamp) {
    hasOpeningClick_ = true;
    openingClickPosition_ = globalPosition;
    openingClickTime_ = timestamp;
}

bool CChoicePopupMenu::completesOpeningDoubleClick(QPoint globalPoint, quint64 timestamp) const {
    if (!hasOpeningClick_ || timestamp < openingClickTime_) {
        return false;
    }
    const QStyleHints* hints = QGuiApplication::styleHints();
    const QPoint moved = globalPoint - openingClickPosition_;
    return timestamp - openingClickTime_ <= quint64(hints->mouseDoubleClickInterval()) &&
           std::max(std::abs(moved.x()), std::abs(moved.y())) <= hints->mouseDoubleClickDistance();
}

void CChoicePopupMenu::buttonPressed(Qt::MouseButton button, QPoint p, QPoint globalPoint,
                                     quint64 timestamp) {
    if (!isOutsideItemArea(p)) {
        return;
    }
    // The window system follows the second press of a double click with a double-click
    // event of the same time: both are that press.
    if (swallowedPressTime_ && *swallowedPressTime_ == timestamp) {
        return;
    }
    if (completesOpeningDoubleClick(globalPoint, timestamp)) {
        // Its release is the end of the opening click too.
        hasOpeningClick_ = false;
        swallowedPressTime_ = timestamp;
        (button == Qt::LeftButton ? leftWasDown_ : rightWasDown_) = true;
        return;
    }
    dismiss();
}

void CChoicePopupMenu::buttonReleased(Qt::MouseButton button, QPoint p) {
    // The release that ends the click which opened the menu picks nothing.
    bool& wasDown = button == Qt::LeftButton ? leftWasDown_ : rightWasDown_;
    if (wasDown) {
        wasDown = false;
        return;
    }
    if (isOutsideItemArea(p)) {
        dismiss();
        return;
    }
    if (highlighted_ >= 0 && items_[static_cast<std::size_t>(highlighted_)].id != 0) {
        pickItem(highlighted_);
    }
}

void CChoicePopupMenu::characterTyped(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    const QChar typed = text.at(0).toLower();
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const PopupMenuItem& item = items_[i];
        if ((item.flags &
             (PopupMenuItem::Separator | PopupMenuItem::Disabled | PopupMenuItem::Greyed)) != 0) {
            continue;
        }
        const qsizetype mark = item.text.indexOf(QLatin1Char('&'));
        if (mark >= 0 && mark + 1 < item.text.size() && item.text.at(mark + 1).toLower() == typed) {
            pickItem(static_cast<int>(i));
            return;
        }
    }
}

bool CChoicePopupMenu::isReachableByKeys(int item) const {
    const PopupMenuItem& entry = items_[static_cast<std::size_t>(item)];
    return (entry.flags & (PopupMenuItem::Separator | PopupMenuItem::Disabled)) == 0;
}

void CChoicePopupMenu::navigationKey(int key) {
    const int count = static_cast<int>(items_.size());
    switch (key) {
    case Qt::Key_Escape:
        dismiss();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (highlighted_ >= 0 && items_[static_cast<std::size_t>(highlighted_)].id != 0) {
            pickItem(highlighted_);
        }
        return;
    default:
        break;
    }
    // Up and Down step over separators and disabled items and wrap at the ends.
    const bool down = key == Qt::Key_Down || key == Qt::Key_Home;
    int item = key == Qt::Key_Home ? -1 : key == Qt::Key_End ? count : highlighted_;
    if (item < 0 && !down) {
        item = count;
    }
    for (int tried = 0; tried < count; ++tried) {
        item = down ? (item + 1) % count : (item - 1 + count) % count;
        if (isReachableByKeys(item)) {
            setHighlighted(item);
            return;
        }
    }
}

void CChoicePopupMenu::pickItem(int item) {
    result_ = items_[static_cast<std::size_t>(item)].id;
    closeWindow();
}

void CChoicePopupMenu::dismiss() {
    setHighlighted(-1);
    result_ = 0;
    closeWindow();
}

void CChoicePopupMenu::closeWindow() {
    if (window_ != nullptr) {
        window_->close();
    }
}

void CChoicePopupMenu::windowClosed() {
    mode_ = Closed;
    window_ = nullptr;
    if (!modal_ && result_ != 0) {
        if (owner_ != nullptr) {
            QCoreApplication::postEvent(owner_, new ChoiceCommandEvent(result_));
        }
        emit picked(result_);
    }
    if (loop_ != nullptr) {
        loop_->quit();
    }
}

} // namespace morvik
