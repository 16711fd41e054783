#pragma once

#include "controls/DeviceTreeRow.h"
#include "controls/DeviceTreeSelection.h"

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QTreeWidget>
#include <vector>

namespace morvik {

class CDeviceTreeHeader;

// A multi-column tree of device rows. The selection rules live in DeviceTreeSelection; the tree
// hands its rows to them for each click and key, shows the result and passes on what they ask
// for: every selection made with the left mouse button, and Enter, ask the parameter pane for a
// fresh read (`readParametersRequested`).
class CDeviceTreeList : public QTreeWidget {
    Q_OBJECT
public:
    // The rows' own colours, the same in every theme.
    static const QColor kBackground;
    static const QColor kText;
    enum Alignment { AlignLeft = 0, AlignRight = 1, AlignCentre = 2 };

    explicit CDeviceTreeList(QWidget* parent = nullptr);
    ~CDeviceTreeList() override;

    // Columns.
    int InsertColumn(int position, const QString& title, int alignment, int width = -1);
    int GetColumnWidth(int column) const;
    int GetColumnAlignment(int column) const;
    int RecalcTotalWidth();
    int totalWidth() const { return totalWidth_; }
    CDeviceTreeHeader* treeHeader() const { return header_; }

    // The row images; every row shows the first.
    void setRowImages(QList<QIcon> images);
    const QList<QIcon>& rowImages() const { return rowImages_; }

    // Rows. `after` nullptr inserts at the end of `parent`'s children (nullptr = top level).
    QTreeWidgetItem* InsertItem(const QString& text, QTreeWidgetItem* parent = nullptr,
                                QTreeWidgetItem* after = nullptr);
    // A row showing `unit`: its six texts are the row's first fields.
    QTreeWidgetItem* InsertItem(const DeviceRecord& unit, QTreeWidgetItem* parent = nullptr,
                                QTreeWidgetItem* after = nullptr);
    void SetItemText(QTreeWidgetItem* item, int column, const QString& text);
    QString GetItemText(const QTreeWidgetItem* item, int column) const;
    QString GetItemTextAt(int position, int column) const;
    void DeleteAllItems();
    // Sorts the direct children of `parent` (nullptr = the top level) by one column's texts.
    void SortChildren(QTreeWidgetItem* parent, int column, bool ascending);
    DeviceTreeRow* rowOf(QTreeWidgetItem* item) const;

    // Selection, in display order.
    int GetSelectedCount() const;
    QTreeWidgetItem* GetFirstSelected() const;
    QTreeWidgetItem* GetNextSelected(QTreeWidgetItem* item) const;
    void ClearSelection(bool keepCaret);
    bool SelectRange(QTreeWidgetItem* anchor, QTreeWidgetItem* item);
    QTreeWidgetItem* caret() const { return currentItem(); }
    QTreeWidgetItem* anchor() const { return itemOf(selection_.anchor()); }
    bool isRowSelected(const QTreeWidgetItem* item) const;
    std::vector<QTreeWidgetItem*> visibleItems() const;

    // The (empty) label of a row right of its image, in viewport coordinates.
    QRect labelRect(QTreeWidgetItem* item) const;
    int itemHeight() const;
    // The row under `position` (viewport coordinates), anywhere across its width.
    QTreeWidgetItem* rowAt(const QPoint& position) const;
    // Where the text of `column` starts and ends in viewport coordinates.
    int cellLeft(QTreeWidgetItem* item, int column) const;
    int cellWidth(QTreeWidgetItem* item, int column) const;

signals:
    // The parameter pane is to read the selected units afresh, for class group `group`.
    void readParametersRequested(int group);
    // Notifications of the platform's tree kind; nothing in the program acts on them.
    void selectionChanging(QTreeWidgetItem* item, const QPoint& position);
    void treeSelectionChanged(QTreeWidgetItem* item);
    void keyDown(int key);
    void beginDrag(QTreeWidgetItem* item, const QPoint& position);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The caret's frame spans the row: all of it is repainted when the focus comes and goes.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    friend class DeviceTreeCellDelegate;
    class Item;
    friend class Item;

    static DeviceTreeSelection::RowKey keyOf(const QTreeWidgetItem* item);
    static QTreeWidgetItem* itemOf(DeviceTreeSelection::RowKey key);
    // Hands every row as it stands to the selection rules, and shows what they made of it.
    void loadSelection();
    void showSelection();
    // Shows the step's outcome and passes on its notices; `key` for the key-down notice.
    void finishStep(const DeviceTreeSelection::Notices& notices, const QPoint& position,
                    int key = 0);
    QTreeWidgetItem* pageTarget(int key);
    QTreeWidgetItem* insertRow(DeviceTreeRow record, QTreeWidgetItem* parent,
                               QTreeWidgetItem* after);
    void forgetItems();

    CDeviceTreeHeader* header_;
    QList<QIcon> rowImages_;
    QList<int> alignments_;
    int totalWidth_ = 0;
    int sortColumn_ = 0;
    bool firstColumnInserted_ = false;

    DeviceTreeSelection selection_;
    QPoint pressPosition_;
};

} // namespace morvik
