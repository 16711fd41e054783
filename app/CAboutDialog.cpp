#include "app/CAboutDialog.h"

#include "controls/CCreditsWindow.h"

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
    setFixedSize(sizeHint());
}

void CAboutDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        creditsArmed_ = true;
    } else if (event->button() == Qt::RightButton && creditsArmed_) {
        creditsArmed_ = false;
        auto* credits = new CCreditsWindow(this);
        credits->move(mapToGlobal(QPoint(5, 2)));
        credits->show();
        credits_ = credits;
    }
    QDialog::mousePressEvent(event);
}

} // namespace morvik
