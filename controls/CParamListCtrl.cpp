#include "controls/CParamListCtrl.h"

#include "controls/CCellEditor.h"
#include "controls/CChoicePopupMenu.h"
#include "controls/ParameterCellDelegate.h"
#include "controls/ReadableColours.h"
#include "parameters/ParameterTable.h"

#include <QFocusEvent>
#include <QFontDatabase>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace morvik {

namespace {

constexpr int kHeaderBand = 30;

} // namespace

CParamListCtrl::CParamListCtrl(ParameterTable& table, QWidget* parent)
    : CCellEditList(parent), model_(table) {
    setModel(&model_);
    setItemDelegate(new ParameterCellDelegate(this));
    setColumnWidth(ParameterTable::ClassColumn, kClassColumnWidth);
    setColumnWidth(ParameterTable::ParameterColumn, kParameterColumnWidth);
    setColumnWidth(ParameterTable::ValueColumn, kValueColumnWidth);
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
        widestClassText_ = 0;
        fitClassColumn(0, model_.rowCount() - 1);
    });
    connect(&model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { fitClassColumn(first, last); });
    model_.setPendingEditCommitter([this] { commitOpenEdit(); });
    // An edit open while the list is refilled (a class change, a read of everything) ends
    // first, or the editor would store its text on whatever line then sits under it.
    connect(&model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { commitOpenEdit(); });
    connect(&model_, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this] { commitOpenEdit(); });
    // A reply that brings the value of the line being edited overwrites the edit and clears
    // its mark: the editor closes instead of storing its text unmarked afterwards.
    model_.setLineChangeWatcher([this](int line) {
        const CCellEditor* editor = openEditor();
        if (editor == nullptr || editor->row() != line) {
            return;
        }
        ParameterTable& parameters = this->table();
        if (parameters.modifiedMark(parameters.parameterOfLine(line)) == 0 ||
            parameters.text(line, ParameterTable::ValueColumn) !=
                editor->initialText().toLatin1().toStdString()) {
            cancelOpenEdit();
        }
    });
    setUnitOfRow([this](int row) {
        if (!unitOfParameter_) {
            return QString();
        }
        return QString::fromLatin1(unitOfParameter_(this->table().parameterOfLine(row)));
    });
}

void CParamListCtrl::setUnitLookup(std::function<std::string(int parameter)> unitOfParameter) {
    unitOfParameter_ = std::move(unitOfParameter);
}

void CParamListCtrl::fitClassColumn(int firstLine, int lastLine) {
    const QFontMetrics metrics(font());
    const ParameterTable& parameters = table();
    for (int line = std::max(0, firstLine); line <= lastLine && line < parameters.lineCount();
         ++line) {
        const std::string& text = parameters.text(line, ParameterTable::ClassColumn);
        widestClassText_ =
            std::max(widestClassText_, metrics.horizontalAdvance(QString::fromLatin1(
                                           text.data(), static_cast<qsizetype>(text.size()))));
    }
    // Class names are whole up to twice the usual width, so that they never crowd out the
    // values; longer ones are cut with "...".
    const int width = std::clamp(widestClassText_ + kClassTextAllowance, kClassColumnWidth,
                                 2 * kClassColumnWidth);
    if (width != columnWidth(ParameterTable::ClassColumn)) {
        setColumnWidth(ParameterTable::ClassColumn, width);
    }
}

QString CParamListCtrl::emptyListMessage() {
    return QStringLiteral("No Device is selected.   Select a device. ");
}

void CParamListCtrl::mousePressEvent(QMouseEvent* event) {
    CCellEditList::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const auto cell = HitTestCell(event->position().toPoint());
    if (!cell) {
        return;
    }
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.row() != cell->row ||
        cell->column == ParameterTable::ClassColumn) {
        const QModelIndex rowStart = model_.index(cell->row, 0);
        selectionModel()->setCurrentIndex(rowStart, QItemSelectionModel::NoUpdate);
        selectionModel()->select(rowStart, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        return;
    }
    if (cell->column != ParameterTable::ValueColumn) {
        return;
    }
    openingClick_ = OpeningClick{event->globalPosition().toPoint(), event->timestamp()};
    openValue(cell->row);
    openingClick_.reset();
}

void CParamListCtrl::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool opensValue = key == Qt::Key_F2 || key == Qt::Key_Return || key == Qt::Key_Enter;
    const QModelIndex current = currentIndex();
    if (opensValue && event->modifiers() == Qt::NoModifier && current.isValid()) {
        openValue(current.row());
        event->accept();
        return;
    }
    CCellEditList::keyPressEvent(event);
}

