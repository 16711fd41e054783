#include "controls/CCellEditor.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <utility>

namespace morvik {

namespace {

bool isEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Keys that belong to the editor even where the main window binds them to commands.
bool isEditorKey(const QKeyEvent& key) {
    return isEnter(key.key()) || key.key() == Qt::Key_Escape || key.key() == Qt::Key_Delete ||
           (key.modifiers() & Qt::ControlModifier) != 0;
}

} // namespace

CCellEditor::CCellEditor(int row, int column, QString initialText, QWidget* list,
                         QWidget* clientArea, std::function<QString(int row)> unitOfRow)
    : QLineEdit(clientArea), row_(row), column_(column), initialText_(std::move(initialText)),
      list_(list), unitOfRow_(std::move(unitOfRow)) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFrame(true);
    connect(this, &QLineEdit::textEdited, this, [this] { growToText(); });
}

bool CCellEditor::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && isEditorKey(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void CCellEditor::keyPressEvent(QKeyEvent* event) {
    if (isEnter(event->key())) {
        appendUnit();
        returnFocusToList();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        cancelled_ = true;
        returnFocusToList();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CCellEditor::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A pop-up of the editor itself (its context menu) leaves the edit open.
    if (event->reason() != Qt::PopupFocusReason) {
        finishEdit();
    }
}

void CCellEditor::finishEdit() {
    if (ended_) {
        return;
    }
    ended_ = true;
    std::optional<QString> finalText;
    if (!cancelled_) {
        finalText = text();
    }
    emit editEnded(row_, column_, finalText);
    hide();
    deleteLater();
}

void CCellEditor::cancelEdit() {
    cancelled_ = true;
    finishEdit();
}

void CCellEditor::appendUnit() {
    const QString unit = unitOfRow_ ? unitOfRow_(row_) : QString();
    if (unit.isEmpty()) {
        return;
    }
    QString value = text();
    const qsizetype blank = value.indexOf(QLatin1Char(' '));
    if (blank >= 0) {
        value.truncate(blank);
    }
    setText(value + QStringLiteral("  ") + unit);
}

void CCellEditor::growToText() {
    const int wanted = QFontMetrics(font()).horizontalAdvance(text()) + 5;
    if (wanted <= width()) {
        return;
    }
    const int room = parentWidget() != nullptr ? parentWidget()->width() - x() : wanted;
    const int grown = std::min(wanted, room);
    if (grown > width()) {
        resize(grown, height());
    }
}

void CCellEditor::returnFocusToList() {
    if (list_ != nullptr) {
        list_->setFocus(Qt::OtherFocusReason);
    }
    // The list may not take the focus (its window inactive): the edit ends all the same.
    finishEdit();
}

} // namespace morvik
