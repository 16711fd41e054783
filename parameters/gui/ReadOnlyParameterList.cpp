#include "parameters/gui/ReadOnlyParameterList.h"

#include <QHeaderView>
#include <QPainter>

namespace morvik {

const QString ReadOnlyParameterList::kEmptyListMessage =
    QStringLiteral("No Device is selected.   Select a device. ");

ParameterTableModel::ParameterTableModel(ParameterTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    table_.setObserver(this);
}

ParameterTableModel::~ParameterTableModel() {
    table_.setObserver(nullptr);
}

int ParameterTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.lineCount();
}

int ParameterTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ParameterTable::kColumnCount;
}

QVariant ParameterTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromLatin1(table_.text(index.row(), index.column()));
    }
    if (role == Qt::ForegroundRole) {
        const bool marked = index.column() == ParameterTable::ValueColumn &&
                            table_.modifiedMark(table_.parameterOfLine(index.row())) == 1;
        return marked ? QColor(255, 0, 0) : QColor(0, 0, 0);
    }
    return {};
}

QVariant ParameterTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        static const char* const titles[] = {"class", "parameter", " Value"};
        return section >= 0 && section < ParameterTable::kColumnCount
                   ? QString::fromLatin1(titles[section])
                   : QString();
    }
    if (role == Qt::TextAlignmentRole) {
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

void ParameterTableModel::beforeLinesReset() {
    beginResetModel();
}

void ParameterTableModel::afterLinesReset() {
    endResetModel();
}

void ParameterTableModel::beforeLineInserted(int line) {
    beginInsertRows({}, line, line);
}

void ParameterTableModel::afterLineInserted(int /*line*/) {
    endInsertRows();
}

void ParameterTableModel::cellChanged(int line, int column) {
    const QModelIndex changed = index(line, column);
    emit dataChanged(changed, changed);
}

void ParameterTableModel::markChanged(int parameter) {
    const int line = table_.lineOfParameter(parameter);
    if (line >= 0) {
        const QModelIndex changed = index(line, ParameterTable::ValueColumn);
        emit dataChanged(changed, changed);
    }
}

ReadOnlyParameterList::ReadOnlyParameterList(QWidget* parent) : QTableView(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
}

void ReadOnlyParameterList::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (model() != nullptr && model()->rowCount() > 0) {
        return;
    }
    // The viewport starts under the header; the message area starts under a 30-pixel band
    // measured from the top of the list.
    const int bandInViewport = std::max(0, kHeaderBand - viewport()->y());
    QPainter painter(viewport());
    const QRect area = viewport()->rect().adjusted(0, bandInViewport, 0, 0);
    painter.fillRect(area, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, int(Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap),
                     kEmptyListMessage);
}

} // namespace morvik
