// Loading and saving a large history (200 000 messages) in version 2 and in plain text,
// in bytes per second of the file, next to a plain memory copy of the same bytes and a
// whole-file read: the distance to those limits is what the readers and writers cost.

#include "history/BinaryFormat.h"
#include "history/History.h"
#include "history/TextFormat.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

using namespace vimosync;

namespace {

// The default settings, with replaced files simply overwritten.
const TReadOptions gRead;
const TSaveOptions gSave = [] {
    TSaveOptions save;
    save.BackupToRecycleBin = false;
    return save;
}();

constexpr int kMessages = 200000;

TZMTMessList makeHistory(int version) {
    TZMTMessList list;
    list.UIN = "123456789";
    list.ContactNick = "Contact";
    list.Version = static_cast<std::uint8_t>(version);
    list.Scrambled = version >= 2 ? 1 : 0;
    std::mt19937 rng(42);
    const std::string words[] = {"hello",
                                 "how are you",
                                 "see you tomorrow",
                                 "ok",
                                 "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                                 "what time is the meeting",
                                 "lol",
                                 "call me later"};
    double t = 39000.0;
    for (int i = 0; i < kMessages; ++i) {
        TZMTMess& m = NewMessage(list);
        t += (rng() % 600) / 86400.0;
        m.Time = t;
        m.Outgoing = rng() % 2;
        m.Nick = m.Outgoing ? "me" : "Contact";
        std::string text;
        const int parts = 1 + static_cast<int>(rng() % 12);
        for (int p = 0; p < parts; ++p) {
            if (p) {
                text += rng() % 5 == 0 ? "\r\n" : " ";
            }
            text += words[rng() % 8];
        }
        m.Text = text;
    }
    return list;
}

struct Fixture {
    QTemporaryDir dir;
    QString binPath, txtPath;
    std::string binBytes, txtBytes;
    TZMTMessList binList, txtList;

    Fixture() {
        binList = makeHistory(2);
        txtList = makeHistory(0);
        binBytes = BuildBinaryFile(binList, gRead);
        txtBytes = BuildPlainText(txtList, gRead.Text);
        binPath = dir.filePath(QStringLiteral("Varyon_123456789.zmt"));
        txtPath = dir.filePath(QStringLiteral("123456789.txt"));
        write(binPath, binBytes);
        write(txtPath, txtBytes);
        binList.FileName = binPath;
        txtList.FileName = txtPath;
    }
    static void write(const QString& path, const std::string& bytes) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
};

Fixture& fx() {
    static Fixture f;
    return f;
}

void memcpyOf(benchmark::State& state, const std::string& src) {
    std::string dst(src.size(), '\0');
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(src.size()));
}

void readWhole(benchmark::State& state, const QString& path, std::size_t size) {
    std::string buf;
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        buf.resize(size);
        benchmark::DoNotOptimize(f.read(buf.data(), static_cast<qint64>(size)));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}

void BM_V2_Memcpy(benchmark::State& s) {
    memcpyOf(s, fx().binBytes);
}
void BM_V2_ReadFile(benchmark::State& s) {
    readWhole(s, fx().binPath, fx().binBytes.size());
}
void BM_V2_Parse(benchmark::State& s) {
    for (auto _ : s) {
        TZMTMessList list;
        ParseBinaryHistory(list, std::string(fx().binBytes), LoadPlain, gRead);
        benchmark::DoNotOptimize(list.Items.data());
    }
    s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(fx().binBytes.size()));
}
// One contact of 2000 messages, as in the analysis of many contacts: memory is reused
// between loads, so this shows the reader's own cost per message.
void BM_V2_Parse2000(benchmark::State& s) {
    static const std::string small = [] {
        TZMTMessList list = makeHistory(2);
        list.Items.resize(2000);
        return BuildBinaryFile(list, gRead);
    }();
    for (auto _ : s) {
        TZMTMessList list;
        ParseBinaryHistory(list, std::string(small), LoadPlain, gRead);
        benchmark::DoNotOptimize(list.Items.data());
    }
    s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(small.size()));
}
void BM_Text_Parse2000(benchmark::State& s) {
    static const std::string small = [] {
        TZMTMessList list = makeHistory(0);
        list.Items.resize(2000);
        return BuildPlainText(list, gRead.Text);
    }();
    for (auto _ : s) {
        TZMTMessList list;
        ParsePlainText(list, std::string(small), LoadPlain, gRead.Text);
        benchmark::DoNotOptimize(list.Items.data());
    }
    s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(small.size()));
}
void BM_Memcpy2000(benchmark::State& s) {
    TZMTMessList list = makeHistory(2);
    list.Items.resize(2000);
    memcpyOf(s, BuildBinaryFile(list, gRead));
}
void BM_V2_Load(benchmark::State& s) {
    for (auto _ : s) {
        TZMTMessList list;
        list.FileName = fx().binPath;
        LoadHistory(list, LoadContactNick, false, gRead);
        benchmark::DoNotOptimize(list.Items.data());
    }
    s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(fx().binBytes.size()));
}
void BM_V2_Build(benchmark::State& s) {
    for (auto _ : s) {
        benchmark::DoNotOptimize(BuildBinaryFile(fx().binList, gRead).data());
    }
    s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(fx().binBytes.size()));
}
void BM_V2_Save(benchmark::State& s) {
    for (auto _ : s) {
        bool backedUp = false;
        SaveHistory(fx().binList, backedUp, false, gRead, gSave);
    }
    s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(fx().binBytes.size()));
}

void BM_Text_Memcpy(benchmark::State& s) {
    memcpyOf(s, fx().txtBytes);
}
void BM_Text_ReadFile(benchmark::State& s) {
    readWhole(s, fx().txtPath, fx().txtBytes.size());
}
void BM_Text_Parse(benchmark::State& s) {
    for (auto _ : s) {
        TZMTMessList list;
        ParsePlainText(list, std::string(fx().txtBytes), LoadPlain, gRead.Text);
        benchmark::DoNotOptimize(list.Items.data());
    }
    s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(fx().txtBytes.size()));
}
void BM_Text_Load(benchmark::State& s) {
    for (auto _ : s) {
        TZMTMessList list;
        list.FileName = fx().txtPath;
        LoadHistory(list, LoadContactNick, false, gRead);
        benchmark::DoNotOptimize(list.Items.data());
    }
    s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(fx().txtBytes.size()));
}
void BM_Text_Build(benchmark::State& s) {
    for (auto _ : s) {
        benchmark::DoNotOptimize(BuildPlainText(fx().txtList, gRead.Text).data());
    }
    s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(fx().txtBytes.size()));
}
void BM_Text_Save(benchmark::State& s) {
    for (auto _ : s) {
        bool backedUp = false;
        SaveHistory(fx().txtList, backedUp, false, gRead, gSave);
    }
    s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(fx().txtBytes.size()));
}

} // namespace

BENCHMARK(BM_V2_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_V2_ReadFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_V2_Parse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_V2_Load)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_V2_Parse2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Text_Parse2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_V2_Build)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_V2_Save)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Text_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Text_ReadFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Text_Parse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Text_Load)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Text_Build)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Text_Save)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
