#pragma once

#include "controls/CCellEditor.h"

#include <QPointer>
#include <QTableView>
#include <functional>
#include <optional>

namespace morvik {

// A report list whose cells can be edited in place: cell hit testing, the in-place editor and
// the storing of its text. Built on QTableView, which brings the grid lines, pixel-exact column
// sections and per-pixel horizontal scrolling that the report list needs; rows scroll by whole
// items like a report list.
class CCellEditList : public QTableView {
    Q_OBJECT
public:
    struct Cell {
        int row = -1;
        int column = -1;
        friend bool operator==(const Cell&, const Cell&) = default;
    };

    explicit CCellEditList(QWidget* parent = nullptr);

    // The cell under a point of the client area (the viewport), or none.
    std::optional<Cell> HitTestCell(QPoint clientPoint) const;
    // Opens the in-place editor on a cell; none when the row cannot be shown or the column is
    // missing or narrower than 5 pixels.
    CCellEditor* EditCell(int row, int column);

    // The editor open now, if any.
    CCellEditor* openEditor() const { return editor_.data(); }
    // Ends an open edit with its text, as a loss of focus does.
    void commitOpenEdit();
    // Ends an open edit without storing its text, as Esc does.
    void cancelOpenEdit();

    // Full-row bounds of a row in client coordinates: every column, scrolled as shown.
    QRect rowBounds(int row) const;
    int firstVisibleRow() const;
    // Rows that fit the client area entirely.
    int rowsPerPage() const;

    // The text appended on Enter in the editor of a row (empty: nothing appended).
    void setUnitOfRow(std::function<QString(int row)> unitOfRow) {
        unitOfRow_ = std::move(unitOfRow);
    }

protected:
    void storeEditedText(int row, int column, const std::optional<QString>& text);

private:
    bool ensureRowVisible(int row);
    void takeFocusBeforeScroll();

    QPointer<CCellEditor> editor_;
    std::function<QString(int row)> unitOfRow_;
};

} // namespace morvik
