// Our readers against the readers a user would otherwise use, timed on the
// same generated files in one run: gdk-pixbuf and Qt 6 in this process, KDE's
// Qt 5 plugin in its own program (a Qt 5 and a Qt 6 library cannot share a
// process). Prints peer time / our time for every file as a Markdown table:
// above 1 means we are faster.
//
//   zintra_peer_bench [--kde=PROGRAM] [--benchmark_...]
//
// Every peer's frames are checked once, outside the timed loop, against the
// pixels the files were made from, so a peer that fails quietly is reported
// rather than timed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>
#include <unistd.h>

#include "bench/peers/FastestRunReporter.h"
#include "bench/peers/Peer.h"
#include "bench/peers/WorkItems.h"
#include "core/AnimationLoader.h"
#include "formats/FrameIcon.h"
#include "formats/ImageTarget.h"

namespace fs = std::filesystem;

namespace {

const char* const kDefaultFlags[] = {"--benchmark_min_time=0.2", "--benchmark_repetitions=3"};

const std::string kOurs = "ours";
const std::string kKdeId = "kde";

// One cell of the table: a time, or why there is none.
struct Cell {
    double ns = 0;
    std::string problem;
};

class Results {
public:
    void set(const std::string& key, const std::string& peerId, Cell cell) { m_cells[key + "/" + peerId] = cell; }
    const Cell* find(const std::string& key, const std::string& peerId) const {
        const auto at = m_cells.find(key + "/" + peerId);
        return at == m_cells.end() ? nullptr : &at->second;
    }
    void addTimes(const std::map<std::string, double>& fastest) {
        for (const auto& [name, ns] : fastest) m_cells[name] = {ns, {}};
    }

private:
    std::map<std::string, Cell> m_cells;
};

// Ours as the Open command does it: a cursor fully imported into a document,
// an icon decoded at its stored size.
int DecodeOurs(const WorkItem& item, PixelDigest* digest) {
    if (item.kind == WorkItem::Kind::AnimatedCursor) {
        ReadBudget budget;
        const TDocument document = LoadCursorAnimation(item.bytes, budget);
        benchmark::DoNotOptimize(&document);
        return document.Count();
    }
    ReadBudget budget;
    ImageTarget whole(ImageTarget::Size::Stored);
    DecodeFrameIcon(item.bytes, whole, budget);
    const IconImage image = whole.take();
    benchmark::DoNotOptimize(image.pixels.data());
    if (digest) {
        digest->addFrame(image.width, image.height);
        for (const Rgba& p : image.pixels) digest->addPixel(p.r, p.g, p.b, p.alpha);
    }
    return 1;
}

// Empty when the decoder gives every frame and, where checked, the right pixels.
std::string Check(const WorkItem& item, const std::function<int(const WorkItem&, PixelDigest*)>& decode,
                  bool checkPixels) {
    try {
        PixelDigest digest;
        const int frames = decode(item, checkPixels ? &digest : nullptr);
        if (frames != item.frames)
            return std::to_string(frames) + " frames of " + std::to_string(item.frames);
        if (checkPixels && digest.value() != item.digest) return "pixels differ from the file's";
        return {};
    } catch (const std::exception& e) {
        return std::string("refused the file: ") + e.what();
    }
}

void Register(const WorkItem& item, const std::string& peerId,
              std::function<int(const WorkItem&, PixelDigest*)> decode) {
    benchmark::RegisterBenchmark((item.key + "/" + peerId).c_str(), [&item, decode](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(decode(item, nullptr));
    })->Unit(benchmark::kMicrosecond);
}

Peer Missing(std::string id, std::string column, std::string why) {
    return {std::move(id), std::move(column), std::move(why), {}, {}};
}

std::vector<Peer> InProcessPeers() {
    std::vector<Peer> peers;
#ifdef ZINTRA_HAVE_GDK_PIXBUF
    peers.push_back(GdkPixbufPeer());
#else
    peers.push_back(Missing("gdk-pixbuf", "gdk-pixbuf", "not built: gdk-pixbuf's development files were not found"));
#endif
#ifdef ZINTRA_HAVE_QT_GUI
    peers.push_back(QtIcoPeer());
#else
    peers.push_back(Missing("qt-ico", "Qt's ICO reader", "not built: Qt 6 Gui was not found"));
#endif
    return peers;
}

// KDE's plugin lives in a Qt 5 program: it reads the cursors from files
// listed in a manifest and answers with tab-separated lines.
Peer RunKde(const std::string& program, const std::vector<WorkItem>& items,
            const std::vector<std::string>& flags, Results& results) {
    Peer kde = Missing(kKdeId, "KDE's image-format plugin", "");
    kde.reads = [](WorkItem::Kind kind) { return kind == WorkItem::Kind::AnimatedCursor; };
    if (program.empty()) {
        kde.unavailable = "no program given (--kde=PROGRAM; bench/peers/run builds it)";
        return kde;
    }
    if (!fs::exists(program)) {
        kde.unavailable = "its Qt 5 program " + program + " was not built";
        return kde;
    }
    const fs::path folder = fs::temp_directory_path() / ("zintra-peers-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path manifest = folder / "manifest";
    {
        std::ofstream list(manifest);
        for (const WorkItem& item : items) {
            if (item.kind != WorkItem::Kind::AnimatedCursor) continue;
            const fs::path file = folder / (item.key + ".ani");
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(item.bytes.data()), std::streamsize(item.bytes.size()));
            list << item.key << '\t' << file.string() << '\t' << item.frames << '\t' << item.digest << '\n';
        }
    }
    std::string command = "'" + program + "' '" + manifest.string() + "'";
    for (const std::string& flag : flags) command += " '" + flag + "'";
    std::fprintf(stderr, "%s\n", command.c_str());
    std::fflush(stderr);

    kde.unavailable = "its program gave no answer";
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, pipe)) {
            std::istringstream fields(std::string(line, std::strcspn(line, "\n")));
            std::string what, key, rest;
            std::getline(fields, what, '\t');
            std::getline(fields, key, '\t');
            std::getline(fields, rest);
            if (what == "peer") {
                kde.column = key;
                kde.unavailable.clear();
            } else if (what == "unavailable") {
                kde.unavailable = key;
            } else if (what == "wrong") {
                results.set(key, kKdeId, {0, rest});
            } else if (what == "time") {
                results.set(key, kKdeId, {std::strtod(rest.c_str(), nullptr), {}});
            }
        }
        if (const int status = ::pclose(pipe); status != 0 && kde.unavailable.empty())
            kde.unavailable = "its program failed (status " + std::to_string(status) + ")";
    }
    fs::remove_all(folder);
    return kde;
}

