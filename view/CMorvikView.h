#pragma once

#include "controls/CParamListCtrl.h"
#include "discovery/CDeviceSocket.h"
#include "parameters/ParameterSession.h"
#include "parameters/ParameterTable.h"
#include "view/PaintingPacer.h"
#include "view/QtDialogs.h"

#include <QWidget>
#include <memory>

namespace morvik {

class CMorvikDoc;

// The parameter pane: shows the parameters of the units selected in the device list and turns
// its commands and the datagrams of its own socket into calls of a ParameterSession. The pane
// owns the session's Qt ports (dialogs, the parameter list, the pauses between units) and the
// socket; whoever builds the window builds the session over them and attaches it.
//
// Before a session is attached the commands do nothing.
class CMorvikView : public QWidget {
    Q_OBJECT
public:
    static const QString kWindowTitle;

    explicit CMorvikView(QWidget* parent = nullptr);
    ~CMorvikView() override;

    // Once, when the window first shows the empty document: the window title, the list
    // columns and the socket.
    void initialUpdate();
    // The session over this pane's ports, which outlives the pane's use of it. Once, after
    // initialUpdate(); also makes the document that carries Load, Save and Clear.
    void attachSession(ParameterSession& session, UnitSelection& selection);
    bool isInitialised() const { return session_ != nullptr; }

    ParameterSession* session() { return session_; }
    ParameterTable& table() { return table_; }
    CDeviceSocket& socket() { return socket_; }
    CParamListCtrl& parameterList() const { return *list_; }
    // Load, Save and Clear (exists once a session is attached).
    CMorvikDoc* document() const { return document_; }
    QtDialogs& dialogs() { return dialogs_; }
    Pacer& pacer() { return pacer_; }

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

    ParameterTable table_;
    QtDialogs dialogs_;
    PaintingPacer pacer_;
    bool progressShown_ = false;
    CDeviceSocket socket_;
    ParameterSession* session_ = nullptr;
    CParamListCtrl* list_;
    CMorvikDoc* document_ = nullptr;
};

} // namespace morvik
