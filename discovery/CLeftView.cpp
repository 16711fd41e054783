#include "discovery/CLeftView.h"

#include "controls/CDeviceTreeHeader.h"
#include "controls/CDeviceTreeList.h"
#include "controls/CDeviceTreeTip.h"
#include "controls/FixedSizeDialog.h"
#include "guikit/Resources.h"
#include "protocol/NoAnswerHint.h"
#include "protocol/ProbeCodec.h"

#include <QCursor>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <array>

namespace morvik {
namespace {
// Where a row keeps the index of the unit it shows.
constexpr int kUnitIndexRole = Qt::UserRole + 1;
constexpr int kSortedAscending = 0;
constexpr int kSortedDescending = 1;
} // namespace

CLeftView::CLeftView(QWidget* parent)
    : QWidget(parent), socket_(this), tree_(new CDeviceTreeList(this)),
      tip_(new CDeviceTreeTip(this)), settings_(EndpointSettings::fromEnvironment()),
      emptyListMessage_(new QLabel(tree_->viewport())),
      // The list sends one probe request per window: a user who misses a unit probes again.
      probeSession_(std::chrono::milliseconds(kProbeWindowMs), 1) {
    ensureResources();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);
    tip_->hide();
    tip_->passMouseTo(tree_->viewport());
    emptyListMessage_->setObjectName(QStringLiteral("emptyListMessage"));
    emptyListMessage_->setWordWrap(true);
    emptyListMessage_->setTextFormat(Qt::RichText);
    emptyListMessage_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The firewall rules are there to be copied.
    emptyListMessage_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    emptyListMessage_->hide();
    connect(&socket_, &CDeviceSocket::socketData, this, &CLeftView::onSocketData,
            Qt::DirectConnection);
    connect(tree_->treeHeader(), &QHeaderView::sectionClicked, this, &CLeftView::sortOnColumn);
    tree_->viewport()->installEventFilter(this);
}

CLeftView::~CLeftView() = default;

void CLeftView::initialUpdate() {
    if (initialised_) {
        return;
    }
    tree_->treeHeader()->SetImageList({QIcon(QStringLiteral(":/icons/sort-ascending.png")),
                                       QIcon(QStringLiteral(":/icons/sort-descending.png"))});
    tree_->setRowImages({QIcon(QStringLiteral(":/icons/row-unit.png")),
                         QIcon(QStringLiteral(":/icons/row-unit-selected.png"))});
    tree_->InsertColumn(NameColumn, QStringLiteral("Device"), CDeviceTreeList::AlignLeft, 120);
    tree_->InsertColumn(IpColumn, QStringLiteral("IP"), CDeviceTreeList::AlignRight, 100);
    tree_->InsertColumn(MacColumn, QStringLiteral("MAC"), CDeviceTreeList::AlignRight, 110);
    initialised_ = true;
    socket_.create();
}

void CLeftView::probe() {
    if (probeTimerId_ != 0) {
        return;
    }
    probeTimerId_ = static_cast<std::uint32_t>(startTimer(kProbeWindowMs, Qt::PreciseTimer));
    tree_->DeleteAllItems();
    const auto now = ProbeSession::Clock::now();
    probeSession_.start(now);
    checksumErrorsNotShown_ = 0;
    tip_->hideTip();
    emptyListMessage_->hide();
    emit probingChanged(true);
    if (probeSession_.probeDue(now)) {
        probedRoutes_ = sendBroadcast(socket_.endpoint(), buildProbeRequest(), settings_).routes;
        probeSession_.probeSent(now);
    }
}

void CLeftView::timerEvent(QTimerEvent* event) {
    if (probeTimerId_ != 0 && event->timerId() == static_cast<int>(probeTimerId_)) {
        killTimer(event->timerId());
        probeTimerId_ = 0;
        emit probingChanged(false);
        if (tree_->topLevelItemCount() == 0) {
            showNoAnswerHint(noAnswerHint("the probe", probedRoutes_, settings_.devicePort));
        }
        return;
    }
    QWidget::timerEvent(event);
}

void CLeftView::onSocketData() {
    std::array<std::uint8_t, kProbeReplyCapacity> buffer{};
    const auto received = socket_.receiveFrom(buffer);
    if (!received) {
        return;
    }
    ProbeDecodeResult decoded =
        decodeProbeReply({buffer.data(), received->length}, received->sourceAddress);
    if (decoded.verdict == ProbeVerdict::NotAReply) {
        return;
    }
    if (decoded.verdict == ProbeVerdict::ChecksumMismatch) {
        if (checksumBoxOpen_) {
            // A burst of bad replies would stack one box per datagram over the first.
            emit checksumErrorNotShown(++checksumErrorsNotShown_);
        } else {
            // Further replies are listed while the box is open; this one after it is closed.
            checksumBoxOpen_ = true;
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Error"),
                            QStringLiteral("Checksum Error!"), QMessageBox::Ok, this);
            makeFixedSizeDialog(box);
            box.exec();
            checksumBoxOpen_ = false;
        }
    }
    listUnit(std::move(decoded));
}

void CLeftView::listUnit(ProbeDecodeResult decoded) {
    // A unit keeps the row of its first reply, also when it answers from another address.
    if (probeSession_.take(std::move(decoded)) != ProbeSession::Taken::Listed) {
        return;
    }
    const int index = static_cast<int>(probeSession_.units().size()) - 1;
    emptyListMessage_->hide();
    QTreeWidgetItem* row = tree_->InsertItem(probeSession_.units().back().record);
    row->setData(NameColumn, kUnitIndexRole, index);
    emit unitListed(tree_->topLevelItemCount());
    paintRowsSoon();
}

