// What a user needs to see without hunting for it: whole MACs and names in the device list,
// the full text of a cut cell in its tip, the layout as it was left, and what Probe is doing.
// MORVIK_KEEP_SCREENSHOTS=DIR keeps the window as the tests saw it, for a person to look at.

#include "app/AppFixture.h"
#include "app/RememberedLayout.h"
#include "controls/CDeviceTreeTip.h"
#include "controls/CellTextFitting.h"

#include <QCursor>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>
#include <QSplitter>

namespace morvik::testing {
namespace {

// The window as the screen shows it, with the tip when one is shown over it.
void keepScreenshot(CMainFrame& window, const QString& name) {
    const char* keep = std::getenv("MORVIK_KEEP_SCREENSHOTS");
    if (keep == nullptr) {
        return;
    }
    // New rows are painted in bursts: wait for the list to paint again.
    QTest::qWait(2 * CLeftView::kRowPaintIntervalMs);
    QPixmap picture = window.grab();
    CDeviceTreeTip& tip = window.leftView().tip();
    if (tip.isVisible()) {
        QPainter painter(&picture);
        painter.drawPixmap(tip.pos() - window.mapToGlobal(QPoint(0, 0)), tip.grab());
    }
    EXPECT_TRUE(picture.save(QString::fromUtf8(keep) + "/" + name));
}

class VisibleInformation : public AppFixture {
protected:
    void TearDown() override {
        AppFixture::TearDown();
        // The next test starts with the layout a fresh installation has.
        useProgramSettings();
        QSettings().remove(QStringLiteral("layout"));
    }
    QString shownText(QTreeWidgetItem* row, int column) const {
        return fitCellText(tree().GetItemText(row, column), tree().fontMetrics(),
                           tree().cellWidth(row, column));
    }
    QList<int> columnWidths() const {
        return {tree().GetColumnWidth(0), tree().GetColumnWidth(1), tree().GetColumnWidth(2)};
    }
};

TEST_F(VisibleInformation, TheFirstWindowShowsWholeNamesAddressesAndMacs) {
    startApp();
    probeAll();
    keepScreenshot(*frame(), QStringLiteral("window-after-probe.png"));
    for (int position = 0; position < tree().topLevelItemCount(); ++position) {
        QTreeWidgetItem* row = tree().topLevelItem(position);
        for (int column = CLeftView::NameColumn; column <= CLeftView::MacColumn; ++column) {
            EXPECT_EQ(shownText(row, column), tree().GetItemText(row, column));
        }
    }
    // Any MAC and any address, in whatever glyphs the font draws widest.
    QTreeWidgetItem* row = tree().topLevelItem(0);
    for (const QString mac :
         {"FF:FF:FF:FF:FF:FF", "DD:DD:DD:DD:DD:DD", "88:88:88:88:88:88", "0B:0B:0B:0B:0B:0B"}) {
        tree().SetItemText(row, CLeftView::MacColumn, mac);
        EXPECT_EQ(shownText(row, CLeftView::MacColumn), mac);
    }
    // The widest address text a cell can hold; only drawn, never sent to.
    tree().SetItemText(row, CLeftView::IpColumn, QStringLiteral("255.255.255.255"));
    EXPECT_EQ(shownText(row, CLeftView::IpColumn), QStringLiteral("255.255.255.255"));
    // All three columns side by side, without scrolling.
    EXPECT_LE(tree().totalWidth(), tree().viewport()->width());
}

TEST_F(VisibleInformation, TheTipShowsTheWholeTextOverTheCutCell) {
    const std::string longName = "a-unit-name-much-too-long-for-any-column";
    startApp(fleetJson(unitJson(longName, "02:4D:56:00:07:01", "127.79.0.1", 7, "1.2", "a", "b") +
                       "," +
                       unitJson("short", "02:4D:56:00:07:02", "127.79.0.2", 7, "1.2", "a", "b")));
    probeAll();
    QTreeWidgetItem* row = rowNamed(QString::fromStdString(longName));
    ASSERT_NE(row, nullptr);
    ASSERT_NE(shownText(row, CLeftView::NameColumn), QString::fromStdString(longName));
    // The pointer moves as a mouse moves it: the window system finds the window under it, and
    // the window that appears under it takes it from the list.
    const auto movePointer = [&](const QPoint& inList) {
        QCursor::setPos(tree().viewport()->mapToGlobal(inList));
        QTest::qWait(20);
    };
    const QRect cell = tree().visualItemRect(row);
    const QPoint pointer(tree().GetColumnWidth(0) - 10, cell.center().y());
    movePointer(pointer);
    CDeviceTreeTip& tip = leftView().tip();
    ASSERT_TRUE(waitUntil([&] { return tip.isVisible(); }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tip));
    // The tip now lies under the pointer. Window systems that hand it the pointer tell the list
    // the pointer left; it did not, and the tip stays.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(tree().viewport(), &leave);
    ASSERT_TRUE(tip.isVisible());
    EXPECT_EQ(tip.text(), QString::fromStdString(longName));
    EXPECT_GE(tip.width(), tip.fontMetrics().horizontalAdvance(tip.text()));
    // Its corner lies on the row it describes, inside the name's column.
    const QRect nameCell(tree().viewport()->mapToGlobal(cell.topLeft()),
                         QSize(tree().GetColumnWidth(0), cell.height()));
    EXPECT_TRUE(nameCell.contains(tip.geometry().topLeft()))
        << "tip at " << tip.geometry().x() << "," << tip.geometry().y() << ", cell " << nameCell.x()
        << "," << nameCell.y() << " " << nameCell.width() << "x" << nameCell.height();
    keepScreenshot(*frame(), QStringLiteral("window-with-tip.png"));
    // Over a row whose name fits, it goes.
    movePointer(QPoint(pointer.x(), tree().visualItemRect(rowNamed("short")).center().y()));
    EXPECT_TRUE(waitUntil([&] { return !tip.isVisible(); }));

    // A click that such a window system gives the tip selects the row beneath it (and the
    // read that follows asks for a login, which is cancelled).
    DialogAnswerer cancel([](QWidget& dialog) {
        if (auto* asDialog = qobject_cast<QDialog*>(&dialog)) {
            asDialog->reject();
        }
    });
    movePointer(pointer);
    ASSERT_TRUE(waitUntil([&] { return tip.isVisible(); }));
    ASSERT_FALSE(row->isSelected());
    QTest::mouseClick(&tip, Qt::LeftButton, {}, tip.mapFromGlobal(QCursor::pos()));
    EXPECT_FALSE(tip.isVisible());
    EXPECT_TRUE(row->isSelected());
    EXPECT_EQ(tree().GetSelectedCount(), 1);

    // Out of the list, it goes.
    movePointer(pointer + QPoint(2, 0));
    ASSERT_TRUE(waitUntil([&] { return tip.isVisible(); }));
    QCursor::setPos(frame()->mapToGlobal(QPoint(frame()->width() - 5, frame()->height() - 5)));
    QApplication::sendEvent(tree().viewport(), &leave);
    EXPECT_FALSE(tip.isVisible());
}

TEST_F(VisibleInformation, ColumnWidthsAndTheSplitterAreRememberedBetweenRuns) {
    startApp();
    const QString dataDirectory = readDataDirectory();
    const QList<int> widths{150, 90, 170};
    for (int column = 0; column < 3; ++column) {
        tree().header()->resizeSection(column, widths[column]);
    }
    frame()->splitter().setSizes({300, 400});
    const int leftPane = frame()->splitter().sizes().at(0);
    frame()->close();
    app.reset();

    app = std::make_unique<CMorvikApp>();
    ASSERT_TRUE(app->initInstance());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame()));
    EXPECT_EQ(columnWidths(), widths);
    EXPECT_EQ(tree().totalWidth(), 150 + 90 + 170);
    EXPECT_EQ(frame()->splitter().sizes().at(0), leftPane);
    // The data directory is stored beside them as before.
    app.reset();
    EXPECT_EQ(QSettings().value(QStringLiteral("morvik/path")).toString(), dataDirectory);
}

