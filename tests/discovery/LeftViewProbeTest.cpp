#include "controls/CDeviceTreeHeader.h"
#include "controls/CDeviceTreeList.h"
#include "discovery/CLeftView.h"
#include "parameters/SessionPorts.h"
#include "support/GuiTestSupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <set>

namespace morvik {
namespace {

using testing::DialogAnswerer;
using testing::LoopbackFleet;
using testing::unitJson;
using testing::waitUntil;

std::string fleetOf(const std::string& units) {
    return testing::fleetJson(units);
}

// A device list pane on its own, reaching the simulated fleet through the MORVIK_* variables.
class LeftViewProbe : public ::testing::Test {
protected:
    void start(const std::string& fleetJson) {
        fleet = std::make_unique<LoopbackFleet>(fleetJson);
        view = std::make_unique<CLeftView>();
        view->resize(330, 400);
        view->initialUpdate();
        view->show();
    }
    CDeviceTreeList& tree() const { return view->treeList(); }
    int rows() const { return tree().topLevelItemCount(); }
    std::vector<std::string> column(int column) const {
        std::vector<std::string> texts;
        for (int row = 0; row < rows(); ++row) {
            texts.push_back(tree().GetItemTextAt(row, column).toStdString());
        }
        return texts;
    }

    std::unique_ptr<LoopbackFleet> fleet;
    std::unique_ptr<CLeftView> view;
};

TEST_F(LeftViewProbe, ListsEveryUnitOfTheDemoFleetOnceWithItsSixTexts) {
    start(LoopbackFleet::demoFleet());
    const int units = static_cast<int>(fleet->simulator().unitCount());
    view->probe();
    ASSERT_TRUE(waitUntil([&] { return rows() == units; }));
    QTest::qWait(100);
    EXPECT_EQ(rows(), units);
    std::set<std::string> macs;
    for (const std::string& mac : column(CLeftView::MacColumn)) {
        macs.insert(mac);
    }
    EXPECT_EQ(static_cast<int>(macs.size()), units);
    // The first unit of the fleet file, as its probe reply describes it.
    QTreeWidgetItem* dock = nullptr;
    for (int row = 0; row < rows(); ++row) {
        if (tree().GetItemTextAt(row, 0) == QStringLiteral("vela1-dock")) {
            dock = tree().topLevelItem(row);
        }
    }
    ASSERT_NE(dock, nullptr);
    const DeviceRecord record = view->recordOfRow(dock);
    EXPECT_EQ(record,
              (DeviceRecord{"vela1-dock", "127.77.0.1", "02:4D:56:00:00:01", "07", "1.2", "1"}));
}

TEST_F(LeftViewProbe, ProbeIsIgnoredWhileItsWindowIsOpenAndRepliesAfterItAreListed) {
    start(fleetOf(unitJson("prompt", "02:4D:56:00:01:01", "127.78.0.1", 7, "1.2", "a", "b") + "," +
                  unitJson("slow", "02:4D:56:00:01:02", "127.78.0.2", 7, "1.2", "a", "b",
                           R"("faults": {"lateAnswerMs": 2300})")));
    QSignalSpy probing(view.get(), &CLeftView::probingChanged);
    view->probe();
    EXPECT_NE(view->probeTimerId(), 0u);
    ASSERT_TRUE(waitUntil([&] { return rows() == 1; }));
    // A second probe inside the window does not empty the list.
    view->probe();
    QTest::qWait(50);
    EXPECT_EQ(rows(), 1);
    ASSERT_TRUE(waitUntil([&] { return view->probeTimerId() == 0; }, 3000));
    EXPECT_EQ(rows(), 1);
    ASSERT_TRUE(waitUntil([&] { return rows() == 2; }, 3000));
    EXPECT_EQ(column(0), (std::vector<std::string>{"prompt", "slow"}));
    ASSERT_EQ(probing.count(), 2);
    EXPECT_TRUE(probing.at(0).at(0).toBool());
    EXPECT_FALSE(probing.at(1).at(0).toBool());
}

TEST_F(LeftViewProbe, AUnitAnsweringTwiceIsListedOnce) {
    start(fleetOf(unitJson("twice", "02:4D:56:00:02:01", "127.78.1.1", 7, "1.2", "a", "b",
                           R"("faults": {"duplicateAnswer": true})") +
                  "," + unitJson("once", "02:4D:56:00:02:02", "127.78.1.2", 7, "1.2", "a", "b")));
    view->probe();
    ASSERT_TRUE(waitUntil([&] { return rows() == 2; }));
    QTest::qWait(200);
    EXPECT_EQ(rows(), 2);
}

TEST_F(LeftViewProbe, ABadChecksumIsReportedAndTheUnitListedAfterTheBoxCloses) {
    start(fleetOf(unitJson("broken", "02:4D:56:00:03:01", "127.78.2.1", 7, "1.2", "a", "b",
                           R"("faults": {"badChecksum": true})") +
                  "," + unitJson("fine", "02:4D:56:00:03:02", "127.78.2.2", 7, "1.2", "a", "b")));
    std::vector<int> rowsWhileOpen;
    DialogAnswerer answerer([&](QWidget& dialog) {
        // Replies go on being listed while the box is open.
        waitUntil([&] { return rows() == 1; }, 2000);
        rowsWhileOpen.push_back(rows());
        testing::clickButton(dialog, QStringLiteral("OK"));
    });
    view->probe();
    ASSERT_TRUE(waitUntil([&] { return rows() == 2; }));
    ASSERT_EQ(answerer.answered(), 1);
    EXPECT_EQ(answerer.captions()[0], "Error");
    EXPECT_EQ(answerer.texts()[0], "Checksum Error!");
    EXPECT_EQ(rowsWhileOpen, std::vector<int>{1});
    EXPECT_EQ(column(0), (std::vector<std::string>{"fine", "broken"}));
}

TEST_F(LeftViewProbe, OversizedRepliesAreDroppedSilentlyAndProbeEmptiesTheList) {
    start(fleetOf(unitJson("big", "02:4D:56:00:04:01", "127.78.3.1", 7, "1.2", "a", "b",
                           R"("faults": {"oversizedProbeReply": true})") +
                  "," + unitJson("small", "02:4D:56:00:04:02", "127.78.3.2", 7, "1.2", "a", "b")));
    DialogAnswerer answerer([](QWidget& dialog) { testing::clickButton(dialog, "OK"); });
    view->probe();
    ASSERT_TRUE(waitUntil([&] { return rows() == 1; }));
    QTest::qWait(200);
    EXPECT_EQ(column(0), std::vector<std::string>{"small"});
    EXPECT_EQ(answerer.answered(), 0);
    ASSERT_TRUE(waitUntil([&] { return view->probeTimerId() == 0; }, 3000));

    // Nobody answers the next probe (the units' port moved): the list is empty all the same.
    EndpointSettings nowhere = view->endpointSettings();
    nowhere.devicePort =
        static_cast<std::uint16_t>(fleet->port() == 65535 ? 65534 : fleet->port() + 1);
    view->setEndpointSettings(nowhere);
    view->probe();
    EXPECT_EQ(rows(), 0);
}

TEST_F(LeftViewProbe, CommonProductIdAndVersionOfTheSelection) {
    start(fleetOf(unitJson("a", "02:4D:56:00:05:01", "127.78.4.1", 7, "1.2", "a", "b") + "," +
                  unitJson("b", "02:4D:56:00:05:02", "127.78.4.2", 7, "1.2", "a", "b") + "," +
                  unitJson("c", "02:4D:56:00:05:03", "127.78.4.3", 12, "1.3", "a", "b")));
    view->probe();
    ASSERT_TRUE(waitUntil([&] { return rows() == 3; }));
    tree().SelectRange(tree().topLevelItem(0), tree().topLevelItem(1));
    EXPECT_EQ(commonText(view->selectedUnits(), &DeviceRecord::productId), "07");
    EXPECT_EQ(commonText(view->selectedUnits(), &DeviceRecord::version), "1.2");
    tree().SelectRange(tree().topLevelItem(0), tree().topLevelItem(2));
    EXPECT_EQ(commonText(view->selectedUnits(), &DeviceRecord::productId), std::nullopt);
    EXPECT_EQ(commonText(view->selectedUnits(), &DeviceRecord::version), std::nullopt);
    ASSERT_EQ(view->selectedUnits().size(), 3u);
    EXPECT_EQ(view->selectedUnits()[2].productId, "12");
}

// Sorting moves the rows, not the units behind them: each selected row hands over its own unit.
TEST_F(LeftViewProbe, SelectedRowsHandOverTheirOwnUnitsAfterASort) {
    start(fleetOf(unitJson("b-unit", "02:4D:56:00:06:01", "127.78.5.1", 7, "1.2", "a", "b") + "," +
                  unitJson("c-unit", "02:4D:56:00:06:02", "127.78.5.2", 12, "1.3", "a", "b") + "," +
                  unitJson("a-unit", "02:4D:56:00:06:03", "127.78.5.3", 61, "3.10", "a", "b")));
    view->probe();
    ASSERT_TRUE(waitUntil([&] { return rows() == 3; }));
    for (const int sortColumn : {CLeftView::NameColumn, CLeftView::IpColumn}) {
        view->sortOnColumn(sortColumn);
        view->sortOnColumn(sortColumn);
        tree().SelectRange(tree().topLevelItem(0), tree().topLevelItem(2));
        const std::vector<DeviceRecord> units = view->selectedUnits();
        ASSERT_EQ(units.size(), 3u);
        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(units[static_cast<std::size_t>(row)].name,
                      tree().GetItemTextAt(row, CLeftView::NameColumn).toStdString());
            EXPECT_EQ(units[static_cast<std::size_t>(row)].mac,
                      tree().GetItemTextAt(row, CLeftView::MacColumn).toStdString());
        }
    }
}

} // namespace
} // namespace morvik
