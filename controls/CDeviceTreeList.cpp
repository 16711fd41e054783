#include "controls/CDeviceTreeList.h"

#include "controls/CDeviceTreeHeader.h"
#include "controls/DeviceTreeCellDelegate.h"
#include "controls/DeviceTreeCompare.h"
#include "controls/ReadableColours.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace morvik {

const QColor CDeviceTreeList::kBackground{250, 254, 218};
const QColor CDeviceTreeList::kText{0, 0, 0};

using namespace deviceTreeCells;

// A tree item whose texts live in its row record, sorted with the device list's comparison.
class CDeviceTreeList::Item : public QTreeWidgetItem {
public:
    Item(CDeviceTreeList& tree, DeviceTreeRow record)
        : QTreeWidgetItem(UserType + 1), tree_(tree), row(std::move(record)) {}

    QVariant data(int column, int role) const override {
        if (role == Qt::DisplayRole) {
            return row.field(column);
        }
        return QTreeWidgetItem::data(column, role);
    }
    bool operator<(const QTreeWidgetItem& other) const override {
        const auto* otherItem = dynamic_cast<const Item*>(&other);
        if (otherItem == nullptr) {
            return false;
        }
        return compareDeviceTreeTexts(row.field(tree_.sortColumn_),
                                      otherItem->row.field(tree_.sortColumn_)) < 0;
    }

    // The texts live in the record; the view learns of a change from here.
    void changed() { emitDataChanged(); }

    CDeviceTreeList& tree_;
    DeviceTreeRow row;
};

CDeviceTreeList::CDeviceTreeList(QWidget* parent)
    : QTreeWidget(parent), header_(new CDeviceTreeHeader(this)) {
    setHeader(header_);
    // Installing a header turns its clicks off while the tree itself does not sort.
    header_->setSectionsClickable(true);
    header_->setSortIndicatorShown(false);
    setColumnCount(0);
    setHeaderLabels({});
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformRowHeights(true);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    // The selected rows carry the list's own dotted frame (drawRow); the view's focus frame
    // across the row would be drawn by the style, in some styles as a tint over the text.
    setAllColumnsShowFocus(false);
    setIconSize(QSize(kImageSize, kImageSize));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFocusPolicy(Qt::StrongFocus);
    setItemDelegate(new DeviceTreeCellDelegate(*this));
    viewport()->setMouseTracking(true);
    connect(header_, &QHeaderView::sectionResized, this, [this] { RecalcTotalWidth(); });
}

CDeviceTreeList::~CDeviceTreeList() = default;

int CDeviceTreeList::InsertColumn(int position, const QString& title, int alignment, int width) {
    const int count = columnCount();
    position = std::clamp(position, 0, count);
    QStringList titles;
    for (int column = 0; column < count; ++column) {
        titles.append(headerItem()->text(column));
    }
    QList<int> widths;
    for (int column = 0; column < count; ++column) {
        widths.append(header_->sectionSize(column));
    }
    titles.insert(position, title);
    alignments_.insert(position, alignment);
    widths.insert(position, width >= 0 ? width : header_->defaultSectionSize());
    setColumnCount(count + 1);
    setHeaderLabels(titles);
    for (int column = 0; column <= count; ++column) {
        Qt::Alignment headerAlignment = Qt::AlignLeft;
        if (alignments_[column] == AlignRight) {
            headerAlignment = Qt::AlignRight;
        } else if (alignments_[column] == AlignCentre) {
            headerAlignment = Qt::AlignHCenter;
        }
        headerItem()->setTextAlignment(column, headerAlignment | Qt::AlignVCenter);
        header_->resizeSection(column, widths[column]);
    }
    if (!firstColumnInserted_) {
        firstColumnInserted_ = true;
        header_->SetColumnImage(0, 0);
    }
    RecalcTotalWidth();
    QPalette colours = palette();
    colours.setColor(QPalette::Base, kBackground);
    colours.setColor(QPalette::AlternateBase, kBackground);
    colours.setColor(QPalette::Text, kText);
    setPalette(colours);
    return position;
}

