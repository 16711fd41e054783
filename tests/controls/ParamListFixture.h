#pragma once

#include "controls/CCellEditor.h"
#include "controls/CChoicePopupMenu.h"
#include "controls/CParamListCtrl.h"
#include "parameters/ParameterTable.h"
#include "support/GuiTestSupport.h"

#include <QHeaderView>
#include <QScopeGuard>
#include <memory>
#include <string>
#include <vector>

namespace morvik::testing {

struct ListLine {
    std::string className;
    std::string parameterName;
    std::string value;
    AccessKind access = AccessKind::ReadWrite;
    std::vector<std::string> enumeration;
    std::vector<std::pair<std::string, int>> definedValues;
    std::string unit;
};

inline ValueList valueListOf(const std::vector<std::pair<std::string, int>>& entries) {
    ValueList list;
    for (const auto& [name, value] : entries) {
        list.add(name, value);
    }
    return list;
}

// A parameter list on its own top-level window, filled with the given lines.
class ParamListFixture : public ::testing::Test {
protected:
    void SetUp() override { guiApplication(); }

    void showList(const std::vector<ListLine>& lines, QSize size = {600, 400}) {
        list = std::make_unique<CParamListCtrl>(table);
        units.clear();
        std::vector<ParameterRow>& rows = description.editRows();
        rows.clear();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const int line = static_cast<int>(i);
            const ListLine& spec = lines[i];
            ParameterRow row;
            row.address = "1." + std::to_string(line + 1) + ".1";
            row.className = spec.className;
            row.parameterName = spec.parameterName;
            row.accessKind = spec.access;
            std::vector<std::pair<std::string, int>> choices;
            for (std::size_t j = 0; j < spec.enumeration.size(); ++j) {
                choices.emplace_back(spec.enumeration[j], static_cast<int>(j));
            }
            row.enumeration = valueListOf(choices);
            row.definedValues = valueListOf(spec.definedValues);
            rows.push_back(std::move(row));
            units.push_back(spec.unit);
        }
        table.setDescription(description);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const int line = static_cast<int>(i);
            table.insertLine(line, lines[i].className);
            table.setText(line, ParameterTable::ParameterColumn, lines[i].parameterName);
            table.setText(line, ParameterTable::ValueColumn, lines[i].value);
        }
        list->setUnitLookup([this](int parameter) {
            return parameter >= 0 && parameter < static_cast<int>(units.size())
                       ? units[static_cast<std::size_t>(parameter)]
                       : std::string();
        });
        list->resize(size);
        showActive(*list);
        list->setFocus();
        QApplication::processEvents();
    }

    QWidget* client() { return list->viewport(); }

    // The middle of a cell in client coordinates.
    QPoint cellCentre(int row, int column) {
        const QRect bounds = list->rowBounds(row);
        int left = bounds.left();
        for (int c = 0; c < column; ++c) {
            left += list->columnWidth(c);
        }
        return {left + list->columnWidth(column) / 2, bounds.center().y()};
    }

    CCellEditor* openEditorOn(int row) {
        clickAt(client(), cellCentre(row, ParameterTable::ValueColumn));
        return list->openEditor();
    }

    std::string value(int line) { return table.text(line, ParameterTable::ValueColumn); }

    // Clicks a value cell whose click opens the pop-up, and hands the open menu to `whileOpen`
    // (which must close it); gives back when the click handling is over.
    void clickIntoPopup(int row, const std::function<void(CChoicePopupMenu&)>& whileOpen) {
        CChoicePopupMenu* opened = nullptr;
        auto connection = QObject::connect(list.get(), &CParamListCtrl::choicePopupOpened,
                                           [&](CChoicePopupMenu* menu) { opened = menu; });
        const QPoint at = cellCentre(row, ParameterTable::ValueColumn);
        whenLoopRuns([&] {
            // Whatever fails below, the menu must not stay open and hold the test.
            const auto closeAnyway = qScopeGuard([&] {
                if (opened != nullptr && opened->window() != nullptr) {
                    opened->window()->close();
                }
            });
            ASSERT_NE(opened, nullptr);
            // The release of the opening click reaches the menu and picks nothing.
            releaseAt(client(), at);
            ASSERT_NE(opened->window(), nullptr);
            whileOpen(*opened);
        });
        pressAt(client(), at);
        QObject::disconnect(connection);
        // The list made the menu for this click only.
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }

    DescriptionSlot description;
    ParameterTable table;
    std::unique_ptr<CParamListCtrl> list;
    std::vector<std::string> units;
};

} // namespace morvik::testing
