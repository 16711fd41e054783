#pragma once

#include "controls/CParamListCtrl.h"
#include "discovery/CDeviceSocket.h"
#include "parameters/ParameterSession.h"
#include "parameters/ParameterTable.h"
#include "parameters/UdpTransport.h"
#include "protocol/EndpointSettings.h"
#include "view/PaintingPacer.h"
#include "view/QtDialogs.h"

#include <QWidget>
#include <memory>

namespace morvik {

class CMorvikDoc;
class ClassFilter;
class UnitSelection;

// The parameter pane: shows the parameters of the units selected in the device list and runs
// every exchange with them through a ParameterSession, whose ports are real Qt dialogs, the
// device list's selection, the toolbar's class filter box and this pane's own socket.
//
// The session exists from initialUpdate() on; before that the commands do nothing.
class CMorvikView : public QWidget {
    Q_OBJECT
public:
    static const QString kWindowTitle;

    CMorvikView(UnitSelection& selection, ClassFilter& classFilter, QWidget* parent = nullptr);
    ~CMorvikView() override;
    // The one parameter pane of the program, or nullptr.
    static CMorvikView* instance();

    // Once, when the window first shows the empty document: the window title, the list
    // columns, the request id seed (the current time) and the socket; the data directory is
    // read from the settings.
    void initialUpdate();
    bool isInitialised() const { return session_ != nullptr; }

    // Where requests go; by default from the MORVIK_* environment. Before initialUpdate().
    void setEndpointSettings(EndpointSettings settings) { settings_ = std::move(settings); }

    ParameterSession* session() { return session_.get(); }
    ParameterTable& table() { return table_; }
    CDeviceSocket& socket() { return socket_; }
    CParamListCtrl& parameterList() const { return *list_; }
    // Load, Save and Clear (exists from initialUpdate() on).
    CMorvikDoc* document() const { return document_; }
    Dialogs& dialogs() { return dialogs_; }

public slots:
    // A mouse selection in the device list: a fresh read of everything (group 0).
    void readParametersRequested(int group);
    // A class group chosen in the class filter box.
    void showGroup(int group);
    void onSet();
    void onReboot();
    // F5: re-read the selected units for the group shown.
    void onRefresh();
    // Empties the credential log and every value cell.
    void onClear();
    // Asks for a configuration file and puts its values into the list.
    void onLoad();
    // Asks where to save and writes the shown values there.
    void onSave();

private:
    void onSocketData();
    // Where a read of many units stands, while it pauses between them.
    QString readProgress() const;
    void showProgress(const QString& text);
    // Called when a session call returns: a read that showed its progress is over.
    void endProgress();

    UnitSelection& selection_;
    ClassFilter& classFilter_;
    ParameterTable table_;
    QtDialogs dialogs_;
    PaintingPacer pacer_;
    bool progressShown_ = false;
    CDeviceSocket socket_;
    EndpointSettings settings_;
    std::unique_ptr<UdpTransport> transport_;
    std::unique_ptr<ParameterSession> session_;
    CParamListCtrl* list_;
    CMorvikDoc* document_ = nullptr;
};

} // namespace morvik