int CDeviceTreeList::GetColumnWidth(int column) const {
    if (column < 0 || column >= columnCount()) {
        return 0;
    }
    return header_->sectionSize(column);
}

int CDeviceTreeList::GetColumnAlignment(int column) const {
    if (column < 0 || column >= alignments_.size()) {
        return AlignLeft;
    }
    const int alignment = alignments_[column];
    return alignment == AlignRight || alignment == AlignCentre ? alignment : AlignLeft;
}

int CDeviceTreeList::RecalcTotalWidth() {
    totalWidth_ = 0;
    for (int column = 0; column < columnCount(); ++column) {
        totalWidth_ += header_->sectionSize(column);
    }
    return totalWidth_;
}

void CDeviceTreeList::setRowImages(QList<QIcon> images) {
    rowImages_ = std::move(images);
    viewport()->update();
}

QTreeWidgetItem* CDeviceTreeList::InsertItem(const QString& text, QTreeWidgetItem* parent,
                                             QTreeWidgetItem* after) {
    return insertRow(DeviceTreeRow(text), parent, after);
}

QTreeWidgetItem* CDeviceTreeList::InsertItem(const DeviceRecord& unit, QTreeWidgetItem* parent,
                                             QTreeWidgetItem* after) {
    return insertRow(DeviceTreeRow(unit), parent, after);
}

QTreeWidgetItem* CDeviceTreeList::insertRow(DeviceTreeRow record, QTreeWidgetItem* parent,
                                            QTreeWidgetItem* after) {
    auto* item = new Item(*this, std::move(record));
    // An `after` that is not a child of `parent` puts the row at the end.
    if (parent == nullptr) {
        const int afterPosition = after != nullptr ? indexOfTopLevelItem(after) : -1;
        insertTopLevelItem(afterPosition >= 0 ? afterPosition + 1 : topLevelItemCount(), item);
    } else {
        const int afterPosition = after != nullptr ? parent->indexOfChild(after) : -1;
        parent->insertChild(afterPosition >= 0 ? afterPosition + 1 : parent->childCount(), item);
    }
    return item;
}

DeviceTreeRow* CDeviceTreeList::rowOf(QTreeWidgetItem* item) const {
    auto* deviceItem = item != nullptr && item->type() == QTreeWidgetItem::UserType + 1
                           ? static_cast<Item*>(item)
                           : nullptr;
    return deviceItem != nullptr ? &deviceItem->row : nullptr;
}

void CDeviceTreeList::SetItemText(QTreeWidgetItem* item, int column, const QString& text) {
    DeviceTreeRow* row = rowOf(item);
    if (row == nullptr) {
        return;
    }
    row->setField(column, text);
    static_cast<Item*>(item)->changed();
}

QString CDeviceTreeList::GetItemText(const QTreeWidgetItem* item, int column) const {
    const DeviceTreeRow* row = rowOf(const_cast<QTreeWidgetItem*>(item));
    return row != nullptr ? row->field(column) : QString();
}

QString CDeviceTreeList::GetItemTextAt(int position, int column) const {
    return GetItemText(topLevelItem(position), column);
}

void CDeviceTreeList::DeleteAllItems() {
    setUpdatesEnabled(false);
    forgetItems();
    clear();
    setUpdatesEnabled(true);
}

void CDeviceTreeList::forgetItems() {
    selection_.forgetRows();
}

void CDeviceTreeList::SortChildren(QTreeWidgetItem* parent, int column, bool ascending) {
    sortColumn_ = column;
    const Qt::SortOrder order = ascending ? Qt::AscendingOrder : Qt::DescendingOrder;
    if (parent == nullptr) {
        if (column >= 0 && column < columnCount()) {
            sortItems(column, order);
        }
    } else {
        parent->sortChildren(column, order);
    }
}

