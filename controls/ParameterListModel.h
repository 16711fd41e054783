#pragma once

#include "parameters/ParameterTable.h"

#include <QAbstractTableModel>
#include <QColor>
#include <functional>

namespace morvik {

// The parameter list's lines as a Qt table model. The ParameterTable stays the only store: the
// model reads through it and follows its changes as its observer. Cell changes are announced
// to the views once per turn of the event loop, so that a reply filling 700 values costs one
// repaint, not 700.
class ParameterListModel final : public QAbstractTableModel, public ParameterTableObserver {
    Q_OBJECT
public:
    // True for a value the user has opened since it was last read or written.
    static constexpr int MarkedRole = Qt::UserRole + 1;

    explicit ParameterListModel(ParameterTable& table, QObject* parent = nullptr);
    ~ParameterListModel() override;

    ParameterTable& table() { return table_; }
    const ParameterTable& table() const { return table_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Called when the table asks for an open edit to be stored.
    void setPendingEditCommitter(std::function<void()> committer) {
        pendingEditCommitter_ = std::move(committer);
    }

    // Told at once, before any repaint, of every change of a line's value text or mark, so
    // that an edit open on that line can give way.
    void setLineChangeWatcher(std::function<void(int line)> watcher) {
        lineChangeWatcher_ = std::move(watcher);
    }

    // Sends the change notices that are waiting for the event loop.
    void flushChanges();

    static QColor markedTextColour() { return {255, 0, 0}; }
    // The theme's text colour: black in a light theme, light in a dark one.
    static QColor plainTextColour();

private:
    void beforeLinesReset() override;
    void afterLinesReset() override;
    void beforeLineInserted(int line) override;
    void afterLineInserted(int line) override;
    void cellChanged(int line, int column) override;
    void markChanged(int parameter) override;
    void commitPendingEdit() override;

    void noteChangedLine(int line);
    bool isMarked(const QModelIndex& index) const;
    // The editor or the choice pop-up opens on the line's value.
    bool valueCanChange(int line) const;
    // What a screen reader says besides the text: whether the value can change, and its mark.
    QString accessibleDescription(const QModelIndex& index) const;

    ParameterTable& table_;
    std::function<void()> pendingEditCommitter_;
    std::function<void(int line)> lineChangeWatcher_;
    int firstChangedLine_ = -1;
    int lastChangedLine_ = -1;
    bool flushPosted_ = false;
};

} // namespace morvik
