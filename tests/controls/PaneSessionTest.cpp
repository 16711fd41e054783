#include "GuiSessionHarness.h"
#include "ParamListFixture.h"
#include "controls/CCellEditor.h"
#include "document/CMorvikDoc.h"
#include "stores/CredentialLog.h"

#include <QFileDialog>
#include <QPainter>
#include <QScopeGuard>
#include <filesystem>

namespace morvik::testing {
namespace {

using Column = ParameterTable::Column;

class PaneSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        guiApplication();
        pane = std::make_unique<GuiSessionHarness>(fleetJson(demoUnits()));
        showActive(*pane->list);
    }

    void readUnits(const std::vector<std::string>& names) {
        pane->select(names);
        pane->session().readParametersRequested(0);
        pane->settle();
    }

    int lineOf(const std::string& address) {
        return pane->table.lineOfParameter(pane->session().findParameter(address));
    }

    QPoint valueCellOf(const std::string& address) {
        const int line = lineOf(address);
        pane->list->scrollTo(pane->list->model()->index(line, 0));
        QApplication::processEvents();
        const QRect row = pane->list->rowBounds(line);
        return {row.left() + 150 + 172 + 40, row.center().y()};
    }

    QString shown(const std::string& address) {
        return pane->list->model()->index(lineOf(address), Column::ValueColumn).data().toString();
    }

    QColor colourOf(const std::string& address) {
        return pane->list->model()
            ->index(lineOf(address), Column::ValueColumn)
            .data(Qt::ForegroundRole)
            .value<QColor>();
    }

    // Answers the next file dialog with `path`.
    void answerFileDialog(const QString& title, const QString& path) {
        whenLoopRuns([title, path] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            const auto closeAnyway = qScopeGuard([dialog] {
                if (dialog->isVisible()) {
                    dialog->reject();
                }
            });
            EXPECT_EQ(dialog->windowTitle(), title);
            EXPECT_EQ(dialog->nameFilters().value(0), CMorvikDoc::fileFilter());
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }

    std::unique_ptr<GuiSessionHarness> pane;
};

TEST_F(PaneSessionTest, AReadFillsTheValueColumnOfTheList) {
    readUnits({"dock"});
    EXPECT_EQ(shown("0.1.1"), QStringLiteral("dock"));
    EXPECT_EQ(shown("1.1.1"), QStringLiteral("192.168.10.21"));
    EXPECT_EQ(colourOf("0.1.1"), QColor(0, 0, 0));
}

TEST_F(PaneSessionTest, EditedAndPickedValuesTurnRedAndSetWritesExactlyThoseThenOffersReboot) {
    readUnits({"dock"});
    // Typed in place.
    clickAt(pane->list->viewport(), valueCellOf("0.1.1"));
    ASSERT_NE(pane->list->openEditor(), nullptr);
    QTest::keyClicks(pane->list->openEditor(), "pier");
    QTest::keyClick(pane->list->openEditor(), Qt::Key_Return);
    // Picked from the pop-up: "Blink", the third choice.
    const QPoint locator = valueCellOf("0.10.1");
    whenLoopRuns([&] {
        QPointer<QWidget> menu = QApplication::activePopupWidget();
        ASSERT_NE(menu, nullptr);
        const auto closeAnyway = qScopeGuard([menu] {
            if (menu != nullptr) {
                menu->close();
            }
        });
        releaseAt(pane->list->viewport(), locator);
        const QPoint third(30, 3 + 2 * 17 + 8);
        moveTo(menu, {30, 10});
        moveTo(menu, third);
        clickAt(menu, third);
    });
    pressAt(pane->list->viewport(), locator);
    EXPECT_EQ(shown("0.1.1"), QStringLiteral("pier"));
    EXPECT_EQ(shown("0.10.1"), QStringLiteral("Blink"));
    EXPECT_EQ(colourOf("0.1.1"), QColor(255, 0, 0));
    EXPECT_EQ(colourOf("0.10.1"), QColor(255, 0, 0));
    // Shown but not marked: not written.
    pane->table.setText(lineOf("0.6.1"), Column::ValueColumn, "attic");

    pane->dialogs.confirmAnswers = {true, false};
    pane->session().writeParameters();
    pane->settle();
    ASSERT_EQ(pane->dialogs.confirmations.size(), 2u);
    EXPECT_EQ(pane->dialogs.confirmations[0].caption, "Set Confirm");
    EXPECT_EQ(pane->dialogs.confirmations[1].caption, "Reboot Confirm");
    EXPECT_EQ(pane->unitValue("dock", "0.1.1"), "pier");
    EXPECT_EQ(pane->unitValue("dock", "0.10.1"), "Blink");
    EXPECT_EQ(pane->unitValue("dock", "0.6.1"), "");
    EXPECT_EQ(colourOf("0.1.1"), QColor(0, 0, 0)) << "marks cleared by the acknowledgement";
    EXPECT_EQ(colourOf("0.10.1"), QColor(0, 0, 0));
}

TEST_F(PaneSessionTest, RebootAcknowledgementsOfTwoUnitsEachShowTheirMessage) {
    readUnits({"dock", "lab"});
    pane->dialogs.confirmAnswers = {true};
    // While one message is open, the next acknowledgement comes in.
    int open = 0;
    int deepest = 0;
    pane->dialogs.onMessage = [&](const ScriptedDialogs::Message&) {
        ++open;
        deepest = std::max(deepest, open);
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 200) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        --open;
    };
    pane->session().rebootUnits();
    pane->settle();
    const ScriptedDialogs::Message rebooting{"Shut down completed!. Now rebooting...", "Done"};
    EXPECT_EQ(pane->dialogs.messages,
              (std::vector<ScriptedDialogs::Message>{rebooting, rebooting}));
    EXPECT_EQ(deepest, 2);
}

