// SPDX-License-Identifier: MIT
// Throughput of convertDataToPTC, gzippedData and gunzippedData, in bytes per second.
#include "ContainerBuilder.h"
#include "Gzip.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <zlib.h>

#include <benchmark/benchmark.h>

using namespace ptcdrop;

namespace {

enum Content
{
    Random,
    Text,
    Zeros
};

QByteArray makeInput(Content content, qsizetype size)
{
    QByteArray data(size, '\0');
    QRandomGenerator generator(42);
    if (content == Random) {
        for (char& byte : data)
            byte = char(generator.generate() & 0xFF);
    } else if (content == Text) {
        static const char* const words[] = {"drop", "file", "piece", "name", "gzip",
                                            "zero", "fill", "field", "tag",  "\n"};
        QByteArray text;
        while (text.size() < size) {
            text.append(words[generator.bounded(int(std::size(words)))]);
            text.append(' ');
        }
        data = text.first(size);
    }
    return data;
}

const char* contentName(Content content)
{
    return content == Random ? "random" : content == Text ? "text" : "zeros";
}

// Bytes are counted as payload bytes in, so the figure is payload throughput.
void BM_convertDataToPTC(benchmark::State& state)
{
    const QByteArray payload = makeInput(Random, state.range(0));
    for (auto _ : state) {
        QByteArray container = convertDataToPTC(payload, "NOTES_0");
        benchmark::DoNotOptimize(container.data());
    }
    state.SetBytesProcessed(state.iterations() * qMax<qsizetype>(payload.size(), 1));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_convertDataToPTC)->Arg(1)->Arg(49152);

// Bytes are counted on the uncompressed side in both directions.
void BM_gzippedData(benchmark::State& state)
{
    const auto content = Content(state.range(0));
    const QByteArray input = makeInput(content, state.range(1));
    state.SetLabel(contentName(content));
    for (auto _ : state) {
        std::optional<QByteArray> stream = gzippedData(input);
        benchmark::DoNotOptimize(stream->data());
    }
    state.SetBytesProcessed(state.iterations() * input.size());
}
BENCHMARK(BM_gzippedData)
    ->ArgsProduct({{Random, Text, Zeros}, {49152, 4 << 20}})
    ->Unit(benchmark::kMicrosecond);

void BM_gunzippedData(benchmark::State& state)
{
    const auto content = Content(state.range(0));
    const QByteArray input = makeInput(content, state.range(1));
    const QByteArray stream = *gzippedData(input);
    state.SetLabel(contentName(content));
    for (auto _ : state) {
        std::optional<QByteArray> output = gunzippedData(stream);
        benchmark::DoNotOptimize(output->data());
    }
    state.SetBytesProcessed(state.iterations() * input.size());
}
BENCHMARK(BM_gunzippedData)
    ->ArgsProduct({{Random, Text, Zeros}, {49152, 4 << 20}})
    ->Unit(benchmark::kMicrosecond);

// About 40 KiB of stream expanding to 40 MiB: the output buffer's growth dominates if it
// grows by a fixed step instead of geometrically.
void BM_gunzippedDataExpansion(benchmark::State& state)
{
    const QByteArray input(40 << 20, '\0');
    const QByteArray stream = *gzippedDataWithCompressionLevel(input, 1.0f);
    state.counters["stream_bytes"] = double(stream.size());
    for (auto _ : state) {
        std::optional<QByteArray> output = gunzippedData(stream);
        benchmark::DoNotOptimize(output->data());
    }
    state.SetBytesProcessed(state.iterations() * input.size());
}
BENCHMARK(BM_gunzippedDataExpansion)->Unit(benchmark::kMillisecond);

// For comparison: the same stream with an output buffer that grows by half the input's
// length per step, the growth the codec no longer uses.
std::optional<QByteArray> gunzipFixedSteps(const QByteArray& input)
{
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 32) != Z_OK)
        return std::nullopt;
    const qsizetype step = input.size() / 2;
    QByteArray output(qsizetype(double(input.size()) * 1.5), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
    stream.avail_in = uInt(input.size());
    int status = Z_OK;
    while (status == Z_OK) {
        if (qsizetype(stream.total_out) == output.size())
            output.resize(output.size() + step);
        stream.next_out = reinterpret_cast<Bytef*>(output.data() + stream.total_out);
        stream.avail_out = uInt(output.size() - qsizetype(stream.total_out));
        status = inflate(&stream, Z_SYNC_FLUSH);
    }
    output.truncate(qsizetype(stream.total_out));
    inflateEnd(&stream);
    return status == Z_STREAM_END ? std::optional(output) : std::nullopt;
}

void BM_gunzipFixedStepsExpansion(benchmark::State& state)
{
    const QByteArray input(40 << 20, '\0');
    const QByteArray stream = *gzippedDataWithCompressionLevel(input, 1.0f);
    for (auto _ : state) {
        std::optional<QByteArray> output = gunzipFixedSteps(stream);
        benchmark::DoNotOptimize(output->data());
    }
    state.SetBytesProcessed(state.iterations() * input.size());
}
BENCHMARK(BM_gunzipFixedStepsExpansion)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
