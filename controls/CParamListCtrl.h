#pragma once

#include "controls/CCellEditList.h"
#include "controls/ParameterListModel.h"

#include <functional>
#include <optional>
#include <string>

namespace morvik {

class CChoicePopupMenu;
class ParameterTable;

// The parameter pane's list: three columns over a ParameterTable, values changed in place with
// the editor or, for enumerated parameters, with the choice pop-up. Every value the user opens
// is marked and drawn red; the list itself never talks to the units.
class CParamListCtrl final : public CCellEditList {
    Q_OBJECT
public:
    static constexpr int kClassColumnWidth = 150;
    static constexpr int kParameterColumnWidth = 172;
    static constexpr int kValueColumnWidth = 175;
    // Room beside a class name: the cell's margins and the grid line.
    static constexpr int kClassTextAllowance = 12;

    explicit CParamListCtrl(ParameterTable& table, QWidget* parent = nullptr);

    ParameterTable& table() { return model_.table(); }
    ParameterListModel& listModel() { return model_; }

    // The unit of a parameter (from the current description), appended on Enter.
    void setUnitLookup(std::function<std::string(int parameter)> unitOfParameter);

    // List row of the last click in the value column.
    int editRow() const { return editRow_; }

    static QString emptyListMessage();

signals:
    // The choice pop-up opens (for tests and the pane: the menu lives until it closes).
    void choicePopupOpened(morvik::CChoicePopupMenu* menu);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // F2 or Enter opens the current row's value as a second click on it does.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void openValue(int row);
    void runChoicePopup(int row, int parameter);
    void showDefinedNames();
    // Widens the class column for the class names of these lines.
    void fitClassColumn(int firstLine, int lastLine);

    ParameterListModel model_;
    std::function<std::string(int parameter)> unitOfParameter_;
    int editRow_ = -1;
    int widestClassText_ = 0;
    struct OpeningClick {
        QPoint globalPosition;
        quint64 timestamp = 0;
    };
    // The press that is opening a value, while it does.
    std::optional<OpeningClick> openingClick_;
};

} // namespace morvik
