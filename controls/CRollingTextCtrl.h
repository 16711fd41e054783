#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QStringList>
#include <QWidget>
#include <array>

namespace morvik {

// White-on-black lines of text that scroll up one pixel per tick, one line after another,
// endlessly. A line's last character picks its style and is not drawn: tab (large, red), line
// feed (yellow), carriage return (cyan); any other line is plain white. A line ending with "^"
// names an image to draw instead of text.
class CRollingTextCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFirstLineHeight = 15;

    explicit CRollingTextCtrl(QWidget* parent = nullptr);

    // Splits `text` at every `separator` and rewinds to the first line.
    void SetLines(const QString& text, QChar separator);
    // Stores `interval` (ms) at `index` unless it is 0, and uses that index from now on.
    void SetTickInterval(int index, int interval);
    // Starts scrolling from the first line; nothing happens without lines.
    void StartRolling();

    // One tick of the scrolling, as the timer makes it.
    void tick();

    const QStringList& lines() const { return lines_; }
    bool isRolling() const { return timerId_ != 0; }
    int tickInterval() const { return intervals_[static_cast<std::size_t>(intervalIndex_)]; }
    int tickCounter() const { return tickCounter_; }
    // The line scrolling in (-1 before the first starts), its height and how much of it shows.
    int currentLine() const { return currentLine_; }
    int currentLineHeight() const { return currentLineHeight_; }
    int scrolledIn() const { return scrolledIn_; }
    bool firstPass() const { return firstPass_; }
    const QPixmap& picture() const { return picture_; }
    // The picture's size in logical pixels.
    QSize pictureSize() const;

    struct LineStyle {
        int pixelHeight;
        int weight;
        QColor colour;
        bool isImage;
    };
    static LineStyle styleOf(const QString& line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static QFont fontFor(const LineStyle& style);
    static QString textOf(const QString& line);
    void drawCurrentLine();
    void resetPicture();
    QPixmap imageAt(const QString& path) const;

    QStringList lines_;
    std::array<int, 3> intervals_{70, 40, 10};
    int intervalIndex_ = 1;
    int timerId_ = 0;
    int tickCounter_ = 1;
    int nextLine_ = 0;
    int currentLine_ = -1;
    int currentLineHeight_ = kFirstLineHeight;
    int scrolledIn_ = 0;
    bool firstPass_ = true;
    int widestLine_ = 0;
    bool imageScrolling_ = false;
    QPixmap picture_;
    int pictureScale_ = 1;
};

} // namespace morvik
