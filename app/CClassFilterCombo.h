#pragma once

#include "parameters/ClassFilter.h"

#include <QComboBox>

namespace morvik {

// The toolbar's class group chooser: "All classes" and one entry per class group of the
// description in use, refilled by the description loader. A group the user picks is handed
// on through `classFilterChosen`, which the main window connects queued to the parameter
// pane, so the pane reads after the box has closed. The mouse wheel never changes it.
class CClassFilterCombo : public QComboBox, public ClassFilter {
    Q_OBJECT
public:
    static constexpr int kWidth = 160;
    static const QString kAllClasses;

    explicit CClassFilterCombo(QWidget* parent = nullptr);

    // ClassFilter: the description loader's three operations; none of them is a user choice.
    void resetEntries() override;
    void addEntry(std::string_view name) override;
    void selectIndex(int index) override;

signals:
    void classFilterChosen(int index);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void onActivated(int index);

    int chosenIndex_ = 0;
};

} // namespace morvik
