#include "controls/CCreditsWindow.h"

#include "controls/CRollingTextCtrl.h"
#include "controls/DialogUnits.h"

#include <QMouseEvent>
#include <QVBoxLayout>

namespace morvik {

const QString CCreditsWindow::kCreditsText = QStringLiteral(
    "+|+++++|++++++++++||Quorvane Morvik||Version " MORVIK_VERSION "||Written by Ilse Varrow||"
    "Made by Quorvane Networks||+++++++++++++++++++++|||");

CCreditsWindow::CCreditsWindow(QWidget* parent)
    : QFrame(parent), rollingText_(new CRollingTextCtrl(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::WinPanel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    const DialogUnits units(font());
    setFixedSize(units.size(kWidthUnits, kHeightUnits));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(frameWidth(), frameWidth(), frameWidth(), frameWidth());
    layout->addWidget(rollingText_);
    // Clicks reach the window through the text.
    rollingText_->setAttribute(Qt::WA_TransparentForMouseEvents);

    rollingText_->SetLines(kCreditsText, QLatin1Char('|'));
    rollingText_->SetTickInterval(0, 0);
    rollingText_->StartRolling();
}

void CCreditsWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        close();
        return;
    }
    QFrame::mousePressEvent(event);
}

} // namespace morvik
