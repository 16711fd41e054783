// A reply carrying every value of the largest demo description, decoded and turned into the
// value column's texts, against a loop that only formats as many numbers.
#include "description/DescriptionParser.h"
#include "description/ValueTypes.h"
#include "protocol/ParameterFrame.h"
#include "protocol/ReadReplyBody.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace morvik;

class SlotLayout final : public ParameterLayout {
public:
    explicit SlotLayout(const DescriptionSlot& slot) : slot_(slot) {}
    int findParameter(std::string_view address) const override {
        return slot_.findParameter(address);
    }
    std::pair<int, int> findRange(std::string_view address) const override {
        return slot_.findRange(address);
    }
    int parameterSize(int index) const override { return slot_.row(index)->size; }

private:
    const DescriptionSlot& slot_;
};

struct Orion16 {
    DescriptionCache cache;
    std::vector<std::uint8_t> reply;
    int rows = 0;

    Orion16() {
        if (!parseDescription(MORVIK_DEMO_DATA_DIR "/Orion16_3.10.dcf", 61, 3, 10, cache)
                 .parsed()) {
            return;
        }
        const DescriptionSlot& slot = cache.current();
        rows = slot.rowCount();
        // Every value in one range entry "0", as a unit answers a read of everything.
        std::vector<std::uint8_t> values;
        for (int p = 0; p < rows; ++p) {
            for (int byte = 0; byte < slot.row(p)->size; ++byte) {
                values.push_back(static_cast<std::uint8_t>((p * 7 + byte) & 0x3F));
            }
        }
        FrameBuilder frame(values.size() + 600, ByteOrder::MostSignificantFirst);
        frame.beginFrame(HeaderKind::Short, {}, "admin", "orion");
        frame.putRequestId(0x1234);
        frame.putCommand(Command::ReadReply);
        frame.appendEntry("0", values);
        frame.finishFrame();
        reply.assign(frame.frame().begin(), frame.frame().end());
    }
};

Orion16& orion16() {
    static Orion16 data;
    return data;
}

void BM_DecodeReplyOfEveryValue(benchmark::State& state) {
    Orion16& data = orion16();
    if (data.rows == 0) {
        state.SkipWithError("Orion16_3.10.dcf not found");
        return;
    }
    const DescriptionSlot& slot = data.cache.current();
    const SlotLayout layout(slot);
    std::vector<std::string> texts(static_cast<std::size_t>(data.rows));
    for (auto _ : state) {
        const auto frame = parseFrame(data.reply, ByteOrder::MostSignificantFirst);
        walkReadReplyBody(frame->body, frame->declaredBodyLength, ByteOrder::MostSignificantFirst,
                          layout, [&](int p, std::span<const std::uint8_t> value) {
                              texts[static_cast<std::size_t>(p)] = valueToText(
                                  *slot.row(p), slot.definedValues(p), slot.enumeration(p), value,
                                  ByteOrder::MostSignificantFirst);
                          });
        benchmark::DoNotOptimize(texts.data());
    }
    state.counters["values"] = data.rows;
    state.counters["replyBytes"] = static_cast<double>(data.reply.size());
}
BENCHMARK(BM_DecodeReplyOfEveryValue)->Unit(benchmark::kMicrosecond);

// The floor: formatting as many numbers into as many texts.
void BM_FormatSameCountOfNumbers(benchmark::State& state) {
    const int rows = orion16().rows > 0 ? orion16().rows : 700;
    std::vector<std::string> texts(static_cast<std::size_t>(rows));
    for (auto _ : state) {
        for (int p = 0; p < rows; ++p) {
            char text[32];
            const int length = std::snprintf(text, sizeof text, "%d", p * 7919);
            texts[static_cast<std::size_t>(p)].assign(text, static_cast<std::size_t>(length));
        }
        benchmark::DoNotOptimize(texts.data());
    }
}
BENCHMARK(BM_FormatSameCountOfNumbers)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