std::vector<QTreeWidgetItem*> CDeviceTreeList::visibleItems() const {
    // By position rather than itemBelow(), which looks every item up afresh: a probe of
    // hundreds of units walks the list once per reply.
    std::vector<QTreeWidgetItem*> items;
    items.reserve(static_cast<std::size_t>(topLevelItemCount()));
    const auto visit = [&items](const auto& self, QTreeWidgetItem* item) -> void {
        items.push_back(item);
        if (item->isExpanded()) {
            for (int child = 0; child < item->childCount(); ++child) {
                self(self, item->child(child));
            }
        }
    };
    for (int position = 0; position < topLevelItemCount(); ++position) {
        visit(visit, topLevelItem(position));
    }
    return items;
}

int CDeviceTreeList::GetSelectedCount() const {
    int count = 0;
    for (QTreeWidgetItem* item : visibleItems()) {
        count += isRowSelected(item) ? 1 : 0;
    }
    return count;
}

QTreeWidgetItem* CDeviceTreeList::GetFirstSelected() const {
    for (QTreeWidgetItem* item : visibleItems()) {
        if (isRowSelected(item)) {
            return item;
        }
    }
    return nullptr;
}

QTreeWidgetItem* CDeviceTreeList::GetNextSelected(QTreeWidgetItem* item) const {
    if (item == nullptr) {
        return nullptr;
    }
    const std::vector<QTreeWidgetItem*> items = visibleItems();
    auto next = std::find(items.begin(), items.end(), item);
    if (next == items.end()) {
        return nullptr;
    }
    for (++next; next != items.end(); ++next) {
        if (isRowSelected(*next)) {
            return *next;
        }
    }
    return nullptr;
}

void CDeviceTreeList::ClearSelection(bool keepCaret) {
    loadSelection();
    selection_.clearSelection(keepCaret);
    showSelection();
}

bool CDeviceTreeList::SelectRange(QTreeWidgetItem* anchor, QTreeWidgetItem* item) {
    loadSelection();
    const bool selected = selection_.selectRange(keyOf(anchor), keyOf(item));
    showSelection();
    return selected;
}

bool CDeviceTreeList::isRowSelected(const QTreeWidgetItem* item) const {
    return item != nullptr &&
           selectionModel()->isSelected(indexFromItem(const_cast<QTreeWidgetItem*>(item), 0));
}

DeviceTreeSelection::RowKey CDeviceTreeList::keyOf(const QTreeWidgetItem* item) {
    return reinterpret_cast<DeviceTreeSelection::RowKey>(item);
}

QTreeWidgetItem* CDeviceTreeList::itemOf(DeviceTreeSelection::RowKey key) {
    return reinterpret_cast<QTreeWidgetItem*>(key);
}

void CDeviceTreeList::loadSelection() {
    std::vector<DeviceTreeSelection::Row> rows;
    rows.reserve(static_cast<std::size_t>(topLevelItemCount()));
    const auto visit = [this, &rows](const auto& self, QTreeWidgetItem* item,
                                     bool visible) -> void {
        rows.push_back({keyOf(item), visible, isRowSelected(item)});
        for (int child = 0; child < item->childCount(); ++child) {
            self(self, item->child(child), visible && item->isExpanded());
        }
    };
    for (int position = 0; position < topLevelItemCount(); ++position) {
        visit(visit, topLevelItem(position), true);
    }
    selection_.setRows(std::move(rows), keyOf(currentItem()));
}