TEST_F(PaneSessionTest, SaveThenLoadRoundTripsAndMarksOnlyChangedWritableValues) {
    readUnits({"dock"});
    CMorvikDoc document(pane->session(), pane->selection, pane->dialogs, pane->list.get());
    const QString chosen = QString::fromStdString(pane->data().file("saved"));
    answerFileDialog("Save", chosen);
    document.onSave();
    const std::string saved = pane->data().file("saved.CNF");
    ASSERT_TRUE(std::filesystem::exists(saved));
    EXPECT_EQ(readTextFile(saved).substr(0, 12), "1 \t 07 \t 1.2");

    pane->table.setText(lineOf("0.1.1"), Column::ValueColumn, "changed");
    pane->table.setText(lineOf("0.2.1"), Column::ValueColumn, "9.9.9");
    answerFileDialog("Load", QString::fromStdString(saved));
    document.onLoad();
    EXPECT_EQ(shown("0.1.1"), QStringLiteral("dock"));
    EXPECT_EQ(colourOf("0.1.1"), QColor(255, 0, 0));
    EXPECT_EQ(shown("0.2.1"), QStringLiteral("9.9.9")) << "read-only values stay";
    EXPECT_EQ(colourOf("1.1.1"), QColor(0, 0, 0)) << "unchanged values are not marked";
    EXPECT_TRUE(pane->dialogs.messages.empty());
}

TEST_F(PaneSessionTest, SaveWithoutASelectionSaysSoAndAsksForNoFile) {
    CMorvikDoc document(pane->session(), pane->selection, pane->dialogs, pane->list.get());
    document.onSave();
    EXPECT_EQ(pane->dialogs.messages,
              (std::vector<ScriptedDialogs::Message>{{"No Selected Data!!", "Error"}}));
}

TEST_F(PaneSessionTest, ChosenPathsGetTheExtensionOnlyWithoutAnyPoint) {
    EXPECT_EQ(CMorvikDoc::withDefaultExtension("/tmp/x/unit"), "/tmp/x/unit.CNF");
    EXPECT_EQ(CMorvikDoc::withDefaultExtension("/tmp/v1.2/unit"), "/tmp/v1.2/unit");
    EXPECT_EQ(CMorvikDoc::withDefaultExtension("/tmp/unit.cfg"), "/tmp/unit.cfg");
}

struct Refill {
    const char* label;
    std::function<void(ParameterSession&, int group)> refill;
};

