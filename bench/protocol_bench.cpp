#include "protocol/ParameterFrame.h"
#include "protocol/ReadReplyBody.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

using namespace morvik;

constexpr MacBytes kMac{0x02, 0x00, 0x00, 0x0A, 0x1B, 0x2C};

// A class group of 100 parameters with three-level addresses, as a multi-port class has.
std::vector<std::string> groupAddresses() {
    std::vector<std::string> addresses;
    for (int port = 1; port <= 10; ++port) {
        for (int item = 1; item <= 10; ++item) {
            addresses.push_back("3." + std::to_string(port) + "." + std::to_string(item));
        }
    }
    return addresses;
}

// One read of the whole group: entries go into a request until it passes the chunk threshold,
// the rest into the next one, as the parameter pane sends them.
void BM_BuildGroupReadRequests(benchmark::State& state) {
    const auto addresses = groupAddresses();
    FrameBuilder builder(kRequestBufferSize, ByteOrder::LeastSignificantFirst);
    std::size_t frames = 0;
    for (auto _ : state) {
        std::size_t next = 0;
        while (next < addresses.size()) {
            builder.beginFrame(HeaderKind::Short, kMac, "admin", "password");
            builder.putRequestId(static_cast<std::uint16_t>(10 + next));
            builder.putCommand(Command::ReadRequest);
            while (next < addresses.size() && !builder.pastChunkThreshold()) {
                builder.appendEntry(addresses[next++], {});
            }
            benchmark::DoNotOptimize(builder.finishFrame());
            ++frames;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * addresses.size()));
    state.counters["frames/read"] =
        static_cast<double>(frames) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BuildGroupReadRequests);

void BM_FinishFullReadRequest(benchmark::State& state) {
    const auto addresses = groupAddresses();
    FrameBuilder builder(kRequestBufferSize, ByteOrder::MostSignificantFirst);
    builder.beginFrame(HeaderKind::Long, kMac, "admin", "password");
    builder.putRequestId(4242);
    builder.putCommand(Command::ReadRequest);
    for (std::size_t next = 0; !builder.pastChunkThreshold(); ++next) {
        builder.appendEntry(addresses[next % addresses.size()], {});
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(builder.finishFrame());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * builder.size()));
}
BENCHMARK(BM_FinishFullReadRequest);

// A ReadReply that fills a whole receive buffer: one range entry of 8-byte values.
std::vector<std::uint8_t> fullReadReply() {
    FrameBuilder builder(kReceiveBufferSize, ByteOrder::LeastSignificantFirst);
    builder.beginFrame(HeaderKind::Short, kMac, "admin", "password");
    builder.putRequestId(4242);
    builder.putCommand(Command::ReadReply);
    const std::size_t room = kReceiveBufferSize - builder.size() - 2 - 4;
    builder.appendEntry("0", std::vector<std::uint8_t>(room, 0x5A));
    builder.finishFrame();
    return {builder.frame().begin(), builder.frame().end()};
}

void BM_ParseReadReply1500(benchmark::State& state) {
    const auto datagram = fullReadReply();
    for (auto _ : state) {
        auto frame = parseFrame(datagram, ByteOrder::LeastSignificantFirst);
        benchmark::DoNotOptimize(frame);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * datagram.size()));
    state.counters["datagram bytes"] = static_cast<double>(datagram.size());
}
BENCHMARK(BM_ParseReadReply1500);

class UniformLayout : public ParameterLayout {
public:
    explicit UniformLayout(int count) : count_(count) {}
    int findParameter(std::string_view) const override { return 0; }
    std::pair<int, int> findRange(std::string_view) const override { return {0, count_ - 1}; }
    int parameterSize(int) const override { return 8; }

private:
    int count_;
};

void BM_WalkReadReply1500(benchmark::State& state) {
    const auto datagram = fullReadReply();
    const auto frame = parseFrame(datagram, ByteOrder::LeastSignificantFirst);
    const UniformLayout layout((frame->declaredBodyLength - 4) / 8);
    for (auto _ : state) {
        unsigned sum = 0;
        walkReadReplyBody(frame->body, frame->declaredBodyLength, ByteOrder::LeastSignificantFirst,
                          layout,
                          [&](int, std::span<const std::uint8_t> value) { sum += value[0]; });
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * frame->body.size()));
}
BENCHMARK(BM_WalkReadReply1500);

} // namespace

BENCHMARK_MAIN();