void CDeviceTreeList::showSelection() {
    QItemSelection shown;
    bool changed = false;
    QTreeWidgetItem* rangeStart = nullptr;
    QTreeWidgetItem* rangeEnd = nullptr;
    const auto closeRange = [&] {
        if (rangeStart != nullptr) {
            shown.select(indexFromItem(rangeStart), indexFromItem(rangeEnd));
        }
        rangeStart = nullptr;
    };
    for (const DeviceTreeSelection::Row& row : selection_.rows()) {
        QTreeWidgetItem* item = itemOf(row.key);
        changed = changed || row.selected != isRowSelected(item);
        if (!row.selected) {
            closeRange();
            continue;
        }
        // Neighbouring siblings make one range, so that a long selection stays cheap to ask.
        const bool continues = rangeStart != nullptr && rangeEnd->parent() == item->parent() &&
                               indexFromItem(rangeEnd).row() + 1 == indexFromItem(item).row();
        if (!continues) {
            closeRange();
            rangeStart = item;
        }
        rangeEnd = item;
    }
    closeRange();
    QTreeWidgetItem* caretItem = itemOf(selection_.caret());
    if (caretItem != currentItem()) {
        selectionModel()->setCurrentIndex(caretItem != nullptr ? indexFromItem(caretItem)
                                                               : QModelIndex(),
                                          QItemSelectionModel::NoUpdate);
    }
    if (changed) {
        selectionModel()->select(shown,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    if (selection_.caretPlaced() && caretItem != nullptr) {
        scrollToItem(caretItem);
    }
}

void CDeviceTreeList::finishStep(const DeviceTreeSelection::Notices& notices,
                                 const QPoint& position, int key) {
    QTreeWidgetItem* changedItem = itemOf(notices.selectionChanged.value_or(0));
    if (notices.selectionChanging) {
        emit selectionChanging(changedItem, position);
    }
    showSelection();
    if (notices.selectionChanged) {
        emit treeSelectionChanged(changedItem);
    }
    if (notices.keyDown) {
        emit keyDown(key);
    }
    if (notices.readParameters) {
        emit readParametersRequested(0);
    }
}

QTreeWidgetItem* CDeviceTreeList::pageTarget(int key) {
    const QModelIndex target =
        moveCursor(key == Qt::Key_PageUp ? MovePageUp : MovePageDown, Qt::NoModifier);
    return target.isValid() ? itemFromIndex(target) : currentItem();
}

QRect CDeviceTreeList::labelRect(QTreeWidgetItem* item) const {
    if (item == nullptr) {
        return {};
    }
    const QRect cell = visualRect(indexFromItem(item, 0));
    return QRect(cell.left() + kImageLeft + kImageSize + kLabelGap, cell.top(), kEmptyLabelWidth,
                 cell.height());
}

int CDeviceTreeList::itemHeight() const {
    QTreeWidgetItem* first = topLevelItem(0);
    return first != nullptr ? visualItemRect(first).height() : fontMetrics().height() + 4;
}

QTreeWidgetItem* CDeviceTreeList::rowAt(const QPoint& position) const {
    if (columnCount() == 0 || position.y() < 0) {
        return nullptr;
    }
    const int insideFirstColumn = header_->sectionViewportPosition(0) + 1;
    return itemAt(QPoint(insideFirstColumn, position.y()));
}

int CDeviceTreeList::cellLeft(QTreeWidgetItem* item, int column) const {
    if (column == 0) {
        return labelRect(item).left();
    }
    return header_->sectionViewportPosition(column);
}

int CDeviceTreeList::cellWidth(QTreeWidgetItem* item, int column) const {
    if (column == 0) {
        const int right = header_->sectionViewportPosition(0) + header_->sectionSize(0) - 2;
        return right - labelRect(item).left();
    }
    return GetColumnWidth(column);
}

namespace {
DeviceTreeSelection::Modifiers modifiersOf(Qt::KeyboardModifiers modifiers) {
    return {.shift = modifiers.testFlag(Qt::ShiftModifier),
            .ctrl = modifiers.testFlag(Qt::ControlModifier)};
}
} // namespace

void CDeviceTreeList::mousePressEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    QTreeWidgetItem* item = rowAt(position);
    if (event->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        if (item == nullptr) {
            // Below the last row: nothing to select, and nothing else changes.
            return;
        }
        pressPosition_ = position;
        loadSelection();
        finishStep(selection_.leftPress(keyOf(item), modifiersOf(event->modifiers())), position);
        return;
    }
    if (event->button() == Qt::RightButton) {
        if (item != nullptr && visualRect(indexFromItem(item, 0)).contains(position)) {
            loadSelection();
            selection_.rightPress(keyOf(item));
            showSelection();
        }
        return;
    }
    event->ignore();
}

void CDeviceTreeList::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    loadSelection();
    finishStep(selection_.leftRelease(modifiersOf(event->modifiers())),
               event->position().toPoint());
}