void CParamListCtrl::openValue(int row) {
    if (row < 0 || row >= model_.rowCount()) {
        return;
    }
    editRow_ = row;
    ParameterTable& parameters = table();
    const int parameter = parameters.parameterOfLine(row);
    if (parameters.description().enumeration(parameter).count() > 0) {
        // The value counts as changed from the moment the choice is offered.
        parameters.setModifiedMark(parameter, 1);
        runChoicePopup(row, parameter);
    } else if (parameters.description().accessKind(parameter) == AccessKind::ReadWrite) {
        if (CCellEditor* editor = EditCell(row, ParameterTable::ValueColumn)) {
            editor->setAccessibleName(
                QString::fromLatin1(parameters.text(row, ParameterTable::ParameterColumn)));
            parameters.setModifiedMark(parameter, 1);
        }
    }
}

void CParamListCtrl::runChoicePopup(int row, int parameter) {
    const ValueList choices = table().description().enumeration(parameter);
    CChoicePopupMenu menu;
    menu.colours.frame = QColor(0, 0, 128);
    menu.colours.background = QColor(255, 255, 255);
    menu.colours.text = QColor(0, 0, 0);
    // The band is the theme's selection; its text must read on it in every theme.
    menu.colours.highlightText = readable::textOn(palette().color(QPalette::HighlightedText),
                                                  palette().color(QPalette::Highlight));
    menu.Init();
    const std::string shown = table().text(row, ParameterTable::ValueColumn);
    for (int j = 0; j < choices.count(); ++j) {
        // Doubled so that the name shows as it is and has no mnemonic.
        QString name = QString::fromLatin1(choices[j].name);
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        menu.AddItem(0, name, j + 1);
        if (menu.currentItem < 0 && choices[j].name == shown) {
            menu.currentItem = j;
        }
    }
    menu.minimumWidth = columnWidth(ParameterTable::ValueColumn);
    if (openingClick_) {
        menu.setOpeningClick(openingClick_->globalPosition, openingClick_->timestamp);
    }
    const QRect bounds = rowBounds(row);
    const QPoint anchor(bounds.left() + columnWidth(ParameterTable::ClassColumn) +
                            columnWidth(ParameterTable::ParameterColumn),
                        bounds.top() + bounds.height());
    emit choicePopupOpened(&menu);
    const int picked = menu.Track(viewport()->mapToGlobal(anchor), nullptr, true, false);
    // Replies may have refilled the list while the menu was open: only the same parameter on
    // the same line takes the name.
    ParameterTable& parameters = table();
    if (picked > 0 && picked <= choices.count() && row < parameters.lineCount() &&
        parameters.parameterOfLine(row) == parameter) {
        parameters.setText(row, ParameterTable::ValueColumn, choices[picked - 1].name);
        // A reply may have cleared the mark while the menu was open: a picked name is sent.
        parameters.setModifiedMark(parameter, 1);
    }
}

void CParamListCtrl::focusInEvent(QFocusEvent* event) {
    CCellEditList::focusInEvent(event);
    showDefinedNames();
}

void CParamListCtrl::showDefinedNames() {
    ParameterTable& parameters = table();
    for (int line = 0; line < parameters.lineCount(); ++line) {
        const ValueList& defined =
            parameters.description().definedValues(parameters.parameterOfLine(line));
        if (defined.count() == 0) {
            continue;
        }
        const std::string shown = parameters.text(line, ParameterTable::ValueColumn);
        const std::string* name = nullptr;
        for (const ValueList::Entry& entry : defined.entries()) {
            if (shown == std::to_string(entry.value)) {
                name = &entry.name; // the last match wins
            }
        }
        if (name != nullptr) {
            parameters.setText(line, ParameterTable::ValueColumn, *name);
        }
    }
}

void CParamListCtrl::paintEvent(QPaintEvent* event) {
    CCellEditList::paintEvent(event);
    if (model_.rowCount() != 0) {
        return;
    }
    // The band is measured from the top of the list, where the column header sits.
    const int bandInViewport = std::max(0, kHeaderBand - viewport()->y());
    const QRect area(0, bandInViewport, viewport()->width(),
                     std::max(0, viewport()->height() - bandInViewport));
    QPainter painter(viewport());
    painter.fillRect(area, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, emptyListMessage());
}

} // namespace morvik
