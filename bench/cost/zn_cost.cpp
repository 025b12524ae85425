// What reading a ZN file costs per unit it charges, beyond inflating it
// (inflate_cost.cpp): frame records of the smallest icons, strings passed
// over, and a file's bytes read from disk.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Cost.h"
#include "builders/HostileFiles.h"
#include "builders/ZNBuilder.h"
#include "formats/FileBytes.h"
#include "formats/ZNFile.h"

namespace {

using test::Bytes;

// 32767 records of 6-byte icons, uncompressed: nothing but records.
Bytes TinyRecords() {
    test::ZNBuilder zn;
    zn.currentHeader(kMaxFrames);
    for (int i = 0; i < kMaxFrames; ++i) zn.frame(1, {0, 0, 1, 0, 0, 0});
    return zn.payload();
}
// 32767 records of the writer's icons, each checked whole as it is read.
Bytes WrittenRecords() {
    test::ZNBuilder zn;
    zn.currentHeader(kMaxFrames);
    for (int i = 0; i < kMaxFrames; ++i) zn.frame(1, EncodeFrameIcon(test::SampleFrame()));
    return zn.payload();
}
// Six strings of 10 MiB, each kept to its first bytes and passed over.
Bytes LongStrings() {
    test::ZNBuilder zn;
    const std::string text(size_t(10) << 20, 'a');
    zn.bytes("ZNFIL").f64(3.0).u8(0);
    for (int i = 0; i < 6; ++i) zn.string(text);
    zn.u8(5).i32(1).frame(10, EncodeFrameIcon(test::SampleFrame()));
    return zn.payload();
}

template <Bytes (*Build)()>
void BM_ReadZN(benchmark::State& state) {
    const Bytes& file = cost::Once<Build>();
    cost::Measure(state, [&](ReadBudget& budget) { TZNFile().ReadBytes(file, budget); });
}
BENCHMARK(BM_ReadZN<TinyRecords>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadZN<WrittenRecords>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadZN<LongStrings>)->Unit(benchmark::kMillisecond);

// 64 MiB from disk, as a file is read: the read and the pages it fills.
void BM_ReadFileBytes(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / ("zn_cost_" + std::to_string(::getpid()) + ".zn");
    {
        test::ZNBuilder zn;
        zn.currentHeader(0).bytes(std::vector<uint8_t>(size_t(64) << 20, 1));
        const Bytes bytes = zn.payload();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    cost::Measure(state, [&](ReadBudget& budget) { TZNFile().Read(path.string(), budget); });
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond);

}  // namespace
