#include "view/ConfirmDialog.h"

#include "controls/DialogUnits.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <algorithm>

namespace morvik {
namespace {

// A line keeps its place; it grows to the right when the font needs more room than the
// layout gives it, rather than cutting the question short.
QLabel* makeLine(QWidget* parent, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    QRect fitted = geometry;
    fitted.setWidth(std::max(geometry.width(), label->fontMetrics().horizontalAdvance(text) + 4));
    label->setGeometry(fitted);
    return label;
}

} // namespace

ConfirmDialog::ConfirmDialog(const QString& caption, const QString& line1, const QString& line2,
                             const QString& line3, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(caption);
    setModal(true);
    const DialogUnits units(font());
    setFixedSize(units.size(170, 68));

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(units.rect(4, 4, 162, 44));

    auto* icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()
                        ->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this)
                        .pixmap(iconSize, iconSize));
    icon->setGeometry(QRect(units.point(8, 7), QSize(iconSize, iconSize)));

    const int lineHeight = units.y(9);
    lines_[0] = makeLine(this, line1, QRect(units.point(32, 12), QSize(units.x(122), lineHeight)));
    lines_[1] = makeLine(this, line2, QRect(units.point(8, 27), QSize(units.x(155), lineHeight)));
    lines_[2] = makeLine(this, line3, QRect(units.point(8, 38), QSize(units.x(158), lineHeight)));

    int right = units.x(170);
    for (const QLabel* line : lines_) {
        right = std::max(right, line->geometry().right() + units.x(8));
    }
    setFixedSize(right, units.y(68));
    frame->setGeometry(QRect(units.point(4, 4), QSize(right - units.x(8), units.y(44))));

    yes_ = new QPushButton(QStringLiteral("Yes"), this);
    yes_->setGeometry(units.rect(85, 50, 36, 11).adjusted(0, 0, 0, 4));
    yes_->setDefault(true);
    yes_->setAutoDefault(true);
    no_ = new QPushButton(QStringLiteral("No"), this);
    no_->setGeometry(units.rect(126, 50, 36, 11).adjusted(0, 0, 0, 4));
    // Enter presses the button that has the focus: a No reached with Tab stays a No.
    no_->setAutoDefault(true);
    connect(yes_, &QPushButton::clicked, this, &QDialog::accept);
    connect(no_, &QPushButton::clicked, this, &QDialog::reject);
    yes_->setFocus();
}

bool ConfirmDialog::ask(const QString& caption, const QString& line1, const QString& line2,
                        const QString& line3, QWidget* parent, Default preferred) {
    ConfirmDialog dialog(caption, line1, line2, line3, parent);
    if (preferred == Default::No) {
        dialog.makeNoTheDefault();
    }
    return dialog.exec() == QDialog::Accepted;
}

void ConfirmDialog::makeNoTheDefault() {
    yes_->setDefault(false);
    no_->setDefault(true);
    no_->setFocus();
}

QLabel* ConfirmDialog::line(int number) const {
    return number >= 1 && number <= 3 ? lines_[number - 1] : nullptr;
}

} // namespace morvik