// An edit open when the list is refilled ends first: whatever Enter does afterwards, a value
// the list shows is either the unit's own or marked (and so written by the next Set).
TEST_F(PaneSessionTest, AnEditOpenWhenTheListIsRefilledNeverLeavesAnUnmarkedText) {
    const std::vector<Refill> refills = {
        {"F5 with all classes", [](ParameterSession& session, int) { session.Refresh(); }},
        {"a reply to F5 in a group",
         [](ParameterSession& session, int group) {
             session.showGroup(group);
             session.Refresh();
         }},
        {"a class change", [](ParameterSession& session, int group) { session.showGroup(group); }},
    };
    for (const Refill& refill : refills) {
        SCOPED_TRACE(refill.label);
        readUnits({"dock"});
        const auto& groups = pane->classFilter.entries();
        const int system =
            static_cast<int>(std::find(groups.begin(), groups.end(), "System") - groups.begin());
        ASSERT_LT(system, static_cast<int>(groups.size()));
        if (std::string(refill.label) == "a reply to F5 in a group") {
            pane->session().showGroup(system);
            pane->settle();
        }
        clickAt(pane->list->viewport(), valueCellOf("0.6.1"));
        QPointer<CCellEditor> editor = pane->list->openEditor();
        ASSERT_NE(editor, nullptr);
        const int line = editor->row();
        QTest::keyClicks(editor, "typed over");
        const int otherGroup = std::string(refill.label) == "a class change" ? system + 1 : system;
        refill.refill(pane->session(), otherGroup);
        pane->settle();
        if (editor != nullptr) {
            QTest::keyClick(editor, Qt::Key_Return);
        }
        QApplication::processEvents();
        ASSERT_LT(line, pane->table.lineCount());
        const int parameter = pane->table.parameterOfLine(line);
        if (pane->table.text(line, Column::ValueColumn).find("typed over") != std::string::npos) {
            EXPECT_EQ(pane->table.modifiedMark(parameter), 1) << "shown, unmarked, never sent";
        }
        pane->session().showGroup(0);
        pane->settle();
    }
}

TEST_F(PaneSessionTest, ClearEmptiesTheCredentialLogAndEveryValue) {
    readUnits({"dock"});
    CMorvikDoc document(pane->session(), pane->selection, pane->dialogs, pane->list.get());
    pane->dialogs.confirmAnswers = {true};
    document.onClear();
    ASSERT_EQ(pane->dialogs.confirmations.size(), 1u);
    EXPECT_EQ(pane->dialogs.confirmations[0].caption, "Clear Confirm");
    EXPECT_EQ(std::filesystem::file_size(pane->data().file("pwd.ini")), 0u);
    for (int line = 0; line < pane->table.lineCount(); ++line) {
        EXPECT_EQ(pane->table.text(line, Column::ValueColumn), "") << line;
    }
    EXPECT_GT(pane->table.lineCount(), 0);
}

} // namespace
} // namespace morvik::testing

namespace morvik::testing {
namespace {

// What the user sees: values read, a red marked value, an editor open and the pop-up open.
// With MORVIK_SCREENSHOT_DIR set the pictures are written there as PNG files.
TEST_F(PaneSessionTest, LooksLikeAParameterListWhileEditing) {
    pane->list->resize(520, 420);
    readUnits({"dock"});
    const QString directory = qEnvironmentVariable("MORVIK_SCREENSHOT_DIR");
    const auto save = [&](const QImage& image, const char* name) {
        if (!directory.isEmpty()) {
            EXPECT_TRUE(image.save(directory + "/" + name));
        }
    };
    // A value edited and stored: red.
    clickAt(pane->list->viewport(), valueCellOf("0.6.1"));
    ASSERT_NE(pane->list->openEditor(), nullptr);
    QTest::keyClicks(pane->list->openEditor(), "second floor, rack 4");
    QTest::keyClick(pane->list->openEditor(), Qt::Key_Return);
    // Another one open in the editor.
    clickAt(pane->list->viewport(), valueCellOf("0.7.1"));
    ASSERT_NE(pane->list->openEditor(), nullptr);
    QTest::keyClicks(pane->list->openEditor(), "ops@example.org");
    QApplication::processEvents();
    const QImage editing = pane->list->grab().toImage();
    save(editing, "list-editing.png");
    EXPECT_EQ(colourOf("0.6.1"), QColor(255, 0, 0));
    pane->list->commitOpenEdit();

    // The pop-up of an enumerated value, drawn where it opens over the list.
    const QPoint locator = valueCellOf("0.10.1");
    QImage withPopup;
    whenLoopRuns([&] {
        QPointer<QWidget> menu = QApplication::activePopupWidget();
        ASSERT_NE(menu, nullptr);
        const auto closeAnyway = qScopeGuard([menu] {
            if (menu != nullptr) {
                menu->close();
            }
        });
        releaseAt(pane->list->viewport(), locator);
        moveTo(menu, {30, 10});
        moveTo(menu, {30, 3 + 17 + 8});
        withPopup = pane->list->grab().toImage();
        QPainter painter(&withPopup);
        painter.drawImage(pane->list->mapFromGlobal(menu->pos()), menu->grab().toImage());
    });
    pressAt(pane->list->viewport(), locator);
    save(withPopup, "list-popup.png");
    EXPECT_FALSE(withPopup.isNull());
}

} // namespace
} // namespace morvik::testing
