#include "app/CAboutDialog.h"

#include "controls/CCreditsWindow.h"
#include "controls/DialogUnits.h"
#include "controls/FixedSizeDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace morvik {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About morvik"));
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(
        QIcon(QStringLiteral(":/icons/morvik-48.png")).pixmap(QSize(48, 48), devicePixelRatioF()));
    auto* product = new QLabel(QStringLiteral("Quorvane Morvik Version " MORVIK_VERSION), this);
    auto* copyright = new QLabel(QStringLiteral("Copyright (C) 2024 Quorvane Networks"), this);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(product, 0, 1);
    layout->addWidget(copyright, 1, 1);
    layout->addWidget(buttons, 0, 2, 2, 1, Qt::AlignTop);
    layout->setHorizontalSpacing(16);
    // Room for the credits window over the box's corner.
    const QSize credits =
        DialogUnits(font()).size(CCreditsWindow::kWidthUnits, CCreditsWindow::kHeightUnits);
    setFixedSize(
        sizeHint().expandedTo(credits + QSize(2 * kCreditsCorner.x(), 2 * kCreditsCorner.y())));
    makeFixedSizeDialog(*this);
}

void CAboutDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        creditsArmed_ = true;
    } else if (event->button() == Qt::RightButton && creditsArmed_) {
        creditsArmed_ = false;
        // A window inside the box rather than a window of its own, which a compositor may put
        // anywhere: so it always opens over the box's corner.
        auto* credits = new CCreditsWindow(this);
        credits->move(kCreditsCorner);
        credits->raise();
        credits->show();
        credits_ = credits;
    }
    QDialog::mousePressEvent(event);
}

} // namespace morvik
