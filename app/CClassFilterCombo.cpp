#include "app/CClassFilterCombo.h"

#include <QWheelEvent>

namespace morvik {

const QString CClassFilterCombo::kAllClasses = QStringLiteral("All classes");

CClassFilterCombo::CClassFilterCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setFixedWidth(kWidth);
    setMaxVisibleItems(12);
    setFocusPolicy(Qt::StrongFocus);
    addItem(kAllClasses);
    setCurrentIndex(0);
    connect(this, &QComboBox::activated, this, &CClassFilterCombo::onActivated);
}

void CClassFilterCombo::resetEntries() {
    clear();
    chosenIndex_ = -1;
}

void CClassFilterCombo::addEntry(std::string_view name) {
    addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
}

void CClassFilterCombo::selectIndex(int index) {
    setCurrentIndex(index);
    chosenIndex_ = currentIndex();
}

void CClassFilterCombo::onActivated(int index) {
    if (index == chosenIndex_) {
        return;
    }
    chosenIndex_ = index;
    emit classFilterChosen(index);
}

void CClassFilterCombo::wheelEvent(QWheelEvent* event) {
    event->accept();
}

} // namespace morvik
