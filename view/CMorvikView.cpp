#include "view/CMorvikView.h"

#include "controls/CParamListCtrl.h"
#include "document/CMorvikDoc.h"
#include "protocol/ParameterFrame.h"

#include <QHeaderView>
#include <QMainWindow>
#include <QStatusBar>
#include <QVBoxLayout>
#include <array>
#include <functional>

namespace morvik {
namespace {

// Ends the progress a read showed, however the session call that read returns.
class ProgressScope {
public:
    explicit ProgressScope(std::function<void()> end) : end_(std::move(end)) {}
    ~ProgressScope() { end_(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    std::function<void()> end_;
};
} // namespace

const QString CMorvikView::kWindowTitle = QStringLiteral("  Quorvane Morvik");

CMorvikView::CMorvikView(QWidget* parent)
    : QWidget(parent), dialogs_(this), socket_(this), list_(new CParamListCtrl(table_, this)) {
    list_->setObjectName(QStringLiteral("parameterList"));
    list_->setUnitLookup([this](int parameter) {
        const ParameterRow* row =
            session_ != nullptr ? session_->currentDescription().row(parameter) : nullptr;
        return row != nullptr ? row->unit : std::string();
    });
    pacer_.setProgress([this] { return readProgress(); },
                       [this](const QString& text) { showProgress(text); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    connect(&socket_, &CDeviceSocket::socketData, this, &CMorvikView::onSocketData,
            Qt::DirectConnection);
}

CMorvikView::~CMorvikView() = default;

void CMorvikView::initialUpdate() {
    if (socket_.notifier() != nullptr) {
        return;
    }
    window()->setWindowTitle(kWindowTitle);
    list_->setColumnWidth(ParameterTable::ClassColumn, CParamListCtrl::kClassColumnWidth);
    list_->setColumnWidth(ParameterTable::ParameterColumn, CParamListCtrl::kParameterColumnWidth);
    list_->setColumnWidth(ParameterTable::ValueColumn, CParamListCtrl::kValueColumnWidth);
    // In the pane the value column takes the room a wider window gives.
    list_->horizontalHeader()->setStretchLastSection(true);
    socket_.create();
    // Replies wait in the socket while a read pauses between units.
    pacer_.holdDuringPauses(socket_.notifier());
}

void CMorvikView::attachSession(ParameterSession& session, UnitSelection& selection) {
    if (session_ != nullptr) {
        return;
    }
    session_ = &session;
    document_ = new CMorvikDoc(session, selection, dialogs_, this, this);
}

QString CMorvikView::readProgress() const {
    if (session_ == nullptr) {
        return {};
    }
    // The pause follows the request to the last unit that has one.
    int sent = 0;
    for (int unit = 0; unit < session_->targetCount(); ++unit) {
        sent += session_->targetUnit(unit).requestSent ? 1 : 0;
    }
    return QStringLiteral("Reading unit %1 of %2...").arg(sent).arg(session_->targetCount());
}

void CMorvikView::showProgress(const QString& text) {
    if (auto* frame = qobject_cast<QMainWindow*>(window())) {
        frame->statusBar()->showMessage(text);
        progressShown_ = true;
    }
}

void CMorvikView::endProgress() {
    if (!progressShown_) {
        return;
    }
    progressShown_ = false;
    if (auto* frame = qobject_cast<QMainWindow*>(window())) {
        frame->statusBar()->clearMessage();
    }
}

void CMorvikView::onSocketData() {
    std::array<std::uint8_t, kReceiveBufferSize> buffer{};
    const auto received = socket_.receiveFrom(buffer);
    if (!received || session_ == nullptr) {
        return;
    }
    // A reply may go on with a read: the next chunk, or a read again after a refusal.
    const ProgressScope progress([this] { endProgress(); });
    session_->handleUnitReply({buffer.data(), received->length});
}

void CMorvikView::readParametersRequested(int group) {
    if (session_ != nullptr) {
        const ProgressScope progress([this] { endProgress(); });
        session_->readParametersRequested(group);
    }
}

void CMorvikView::showGroup(int group) {
    if (session_ != nullptr) {
        const ProgressScope progress([this] { endProgress(); });
        session_->showGroup(group);
    }
}

void CMorvikView::onSet() {
    if (session_ != nullptr) {
        session_->writeParameters();
    }
}

void CMorvikView::onReboot() {
    if (session_ != nullptr) {
        session_->rebootUnits();
    }
}

void CMorvikView::onRefresh() {
    if (session_ != nullptr) {
        const ProgressScope progress([this] { endProgress(); });
        session_->Refresh();
    }
}

void CMorvikView::onClear() {
    if (document_ != nullptr) {
        document_->onClear();
    }
}

void CMorvikView::onLoad() {
    if (document_ != nullptr) {
        document_->onLoad();
    }
}

void CMorvikView::onSave() {
    if (document_ != nullptr) {
        document_->onSave();
    }
}

} // namespace morvik