TEST_F(VisibleInformation, ADamagedLayoutIsIgnoredValueByValue) {
    struct Case {
        const char* columns;
        const char* pane;
        bool columnsKept;
        bool paneKept;
    };
    const Case cases[] = {
        {"150, 90, 170", "300", true, true}, {"150, 90, 9999999", "300", false, true},
        {"150, 90", "x", false, false},      {"150, 90, 170, 60", "99999999", false, false},
        {"a, b, c", "12", false, false},     {"0, 90, 170", "-5", false, false},
    };
    useProgramSettings();
    for (const Case& each : cases) {
        QSettings settings;
        settings.setValue("layout/deviceListColumns",
                          QString::fromLatin1(each.columns).split(QStringLiteral(", ")));
        settings.setValue("layout/deviceListWidth", QString::fromLatin1(each.pane));
        settings.sync();
        const RememberedLayout layout = readRememberedLayout();
        EXPECT_EQ(layout.deviceColumnWidths.has_value(), each.columnsKept) << each.columns;
        EXPECT_EQ(layout.deviceListWidth.has_value(), each.paneKept) << each.pane;
    }
    // A window started over a damaged layout shows every column whole all the same.
    startApp();
    probeAll();
    EXPECT_LE(tree().totalWidth(), tree().viewport()->width());
    EXPECT_GT(frame()->splitter().sizes().at(0), 0);
}

