#pragma once

#include "parameters/ParameterTable.h"

#include <QAbstractTableModel>
#include <QTableView>

namespace morvik {

// The parameter list shown read-only: the lines of the ParameterTable with their three column
// texts, values marked as changed drawn red. The editable list replaces it; both follow the
// table through its observer interface.
class ParameterTableModel final : public QAbstractTableModel, public ParameterTableObserver {
    Q_OBJECT
public:
    explicit ParameterTableModel(ParameterTable& table, QObject* parent = nullptr);
    ~ParameterTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void beforeLinesReset() override;
    void afterLinesReset() override;
    void beforeLineInserted(int line) override;
    void afterLineInserted(int line) override;
    void cellChanged(int line, int column) override;
    void markChanged(int parameter) override;

private:
    ParameterTable& table_;
};

// A plain table view that says what to do while it has no lines.
class ReadOnlyParameterList final : public QTableView {
    Q_OBJECT
public:
    static const QString kEmptyListMessage;
    static constexpr int kHeaderBand = 30;

    explicit ReadOnlyParameterList(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace morvik
