#include "controls/CCellEditList.h"

#include "controls/CCellEditor.h"

#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

namespace morvik {

namespace {

constexpr int kNarrowestEditableColumn = 5;
constexpr int kEditorInset = 4;
constexpr int kEditorWidthLoss = 3;

} // namespace

CCellEditList::CCellEditList(QWidget* parent) : QTableView(parent) {
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // One stop in the window's Tab chain: the arrows move between cells, Tab leaves the list.
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Rows must not move under an open editor: any scroll action stores the edit first.
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this] { takeFocusBeforeScroll(); });
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this] { takeFocusBeforeScroll(); });
}

QRect CCellEditList::rowBounds(int row) const {
    return {-horizontalOffset(), rowViewportPosition(row), horizontalHeader()->length(),
            rowHeight(row)};
}

int CCellEditList::firstVisibleRow() const {
    const int row = rowAt(0);
    return row < 0 ? 0 : row;
}

int CCellEditList::rowsPerPage() const {
    const int height = verticalHeader()->defaultSectionSize();
    return height > 0 ? viewport()->height() / height : 0;
}

std::optional<CCellEditList::Cell> CCellEditList::HitTestCell(QPoint clientPoint) const {
    if (model() == nullptr) {
        return std::nullopt;
    }
    const int rows = model()->rowCount(rootIndex());
    const int columns = horizontalHeader()->count();
    const int first = firstVisibleRow();
    const int last = std::min(first + rowsPerPage(), rows - 1);
    for (int row = first; row <= last; ++row) {
        const QRect bounds = rowBounds(row);
        if (!bounds.contains(clientPoint)) {
            continue;
        }
        int left = bounds.left();
        for (int column = 0; column < columns; ++column) {
            const int right = left + columnWidth(column);
            // Both edges belong to the column; the left column wins a shared edge.
            if (clientPoint.x() >= left && clientPoint.x() <= right) {
                return Cell{row, column};
            }
            left = right;
        }
    }
    return std::nullopt;
}

bool CCellEditList::ensureRowVisible(int row) {
    if (model() == nullptr || row < 0 || row >= model()->rowCount(rootIndex())) {
        return false;
    }
    const int top = rowViewportPosition(row);
    if (top + rowHeight(row) <= 0) {
        verticalScrollBar()->setValue(row);
    } else if (top >= viewport()->height()) {
        verticalScrollBar()->setValue(std::max(0, row - std::max(1, rowsPerPage()) + 1));
    }
    const int shownTop = rowViewportPosition(row);
    return shownTop + rowHeight(row) > 0 && shownTop < viewport()->height();
}

CCellEditor* CCellEditList::EditCell(int row, int column) {
    commitOpenEdit();
    if (!ensureRowVisible(row)) {
        return nullptr;
    }
    if (column < 0 || column >= horizontalHeader()->count() ||
        columnWidth(column) < kNarrowestEditableColumn) {
        return nullptr;
    }
    const int clientRight = viewport()->width();
    auto columnStart = [&] {
        int x = rowBounds(row).left();
        for (int c = 0; c < column; ++c) {
            x += columnWidth(c);
        }
        return x;
    };
    int x0 = columnStart();
    if (x0 < 0 || x0 > clientRight) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + x0);
        // Where the column really starts now: the scroll range may not allow the whole shift.
        x0 = columnStart();
    }
    const QRect bounds = rowBounds(row);
    const int left = x0 + kEditorInset;
    const int right = std::min(left + columnWidth(column) - kEditorWidthLoss, clientRight);
    const QRect editorRect(left, bounds.top(), std::max(0, right - left), bounds.height());

    const QModelIndex cell = model()->index(row, column, rootIndex());
    const QVariant alignment = model()->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole);
    const Qt::Alignment horizontal =
        (alignment.isValid() ? Qt::Alignment(alignment.toInt()) : Qt::AlignLeft) &
        Qt::AlignHorizontal_Mask;

    auto* editor = new CCellEditor(row, column, cell.data(Qt::EditRole).toString(), this,
                                   viewport(), unitOfRow_);
    connect(editor, &CCellEditor::editEnded, this,
            [this, editor](int endedRow, int endedColumn, std::optional<QString> text) {
                if (editor_ == editor) {
                    editor_ = nullptr;
                }
                storeEditedText(endedRow, endedColumn, text);
            });
    editor->setFont(font());
    editor->setAlignment(horizontal | Qt::AlignVCenter);
    editor->setGeometry(editorRect);
    editor->setText(cell.data(Qt::EditRole).toString());
    editor->show();
    editor->setFocus(Qt::OtherFocusReason);
    editor->selectAll();
    editor_ = editor;
    return editor;
}

void CCellEditList::commitOpenEdit() {
    if (editor_ != nullptr) {
        editor_->finishEdit();
    }
}

void CCellEditList::cancelOpenEdit() {
    if (editor_ != nullptr) {
        editor_->cancelEdit();
    }
}

void CCellEditList::storeEditedText(int row, int column, const std::optional<QString>& text) {
    if (!text || model() == nullptr) {
        return;
    }
    const QModelIndex cell = model()->index(row, column, rootIndex());
    if (cell.isValid()) {
        model()->setData(cell, *text, Qt::EditRole);
    }
}

void CCellEditList::takeFocusBeforeScroll() {
    if (!hasFocus()) {
        setFocus(Qt::OtherFocusReason);
    }
    commitOpenEdit();
}

} // namespace morvik
