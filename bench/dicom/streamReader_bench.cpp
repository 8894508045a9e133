// Throughput of the buffered stream reader over a 100 MB file read from the
// page cache, next to a plain read(2) loop of the same file (what `cat`
// does) as the reference.
#include "dicom/base/stream.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace Halvoran;

namespace
{
constexpr std::uint32_t fileSize = 100u * 1024u * 1024u;

const std::string& benchFile()
{
    static const std::string path = [] {
        std::string name = "/tmp/dicom_bench_stream_" + std::to_string(::getpid()) + ".bin";
        std::vector<std::uint8_t> chunk(1 << 20);
        std::mt19937 random(7);
        for (std::uint8_t& b : chunk)
            b = static_cast<std::uint8_t>(random());
        ptr<stream> out(new stream);
        out->openFile(name, std::ios_base::out | std::ios_base::trunc);
        ptr<streamWriter> writer(new streamWriter(out));
        for (std::uint32_t written = 0; written < fileSize; written += static_cast<std::uint32_t>(chunk.size()))
            writer->write(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
        writer->flush();
        std::atexit([] { std::remove(benchFile().c_str()); });
        return name;
    }();
    return path;
}

void BM_StreamReaderRead(benchmark::State& state)
{
    const std::uint32_t chunkSize = static_cast<std::uint32_t>(state.range(0));
    std::vector<std::uint8_t> chunk(chunkSize);
    ptr<stream> in(new stream);
    in->openFile(benchFile(), std::ios_base::in);
    for (auto _ : state)
    {
        ptr<streamReader> reader(new streamReader(in));
        for (std::uint32_t done = 0; done < fileSize; done += chunkSize)
            reader->read(chunk.data(), chunkSize);
        benchmark::DoNotOptimize(chunk.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * fileSize);
}
BENCHMARK(BM_StreamReaderRead)->Arg(2)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);

void BM_PlainReadLikeCat(benchmark::State& state)
{
    std::vector<std::uint8_t> chunk(128 * 1024);
    for (auto _ : state)
    {
        const int file = ::open(benchFile().c_str(), O_RDONLY);
        std::uint64_t total = 0;
        for (ssize_t got; (got = ::read(file, chunk.data(), chunk.size())) > 0;)
            total += static_cast<std::uint64_t>(got);
        ::close(file);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * fileSize);
}
BENCHMARK(BM_PlainReadLikeCat)->Unit(benchmark::kMillisecond);
} // namespace
