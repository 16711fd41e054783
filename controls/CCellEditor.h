#pragma once

#include <QLineEdit>
#include <QString>
#include <functional>
#include <optional>

namespace morvik {

// The single-line editor laid over one cell of a CCellEditList while it is edited. It ends
// when it loses the keyboard focus, for whatever reason, and then announces the final text
// (nothing when Esc cancelled it) and deletes itself.
class CCellEditor final : public QLineEdit {
    Q_OBJECT
public:
    // `unitOfRow` gives the unit text appended on Enter (empty: the text stays as typed).
    // The editor lives in the list's client area `clientArea`; `list` takes the focus back.
    CCellEditor(int row, int column, QString initialText, QWidget* list, QWidget* clientArea,
                std::function<QString(int row)> unitOfRow);

    int row() const { return row_; }
    int column() const { return column_; }
    const QString& initialText() const { return initialText_; }
    bool cancelled() const { return cancelled_; }

    // Ends the edit now, as a loss of focus would.
    void finishEdit();
    // Ends the edit now without storing anything, as Esc does.
    void cancelEdit();

signals:
    void editEnded(int row, int column, std::optional<QString> text);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void appendUnit();
    void growToText();
    void returnFocusToList();

    int row_;
    int column_;
    QString initialText_;
    QWidget* list_;
    std::function<QString(int row)> unitOfRow_;
    bool cancelled_ = false;
    bool ended_ = false;
};

} // namespace morvik