TEST_F(VisibleInformation, TheStatusBarSaysAProbeRunsAndHowManyUnitsAnswered) {
    startApp();
    ASSERT_TRUE(waitUntil([&] { return frame()->probeTimerId() == 0; }, 3000));
    frame()->commandAction(CMainFrame::Probe)->trigger();
    EXPECT_EQ(frame()->messagePane().text(), QStringLiteral("Probing ..."));
    const int units = static_cast<int>(fleet->simulator().unitCount());
    ASSERT_TRUE(waitUntil([&] { return frame()->probeTimerId() == 0; }, 3000));
    EXPECT_EQ(tree().topLevelItemCount(), units);
    EXPECT_EQ(frame()->messagePane().text(),
              QStringLiteral("%1 units answered the probe.").arg(units));
    keepScreenshot(*frame(), QStringLiteral("window-probe-ended.png"));
}

TEST_F(VisibleInformation, ABurstOfBadChecksumsOpensOneBoxAndCountsTheRest) {
    std::string units;
    for (int unit = 1; unit <= 5; ++unit) {
        units += unitJson("bad-" + std::to_string(unit), "02:4D:56:00:08:0" + std::to_string(unit),
                          "127.79.1." + std::to_string(unit), 7, "1.2", "a", "b",
                          R"("faults": {"badChecksum": true})") +
                 ",";
    }
    units += unitJson("good", "02:4D:56:00:08:10", "127.79.1.10", 7, "1.2", "a", "b");
    std::vector<int> boxesOpen;
    std::vector<int> rowsWhileOpen;
    DialogAnswerer answerer([&](QWidget& dialog) {
        // Every other reply is listed while the first box is open, without a box of its own.
        waitUntil([&] { return tree().topLevelItemCount() == 5; }, 2500);
        rowsWhileOpen.push_back(tree().topLevelItemCount());
        int open = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            open += qobject_cast<QMessageBox*>(window) != nullptr && window->isVisible();
        }
        boxesOpen.push_back(open);
        keepScreenshot(*frame(), QStringLiteral("window-checksum-burst.png"));
        clickButton(dialog, QStringLiteral("OK"));
    });
    startApp(fleetJson(units));
    probeAll();
    EXPECT_EQ(answerer.answered(), 1);
    EXPECT_EQ(boxesOpen, std::vector<int>{1});
    EXPECT_EQ(rowsWhileOpen, std::vector<int>{5});
    EXPECT_EQ(leftView().checksumErrorsNotShown(), 4);
    ASSERT_TRUE(waitUntil([&] { return frame()->probeTimerId() == 0; }, 3000));
    EXPECT_EQ(frame()->messagePane().text(),
              QStringLiteral("6 units answered the probe. 4 more replies had a checksum error."));

    // The next probe counts afresh and may open a box again.
    frame()->commandAction(CMainFrame::Probe)->trigger();
    ASSERT_TRUE(waitUntil([&] { return frame()->probeTimerId() == 0; }, 6000));
    EXPECT_EQ(answerer.answered(), 2);
    EXPECT_EQ(leftView().checksumErrorsNotShown(), 4);
}

} // namespace
} // namespace morvik::testing