std::string Ratio(double r) {
    char text[32];
    std::snprintf(text, sizeof text, r >= 10 ? "%.0f" : r >= 1 ? "%.1f" : "%.2g", r);
    return text;
}

std::string Duration(double ns) {
    char text[32];
    if (ns < 1e3) std::snprintf(text, sizeof text, "%.3g ns", ns);
    else if (ns < 1e6) std::snprintf(text, sizeof text, "%.3g µs", ns / 1e3);
    else std::snprintf(text, sizeof text, "%.3g ms", ns / 1e6);
    return text;
}

void PrintTables(const std::vector<WorkItem>& items, const std::vector<Peer>& peers, const Results& results) {
    std::vector<std::string> notes;
    auto cellText = [&](const WorkItem& item, const Peer& peer, bool ratio) -> std::string {
        if (peer.reads && !peer.reads(item.kind)) return "—";
        if (!peer.unavailable.empty()) return "unavailable";
        const Cell* cell = results.find(item.key, peer.id);
        if (!cell) return "not run";
        if (!cell->problem.empty()) {
            if (ratio) notes.push_back(peer.column + " on " + item.key + ": " + cell->problem);
            return "wrong result";
        }
        if (!ratio) return Duration(cell->ns);
        const Cell* ours = results.find(item.key, kOurs);
        if (!ours || !ours->problem.empty()) return "—";
        return Ratio(cell->ns / ours->ns);
    };

    std::cout << "\n| work | ours |";
    for (const Peer& peer : peers) std::cout << " against " << peer.column << " |";
    std::cout << "\n|---|---|";
    for (size_t i = 0; i < peers.size(); ++i) std::cout << "---|";
    std::cout << '\n';
    // Only what ran (a --benchmark_filter may leave some out), always with ours.
    std::vector<const WorkItem*> rows;
    for (const WorkItem& item : items)
        if (results.find(item.key, kOurs)) rows.push_back(&item);

    for (const WorkItem* row : rows) {
        const WorkItem& item = *row;
        const Cell* ours = results.find(item.key, kOurs);
        std::cout << "| " << item.label << " | "
                  << (!ours ? "not run" : ours->problem.empty() ? Duration(ours->ns) : "wrong result") << " |";
        for (const Peer& peer : peers) std::cout << ' ' << cellText(item, peer, true) << " |";
        std::cout << '\n';
    }

    std::cout << "\nPeer times (the fastest of the repetitions, CPU time per file):\n\n| work |";
    for (const Peer& peer : peers) std::cout << ' ' << peer.column << " |";
    std::cout << "\n|---|";
    for (size_t i = 0; i < peers.size(); ++i) std::cout << "---|";
    std::cout << '\n';
    for (const WorkItem* row : rows) {
        std::cout << "| " << row->label << " |";
        for (const Peer& peer : peers) std::cout << ' ' << cellText(*row, peer, false) << " |";
        std::cout << '\n';
    }

    for (const WorkItem& item : items)
        if (const Cell* ours = results.find(item.key, kOurs); ours && !ours->problem.empty())
            notes.push_back("ours on " + item.key + ": " + ours->problem);
    for (const Peer& peer : peers)
        if (!peer.unavailable.empty()) notes.push_back(peer.column + ": unavailable, " + peer.unavailable);
    if (!notes.empty()) std::cout << '\n';
    for (const std::string& note : notes) std::cout << "- " << note << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    std::string kdeProgram;
    std::vector<std::string> flags(std::begin(kDefaultFlags), std::end(kDefaultFlags));
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--kde=", 0) == 0) kdeProgram = arg.substr(6);
        else flags.push_back(arg);  // later flags win, so the caller's override the defaults
    }
    std::vector<char*> args{argv[0]};
    for (std::string& flag : flags) args.push_back(flag.data());
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    const std::vector<WorkItem> items = MakeWorkItems();
    std::vector<Peer> peers = InProcessPeers();
    Results results;

    for (const WorkItem& item : items) {
        std::string problem = Check(item, DecodeOurs, item.kind == WorkItem::Kind::Icon);
        if (problem.empty()) Register(item, kOurs, DecodeOurs);
        else results.set(item.key, kOurs, {0, problem});
        for (const Peer& peer : peers) {
            if (!peer.unavailable.empty() || !peer.reads(item.kind)) continue;
            problem = Check(item, peer.decode, true);
            if (problem.empty()) Register(item, peer.id, peer.decode);
            else results.set(item.key, peer.id, {0, problem});
        }
    }
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    results.addTimes(reporter.fastest());

    peers.insert(peers.begin() + 1, RunKde(kdeProgram, items, flags, results));
    PrintTables(items, peers, results);
    benchmark::Shutdown();
}