void CLeftView::paintRowsSoon() {
    // Every reply is its own round of the event loop, and each round would repaint the list:
    // the burst of replies to a probe of hundreds of units is painted a few times instead.
    if (!tree_->updatesEnabled()) {
        return;
    }
    tree_->setUpdatesEnabled(false);
    QTimer::singleShot(kRowPaintIntervalMs, this, [this] { tree_->setUpdatesEnabled(true); });
}

DeviceRecord CLeftView::recordOfRow(const QTreeWidgetItem* row) const {
    if (row == nullptr) {
        return {};
    }
    const QVariant index = row->data(NameColumn, kUnitIndexRole);
    const ProbedUnit* unit =
        index.isValid() ? probeSession_.unit(static_cast<std::size_t>(index.toInt())) : nullptr;
    return unit != nullptr ? unit->record : DeviceRecord{};
}

std::vector<DeviceRecord> CLeftView::selectedUnits() const {
    std::vector<DeviceRecord> units;
    for (QTreeWidgetItem* row = tree_->GetFirstSelected(); row != nullptr;
         row = tree_->GetNextSelected(row)) {
        units.push_back(recordOfRow(row));
    }
    return units;
}

void CLeftView::sortOnColumn(int column) {
    CDeviceTreeHeader& header = *tree_->treeHeader();
    const bool ascending = header.GetColumnImage(column) != kSortedAscending;
    for (int each = 0; each < tree_->columnCount(); ++each) {
        header.SetColumnImage(each, -1);
    }
    header.SetColumnImage(column, ascending ? kSortedAscending : kSortedDescending);
    tree_->SortChildren(nullptr, column, ascending);
    for (QTreeWidgetItem* row : tree_->visibleItems()) {
        if (row->childCount() > 0) {
            tree_->SortChildren(row, column, ascending);
        }
    }
    tree_->viewport()->repaint();
}

bool CLeftView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_->viewport()) {
        if (event->type() == QEvent::Resize) {
            placeEmptyListMessage();
        } else if (event->type() == QEvent::MouseMove) {
            updateTip(static_cast<QMouseEvent*>(event)->position().toPoint());
        } else if (event->type() == QEvent::Leave) {
            // The tip appearing under the pointer takes it from the list: that is no leave.
            if (!pointerOverList()) {
                tip_->hideTip();
            }
        } else if (event->type() == QEvent::MouseButtonPress &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            tip_->hideTip();
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool CLeftView::pointerOverList() const {
    const QWidget* list = tree_->viewport();
    return list->isVisible() && list->rect().contains(list->mapFromGlobal(QCursor::pos()));
}

void CLeftView::showNoAnswerHint(const NoAnswerHint& hint) {
    const auto html = [](const std::string& text) {
        return QString::fromStdString(text).toHtmlEscaped();
    };
    // Each command on a line of its own, so that a narrow pane wraps the prose around it and
    // the commands stay whole enough to copy.
    QString text = QStringLiteral("<p><b>%1</b> %2</p><p>%3:</p>")
                       .arg(html(hint.headline), html(hint.networks), html(hint.advice));
    for (const auto& [tool, command] : hint.rules) {
        text += QStringLiteral("<p>%1<br><code>%2</code></p>").arg(html(tool), html(command));
    }
    emptyListMessage_->setText(text);
    placeEmptyListMessage();
    emptyListMessage_->show();
    emit noUnitAnswered(QString::fromStdString(hint.headline),
                        QString::fromStdString(hint.networks));
}

void CLeftView::placeEmptyListMessage() {
    constexpr int kMargin = 8;
    const QRect room = tree_->viewport()->rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    emptyListMessage_->setGeometry(room);
}

void CLeftView::updateTip(const QPoint& viewportPosition) {
    QTreeWidgetItem* row = tree_->rowAt(viewportPosition);
    if (row == nullptr) {
        tip_->hideTip();
        return;
    }
    QFont measuring = font();
    measuring.setPixelSize(14);
    measuring.setWeight(QFont::Normal);
    const QFontMetrics metrics(measuring);
    const CDeviceTreeHeader& header = *tree_->treeHeader();
    const QRect label = tree_->labelRect(row);
    const int labelRight = label.left() + label.width();
    const int x = viewportPosition.x();

    int column = -1;
    int room = 0;
    int tipX = 0;
    const int firstRight = header.sectionViewportPosition(0) + header.sectionSize(0);
    if (x > labelRight && x < firstRight) {
        column = 0;
        room = header.sectionSize(0) - labelRight - label.width() / 2 - 4;
        tipX = label.left() + label.width() / 2;
    } else {
        for (int each = 1; each < tree_->columnCount(); ++each) {
            const int left = header.sectionViewportPosition(each);
            const int right = left + header.sectionSize(each);
            if (x > left && x < right) {
                column = each;
                room = header.sectionSize(each) - 8;
                tipX = left;
                break;
            }
        }
    }
    const QString text = tree_->GetItemText(row, std::max(column, 0));
    if (column < 0 || metrics.horizontalAdvance(text) <= room) {
        tip_->hideTip();
        return;
    }
    // The tip covers the row's own cell, whatever the header's height beside the row's.
    const QPoint corner(tipX, label.top());
    tip_->showTip(text, tree_->viewport()->mapToGlobal(corner), row == tree_->caret());
}

} // namespace morvik
