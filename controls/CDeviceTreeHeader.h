#pragma once

#include <QHeaderView>
#include <QIcon>
#include <QList>
#include <QMap>
#include <QPixmap>

namespace morvik {

// The device list's column header. It draws its items itself: the title in a 14-pixel font,
// aligned as its column, and the column's sort mark image from the image list it was given.
class CDeviceTreeHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit CDeviceTreeHeader(QWidget* parent = nullptr);

    // Sets the images (all of one size) and gives the previous ones.
    QList<QIcon> SetImageList(QList<QIcon> images);
    const QList<QIcon>& imageList() const { return images_; }
    // `image` -1 removes the column's image.
    void SetColumnImage(int column, int image);
    int GetColumnImage(int column) const;

    // The section under the button while the left button is held on it, or -1.
    int pressedSection() const { return pressedSection_; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QList<QIcon> images_;
    QMap<int, int> columnImages_;
    int pressedSection_ = -1;
};

} // namespace morvik
