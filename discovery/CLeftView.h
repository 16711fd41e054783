#pragma once

#include "guikit/CDeviceSocket.h"
#include "protocol/Broadcast.h"
#include "protocol/DeviceRecord.h"
#include "protocol/EndpointSettings.h"
#include "protocol/NoAnswerHint.h"
#include "protocol/ProbeSession.h"

#include <QWidget>
#include <cstdint>
#include <vector>

class QLabel;
class QTreeWidgetItem;

namespace morvik {

class CDeviceTreeList;
class CDeviceTreeTip;

// The device list pane: Probe broadcasts a probe request, every unit that answers joins the
// discovered units once per MAC, in order of arrival, and gets a row (name, IP and MAC shown;
// product id, version and address mode stored as the row's hidden texts). The parameter pane
// and the configuration commands take the selected rows' units from here.
class CLeftView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kProbeWindowMs = 2000;
    // While replies keep coming, new rows are painted at most this often.
    static constexpr int kRowPaintIntervalMs = 40;
    enum Column {
        NameColumn,
        IpColumn,
        MacColumn,
        ProductIdColumn,
        VersionColumn,
        AddressModeColumn
    };

    explicit CLeftView(QWidget* parent = nullptr);
    ~CLeftView() override;

    // Once, when the window first shows the empty document: columns, images, tip, socket.
    void initialUpdate();
    bool isInitialised() const { return initialised_; }

    // Where probes go; by default from MORVIK_DEVICE_PORT and MORVIK_BROADCAST_ADDRESS.
    void setEndpointSettings(EndpointSettings settings) { settings_ = std::move(settings); }
    const EndpointSettings& endpointSettings() const { return settings_; }

    // The Probe command. Ignored while a probe window is open (probeTimerId non-zero).
    void probe();
    std::uint32_t probeTimerId() const { return probeTimerId_; }

    CDeviceTreeList& treeList() const { return *tree_; }
    CDeviceTreeTip& tip() const { return *tip_; }
    CDeviceSocket& socket() { return socket_; }

    // The units that answered since the last probe, once per MAC, in order of arrival.
    const ProbeSession& probeSession() const { return probeSession_; }
    // The unit a row shows; an empty record for a row that shows none.
    DeviceRecord recordOfRow(const QTreeWidgetItem* row) const;
    // The selected units in display order.
    std::vector<DeviceRecord> selectedUnits() const;

    // A header click: sorts on the column, ascending unless it was last sorted ascending.
    void sortOnColumn(int column);

    // Shown in the empty list when a probe window ended without an answer: the networks
    // probed and what a host firewall must let in. Hidden again by the next probe or reply.
    QLabel& emptyListMessage() const { return *emptyListMessage_; }
    // Replies of this probe with a checksum error that came while the message box about an
    // earlier one was open: listed, and counted instead of opening a box each.
    int checksumErrorsNotShown() const { return checksumErrorsNotShown_; }
    // Where the last probe went, one entry per datagram.
    const std::vector<BroadcastRoute>& probedRoutes() const { return probedRoutes_; }

signals:
    void probingChanged(bool probing);
    // A reply added a row; `rowCount` rows are listed now.
    void unitListed(int rowCount);
    // A reply with a checksum error came while the box about another one was open.
    void checksumErrorNotShown(int count);
    // A probe window ended and nobody had answered: "No unit answered the probe." and the
    // networks probed.
    void noUnitAnswered(const QString& headline, const QString& networks);

protected:
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onSocketData();
    // Lists the unit of a probe reply unless its MAC is listed already.
    void listUnit(ProbeDecodeResult decoded);
    void paintRowsSoon();
    void updateTip(const QPoint& viewportPosition);
    bool pointerOverList() const;
    void showNoAnswerHint(const NoAnswerHint& hint);
    void placeEmptyListMessage();

    CDeviceSocket socket_;
    CDeviceTreeList* tree_;
    CDeviceTreeTip* tip_;
    EndpointSettings settings_;
    std::vector<BroadcastRoute> probedRoutes_;
    QLabel* emptyListMessage_;
    ProbeSession probeSession_;
    std::uint32_t probeTimerId_ = 0;
    bool checksumBoxOpen_ = false;
    int checksumErrorsNotShown_ = 0;
    bool initialised_ = false;
};

} // namespace morvik