void CDeviceTreeList::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        if (selection_.pressedRow() != DeviceTreeSelection::kNoRow) {
            const QPoint moved = event->position().toPoint() - pressPosition_;
            const int distance = QApplication::startDragDistance();
            if (std::abs(moved.x()) > distance || std::abs(moved.y()) > distance) {
                const DeviceTreeSelection::Notices notices = selection_.dragStarted();
                emit beginDrag(itemOf(notices.dragged), event->position().toPoint());
            }
        }
        return;
    }
    QTreeWidget::mouseMoveEvent(event);
}

void CDeviceTreeList::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click selects nothing: the first one already did.
    event->accept();
}

void CDeviceTreeList::keyPressEvent(QKeyEvent* event) {
    using Key = DeviceTreeSelection::Key;
    const int key = event->key();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    std::optional<Key> selectionKey;
    switch (key) {
    case Qt::Key_Up:
        selectionKey = Key::Up;
        break;
    case Qt::Key_Down:
        selectionKey = Key::Down;
        break;
    case Qt::Key_PageUp:
        selectionKey = Key::PageUp;
        break;
    case Qt::Key_PageDown:
        selectionKey = Key::PageDown;
        break;
    case Qt::Key_Home:
        selectionKey = Key::Home;
        break;
    case Qt::Key_End:
        selectionKey = Key::End;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The keyboard's way to ask for the selected units' parameters, as a click does.
        selectionKey = Key::Enter;
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        horizontalScrollBar()->triggerAction(key == Qt::Key_Left
                                                 ? QAbstractSlider::SliderSingleStepSub
                                                 : QAbstractSlider::SliderSingleStepAdd);
        return;
    default:
        // Everything else belongs to the window around the list (F5, F6, shortcuts).
        event->ignore();
        return;
    }
    const bool page = *selectionKey == Key::PageUp || *selectionKey == Key::PageDown;
    const DeviceTreeSelection::RowKey pageRow = page ? keyOf(pageTarget(key)) : 0;
    loadSelection();
    finishStep(selection_.key(*selectionKey, shift, pageRow), {}, key);
}

void CDeviceTreeList::focusInEvent(QFocusEvent* event) {
    QTreeWidget::focusInEvent(event);
    viewport()->update();
}

void CDeviceTreeList::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    viewport()->update();
}

void CDeviceTreeList::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QTreeWidget::drawRow(painter, option, index);
    QTreeWidgetItem* item = itemFromIndex(index);
    const bool selected = isRowSelected(item);
    const bool keyboardIsHere = item != nullptr && item == currentItem() && hasFocus();
    if (item == nullptr || (!selected && !keyboardIsHere)) {
        return;
    }
    const int left = labelRect(item).left();
    const int right = header_->sectionViewportPosition(0) + totalWidth_;
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor onSelection =
        readable::textOn(palette().color(QPalette::HighlightedText), highlight);
    painter->save();
    painter->setBrush(Qt::NoBrush);
    if (keyboardIsHere) {
        // Where the keyboard is, a solid frame that stands out from the row under it.
        painter->setPen(QPen(
            selected ? onSelection
                     : readable::textOn(highlight, kBackground, readable::kMinimumFrameContrast),
            2));
        painter->drawRect(QRect(left + 1, option.rect.top() + 1, std::max(2, right - left) - 2,
                                option.rect.height() - 2));
    } else {
        // A dotted frame in the selection's text colour. Not the style's focus frame: some
        // styles fill that with a tint, which would sit over the text and dim it.
        QPen frame(onSelection);
        frame.setStyle(Qt::DotLine);
        painter->setPen(frame);
        painter->drawRect(QRect(left, option.rect.top(), std::max(1, right - left) - 1,
                                option.rect.height() - 1));
    }
    painter->restore();
}

} // namespace morvik
