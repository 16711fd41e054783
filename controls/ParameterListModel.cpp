#include "controls/ParameterListModel.h"

#include <QColor>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPalette>
#include <algorithm>

namespace morvik {

namespace {

const char* const kColumnTitles[ParameterTable::kColumnCount] = {"class", "parameter", " Value"};

} // namespace

ParameterListModel::ParameterListModel(ParameterTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    table_.setObserver(this);
}

ParameterListModel::~ParameterListModel() {
    // A newer view of the same table may have taken over already.
    if (table_.observer() == this) {
        table_.setObserver(nullptr);
    }
}

int ParameterListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.lineCount();
}

int ParameterListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ParameterTable::kColumnCount;
}

QVariant ParameterListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= table_.lineCount()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        // Texts travel as 8-bit characters, one byte each, to the units and the files.
        const std::string& text = table_.text(index.row(), index.column());
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    }
    case Qt::ForegroundRole:
        return isMarked(index) ? markedTextColour() : plainTextColour();
    case MarkedRole:
        return isMarked(index);
    case Qt::AccessibleDescriptionRole:
        return accessibleDescription(index);
    default:
        return {};
    }
}

Qt::ItemFlags ParameterListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    // Editable where a click opens the editor or the choice pop-up, so that assistive
    // technology tells R/W values from the others; the list itself starts every edit.
    if (index.isValid() && index.column() == ParameterTable::ValueColumn &&
        index.row() < table_.lineCount() && valueCanChange(index.row())) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool ParameterListModel::valueCanChange(int line) const {
    const int parameter = table_.parameterOfLine(line);
    return table_.description().enumeration(parameter).count() > 0 ||
           table_.description().accessKind(parameter) == AccessKind::ReadWrite;
}

QString ParameterListModel::accessibleDescription(const QModelIndex& index) const {
    if (index.column() != ParameterTable::ValueColumn) {
        return {};
    }
    QString description =
        valueCanChange(index.row()) ? QStringLiteral("changeable") : QStringLiteral("read only");
    if (isMarked(index)) {
        description += QStringLiteral(", marked for writing");
    }
    return description;
}

bool ParameterListModel::isMarked(const QModelIndex& index) const {
    return index.column() == ParameterTable::ValueColumn &&
           table_.modifiedMark(table_.parameterOfLine(index.row())) == 1;
}

QColor ParameterListModel::plainTextColour() {
    return QGuiApplication::palette().color(QPalette::Text);
}

QVariant ParameterListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ParameterTable::kColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        return QString::fromLatin1(kColumnTitles[section]);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

bool ParameterListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() >= table_.lineCount()) {
        return false;
    }
    table_.setText(index.row(), index.column(), value.toString().toLatin1().toStdString());
    return true;
}

void ParameterListModel::flushChanges() {
    flushPosted_ = false;
    if (firstChangedLine_ < 0) {
        return;
    }
    const int last = std::min(lastChangedLine_, table_.lineCount() - 1);
    const int first = firstChangedLine_;
    firstChangedLine_ = lastChangedLine_ = -1;
    if (first <= last) {
        emit dataChanged(index(first, 0), index(last, ParameterTable::kColumnCount - 1));
    }
}

void ParameterListModel::beforeLinesReset() {
    beginResetModel();
}

void ParameterListModel::afterLinesReset() {
    firstChangedLine_ = lastChangedLine_ = -1;
    endResetModel();
}

void ParameterListModel::beforeLineInserted(int line) {
    // Lines below move: what was waiting to be announced is announced now, in old numbering.
    flushChanges();
    beginInsertRows({}, line, line);
}

void ParameterListModel::afterLineInserted(int /*line*/) {
    endInsertRows();
}

void ParameterListModel::cellChanged(int line, int /*column*/) {
    noteChangedLine(line);
    if (lineChangeWatcher_) {
        lineChangeWatcher_(line);
    }
}

void ParameterListModel::markChanged(int parameter) {
    const int line = table_.lineOfParameter(parameter);
    if (line >= 0) {
        noteChangedLine(line);
        if (lineChangeWatcher_) {
            lineChangeWatcher_(line);
        }
    }
}

void ParameterListModel::commitPendingEdit() {
    if (pendingEditCommitter_) {
        pendingEditCommitter_();
    }
}

void ParameterListModel::noteChangedLine(int line) {
    if (firstChangedLine_ < 0) {
        firstChangedLine_ = lastChangedLine_ = line;
    } else {
        firstChangedLine_ = std::min(firstChangedLine_, line);
        lastChangedLine_ = std::max(lastChangedLine_, line);
    }
    if (!flushPosted_) {
        flushPosted_ = true;
        QMetaObject::invokeMethod(this, &ParameterListModel::flushChanges, Qt::QueuedConnection);
    }
}

} // namespace morvik
