#include "parameters/gui/CMorvikView.h"

#include "app/AppSettings.h"
#include "parameters/gui/ReadOnlyParameterList.h"
#include "protocol/ParameterFrame.h"

#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QVBoxLayout>
#include <array>
#include <ctime>

namespace morvik {
namespace {
CMorvikView* theMorvikView = nullptr;
const QString kConfigurationFilter = QStringLiteral("Configuration File(.CNF) (*.cnf)");
} // namespace

const QString CMorvikView::kWindowTitle = QStringLiteral("  Quorvane Morvik");

CMorvikView::CMorvikView(UnitSelection& selection, ClassFilter& classFilter, QWidget* parent)
    : QWidget(parent), selection_(selection), classFilter_(classFilter), dialogs_(this),
      socket_(this), settings_(EndpointSettings::fromEnvironment()),
      model_(new ParameterTableModel(table_, this)), list_(new ReadOnlyParameterList(this)) {
    theMorvikView = this;
    list_->setModel(model_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    connect(&socket_, &CDeviceSocket::socketData, this, &CMorvikView::onSocketData,
            Qt::DirectConnection);
}

CMorvikView::~CMorvikView() {
    if (theMorvikView == this) {
        theMorvikView = nullptr;
    }
}

CMorvikView* CMorvikView::instance() {
    return theMorvikView;
}

QAbstractItemView& CMorvikView::parameterList() const {
    return *list_;
}

void CMorvikView::initialUpdate() {
    if (session_ != nullptr) {
        return;
    }
    window()->setWindowTitle(kWindowTitle);
    list_->horizontalHeader()->resizeSection(ParameterTable::ClassColumn, 150);
    list_->horizontalHeader()->resizeSection(ParameterTable::ParameterColumn, 172);
    list_->horizontalHeader()->resizeSection(ParameterTable::ValueColumn, 175);
    const auto seed = static_cast<std::uint32_t>(std::time(nullptr));
    socket_.create();
    transport_ = std::make_unique<UdpTransport>(socket_.endpoint(), settings_);
    session_ = std::make_unique<ParameterSession>(
        ParameterSession::Ports{dialogs_, selection_, table_, classFilter_, *transport_, pacer_},
        QFile::encodeName(readDataDirectory()).toStdString(), seed);
}

void CMorvikView::onSocketData() {
    std::array<std::uint8_t, kReceiveBufferSize> buffer{};
    const auto received = socket_.receiveFrom(buffer);
    if (!received || session_ == nullptr) {
        return;
    }
    session_->handleUnitReply({buffer.data(), received->length});
}

void CMorvikView::readParametersRequested(int group) {
    if (session_ != nullptr) {
        session_->readParametersRequested(group);
    }
}

void CMorvikView::showGroup(int group) {
    if (session_ != nullptr) {
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
        session_->Refresh();
    }
}

void CMorvikView::onClear() {
    if (session_ != nullptr) {
        session_->clearCredentials();
    }
}

void CMorvikView::onLoad() {
    if (session_ == nullptr) {
        return;
    }
    const QString path = QFileDialog::getOpenFileName(window(), QStringLiteral("Load"), QString(),
                                                      kConfigurationFilter);
    if (!path.isEmpty()) {
        session_->loadConfiguration(QFile::encodeName(path).toStdString());
    }
}

void CMorvikView::onSave() {
    if (session_ == nullptr) {
        return;
    }
    const std::vector<DeviceRecord> units = selection_.selectedUnits();
    if (units.empty()) {
        dialogs_.showMessage("No Selected Data!!", "Error");
        return;
    }
    QString path =
        QFileDialog::getSaveFileName(window(), QStringLiteral("Save"),
                                     QString::fromLatin1(units.front().name), kConfigurationFilter);
    if (path.isEmpty()) {
        return;
    }
    if (!path.contains(QLatin1Char('.'))) {
        path += QStringLiteral(".CNF");
    }
    session_->saveConfiguration(QFile::encodeName(path).toStdString());
}

} // namespace morvik
