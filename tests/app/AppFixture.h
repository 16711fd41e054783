#pragma once

#include "app/AppSettings.h"
#include "app/CMainFrame.h"
#include "app/CMorvikApp.h"
#include "controls/CDeviceTreeList.h"
#include "discovery/CLeftView.h"
#include "support/GuiTestSupport.h"
#include "view/CMorvikView.h"

#include <QDir>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace morvik::testing {

// The whole program started in a data directory of its own (a copy of the demo data), with
// the demo fleet answering on loopback.
class AppFixture : public ::testing::Test {
protected:
    // Starts in the fleet's data directory, or in `workingDirectory` when one is given.
    void startApp(const std::string& fleetJson = LoopbackFleet::demoFleet(),
                  const std::string& workingDirectory = {}) {
        fleet = std::make_unique<LoopbackFleet>(fleetJson);
        previousDirectory = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(
            workingDirectory.empty() ? fleet->data().directory() : workingDirectory)));
        app = std::make_unique<CMorvikApp>();
        ASSERT_TRUE(app->initInstance());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame()));
    }
    void TearDown() override {
        app.reset();
        fleet.reset();
        if (!previousDirectory.isEmpty()) {
            QDir::setCurrent(previousDirectory);
        }
    }

    CMainFrame* frame() const { return app->mainFrame(); }
    CLeftView& leftView() const { return frame()->leftView(); }
    CDeviceTreeList& tree() const { return leftView().treeList(); }
    CMorvikView& view() const { return frame()->morvikView(); }
    ParameterSession& session() const { return *view().session(); }

    // Probes and waits until every unit of the fleet is listed.
    void probeAll() {
        frame()->commandAction(CMainFrame::Probe)->trigger();
        const int units = static_cast<int>(fleet->simulator().unitCount());
        ASSERT_TRUE(waitUntil([&] { return tree().topLevelItemCount() == units; }));
    }
    QTreeWidgetItem* rowNamed(const QString& name) const {
        for (int row = 0; row < tree().topLevelItemCount(); ++row) {
            if (tree().GetItemTextAt(row, 0) == name) {
                return tree().topLevelItem(row);
            }
        }
        ADD_FAILURE() << "no row " << name.toStdString();
        return nullptr;
    }
    void clickRow(QTreeWidgetItem* row, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers modifiers = {}) {
        tree().scrollToItem(row);
        QTest::mouseClick(tree().viewport(), button, modifiers,
                          tree().visualItemRect(row).center());
    }
    std::string valueOf(const std::string& address) {
        return session().getValueText(session().findParameter(address));
    }

    std::unique_ptr<LoopbackFleet> fleet;
    std::unique_ptr<CMorvikApp> app;
    QString previousDirectory;
};

} // namespace morvik::testing
