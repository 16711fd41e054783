// What showing a unit's values in the parameter list costs on top of decoding them: every
// ReadReply datagram of a full read of one Orion16 unit (700 parameters) is handed to the
// session, once with a plain table and once with the list shown on the offscreen platform and
// repainted after each datagram, as the event loop would.

#include "GuiPaneRig.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <benchmark/benchmark.h>

namespace {

using namespace morvik;
using namespace morvik::bench;

struct CapturedRead {
    std::unique_ptr<GuiPaneRig> rig;
    std::vector<std::vector<std::uint8_t>> datagrams;
};

CapturedRead captureRead(bool withList) {
    CapturedRead read;
    read.rig = std::make_unique<GuiPaneRig>(orionFleet(1), withList);
    read.rig->onReply = [&read](const std::vector<std::uint8_t>& datagram) {
        read.datagrams.push_back(datagram);
    };
    read.rig->startSimulatorTimer();
    read.rig->selectAll();
    read.rig->session().readParametersRequested(0);
    read.rig->settle();
    read.rig->stopSimulatorTimer();
    read.rig->onReply = nullptr;
    return read;
}

void reportValues(benchmark::State& state, const CapturedRead& read) {
    std::int64_t values = 0;
    for (int line = 0; line < read.rig->table.lineCount(); ++line) {
        values += read.rig->table.text(line, ParameterTable::ValueColumn).empty() ? 0 : 1;
    }
    state.counters["datagrams/read"] = static_cast<double>(read.datagrams.size());
    state.counters["values shown"] = static_cast<double>(values);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(read.datagrams.size()));
}

void BM_FullReadReplyIntoTable(benchmark::State& state) {
    static CapturedRead read = captureRead(false);
    for (auto _ : state) {
        for (const auto& datagram : read.datagrams) {
            read.rig->session().handleUnitReply(datagram);
        }
    }
    reportValues(state, read);
}
BENCHMARK(BM_FullReadReplyIntoTable)->Unit(benchmark::kMicrosecond);

void BM_FullReadReplyIntoShownList(benchmark::State& state) {
    static CapturedRead read = captureRead(true);
    for (auto _ : state) {
        for (const auto& datagram : read.datagrams) {
            read.rig->session().handleUnitReply(datagram);
            // The list learns of the changes and repaints, as between two socket events.
            QApplication::processEvents();
        }
    }
    reportValues(state, read);
}
BENCHMARK(BM_FullReadReplyIntoShownList)->Unit(benchmark::kMicrosecond);

// The parts of the difference: the list following the changes without painting, and one paint
// of the shown rows.
void BM_FullReadReplyIntoListUnpainted(benchmark::State& state) {
    static CapturedRead read = captureRead(true);
    for (auto _ : state) {
        for (const auto& datagram : read.datagrams) {
            read.rig->session().handleUnitReply(datagram);
            read.rig->list->listModel().flushChanges();
        }
    }
    reportValues(state, read);
}
BENCHMARK(BM_FullReadReplyIntoListUnpainted)->Unit(benchmark::kMicrosecond);

void BM_PaintShownRows(benchmark::State& state) {
    static CapturedRead read = captureRead(true);
    for (auto _ : state) {
        read.rig->list->viewport()->repaint();
    }
    state.counters["rows shown"] = read.rig->list->rowsPerPage();
}
BENCHMARK(BM_PaintShownRows)->Unit(benchmark::kMicrosecond);

// The same page painted by Qt's own table: a stock QTableView over a QStandardItemModel holding
// the list's texts and colours, the same size, grid and row height. The list's paint should
// cost at most 1.2 times this.
void BM_PaintShownRowsStockTableView(benchmark::State& state) {
    static CapturedRead read = captureRead(true);
    static QStandardItemModel model;
    static QTableView stock;
    if (model.rowCount() == 0) {
        const QAbstractItemModel& source = *read.rig->list->model();
        model.setColumnCount(source.columnCount());
        for (int row = 0; row < source.rowCount(); ++row) {
            QList<QStandardItem*> items;
            for (int column = 0; column < source.columnCount(); ++column) {
                auto* item = new QStandardItem(source.index(row, column).data().toString());
                item->setForeground(
                    source.index(row, column).data(Qt::ForegroundRole).value<QColor>());
                items.append(item);
            }
            model.appendRow(items);
        }
        for (int column = 0; column < source.columnCount(); ++column) {
            model.setHeaderData(column, Qt::Horizontal, source.headerData(column, Qt::Horizontal));
        }
        stock.setModel(&model);
        stock.verticalHeader()->hide();
        stock.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        stock.verticalHeader()->setDefaultSectionSize(
            read.rig->list->verticalHeader()->defaultSectionSize());
        stock.setWordWrap(false);
        for (int column = 0; column < source.columnCount(); ++column) {
            stock.setColumnWidth(column, read.rig->list->columnWidth(column));
        }
        stock.resize(read.rig->list->size());
        stock.show();
        QApplication::processEvents();
    }
    for (auto _ : state) {
        stock.viewport()->repaint();
    }
    state.counters["rows shown"] = stock.viewport()->height() / stock.rowHeight(0);
}
BENCHMARK(BM_PaintShownRowsStockTableView)->Unit(benchmark::kMicrosecond);

// From the last datagram of a full read to the list's pixels on the offscreen screen: the
// changes are announced by the event loop's next turn, then the window is painted.
void BM_LastDatagramToScreen(benchmark::State& state) {
    static CapturedRead read = captureRead(true);
    for (auto _ : state) {
        state.PauseTiming();
        // Every value empty again, so that the replies change what the list shows.
        ParameterTable& table = read.rig->table;
        for (int line = 0; line < table.lineCount(); ++line) {
            table.setText(line, ParameterTable::ValueColumn, "");
        }
        QApplication::processEvents();
        for (std::size_t i = 0; i + 1 < read.datagrams.size(); ++i) {
            read.rig->session().handleUnitReply(read.datagrams[i]);
        }
        QApplication::processEvents();
        state.ResumeTiming();
        read.rig->session().handleUnitReply(read.datagrams.back());
        QApplication::processEvents();
        read.rig->list->viewport()->repaint();
    }
}
BENCHMARK(BM_LastDatagramToScreen)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    guiApplication();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
