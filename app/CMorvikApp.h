#pragma once

#include <functional>
#include <memory>

namespace morvik {

class CMainFrame;
class DataDirectoryRecord;

// Can this process open an IPv4 datagram socket? The network layer's start-up check.
bool socketLayerAvailable();

// The application: starts the network layer, records the data directory, builds the main
// window with its panes and shows it. Needs a QApplication.
class CMorvikApp {
public:
    static constexpr const char* kSocketFailureMessage = "Windows sockets initialization failed.";
    static constexpr const char* kTitle = "morvik";

    CMorvikApp();
    ~CMorvikApp();

    // The start-up, in order. False when the program is to end: the network layer could not
    // be started (after the user read why) or the main window could not be built.
    bool initInstance();

    CMainFrame* mainFrame() const { return mainFrame_.get(); }

    // The network layer's check; the tests use it to make the layer fail for real.
    std::function<bool()> socketCheck = socketLayerAvailable;

private:
    std::unique_ptr<DataDirectoryRecord> dataDirectory_;
    std::unique_ptr<CMainFrame> mainFrame_;
};

} // namespace morvik
