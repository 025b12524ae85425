#include "core/AnimationLoader.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <string_view>

#include "core/Conversion.h"
#include "core/KeyedHash.h"
#include "formats/AnimatedCursor.h"
#include "formats/Errors.h"
#include "formats/FileExtension.h"
#include "formats/ZNFile.h"

namespace {

void RequireFrames(int count) {
    // A file without frames, or with more than 16-bit frame numbers reach,
    // cannot become a document.
    if (count <= 0 || count > kMaxFrames) throw EReadError(messages::kStreamRead);
}

void Notify(const std::function<void()>& onReducing) {
    if (onReducing) onReducing();
}

// Prices of de-duplication, in the budget's units of 5 ns, each for the
// slowest input of its step (bench/cost/dedup_cost.cpp measures them).
constexpr uint64_t kHashedBytesPerUnit = 8;    // SipHash-1-3 of a frame's bytes
constexpr uint64_t kComparedBytesPerUnit = 16; // comparing two frames' bytes
constexpr uint64_t kLookupUnits = 8;           // a probe sequence of the table
constexpr uint64_t kCopyUnits = 64;            // an earlier import copied
constexpr uint64_t kWrittenUnits = 16;         // a written frame checked and kept

// Imports the frames of one file. A frame stored as the writer writes it is
// kept as those bytes, which the document's icon decodes when it is first
// shown and writes back unchanged: nothing is decoded or converted, the
// bytes go into one buffer for all such frames, and a stored frame never
// needs more than that.
//
// Other frames are imported, each stored image once. Identity first:
// the records of a cursor that show one stored image share its bytes, and
// are one import. Then content, only where it pays: an icon whose entry is
// a PNG is hashed with the process's secret key, and its bytes compared
// with an earlier icon's only when the hashes match. A bitmap is sampled
// from 256 pixels, cheaper than hashing its bytes, so it is never hashed.
//
// The table is flat, made once on first use for as many frames as the file
// has, and a lookup costs a bounded walk and at most one comparison of
// bytes: a file can make frames miss (then each is imported, as any frame
// is) but cannot make a lookup long.
class FrameImporter {
public:
    // shareWritten: a ZN file's written frames, checked by its reader, are
    // kept as the icons it made, sharing its payload, which is mostly theirs.
    FrameImporter(int frames, bool reduce, bool sharedImages, bool shareWritten, ReadBudget& budget)
        : m_frames(frames), m_reduce(reduce), m_sharedImages(sharedImages), m_shareWritten(shareWritten),
          m_budget(budget) {}

    std::unique_ptr<TFrameIcon> Import(const TFrameIcon& stored) {
        if (stored.keepsWrittenBytes()) return KeepWritten(stored);
        if (stored.state() != TFrameIcon::State::Loaded) return ImportFrameIcon(stored, m_reduce, m_budget);
        const std::span<const uint8_t> bytes = stored.bytes();
        Slot* same = nullptr;
        if (m_sharedImages) {
            const uintptr_t where[2] = {reinterpret_cast<uintptr_t>(bytes.data()), bytes.size()};
            same = Find(KeyedHash({reinterpret_cast<const uint8_t*>(where), sizeof where}) | kIdentity,
                        [&](const Slot& s) { return s.stored.data() == bytes.data() && s.stored.size() == bytes.size(); });
            if (same && same->imported) return Copy(*same->imported);
        }
        std::unique_ptr<TFrameIcon> icon = IsWrittenFrameIcon(bytes) ? KeepWritten(bytes) : ImportOnce(stored, bytes);
        if (same) Fill(*same, bytes, *icon);
        return icon;
    }

private:
    // Identity and content share the table, told apart by the hash's top
    // bit; a hash is never 0, which marks a free slot.
    static constexpr uint64_t kIdentity = uint64_t(1) << 63;
    // Probes before a lookup gives up: past them the frame is imported anew.
    static constexpr int kMaxProbes = 8;

    struct Slot {
        uint64_t hash = 0;
        std::span<const uint8_t> stored;
        const TFrameIcon* imported = nullptr;
    };

    std::unique_ptr<TFrameIcon> ImportOnce(const TFrameIcon& stored, std::span<const uint8_t> bytes) {
        Slot* equal = nullptr;
        if (ShowsPngEntry(bytes, m_budget)) {
            m_budget.charge(bytes.size() / kHashedBytesPerUnit, "hashing a frame");
            equal = Find((KeyedHash(bytes) & ~kIdentity) | 1, [&](const Slot& s) {
                if (s.stored.size() != bytes.size()) return false;
                m_budget.charge(bytes.size() / kComparedBytesPerUnit, "comparing frames");
                return std::equal(bytes.begin(), bytes.end(), s.stored.begin());
            });
            if (equal && equal->imported) return Copy(*equal->imported);
        }
        auto icon = ImportFrameIcon(stored, m_reduce, m_budget);
        if (equal) Fill(*equal, bytes, *icon);
        return icon;
    }

    // The slot of an earlier frame that matches (imported set), a free slot
    // now claimed for this one, or none: the walk reached its bound, or a
    // slot of the same hash held other bytes.
    template <typename Matches>
    Slot* Find(uint64_t hash, Matches matches) {
        m_budget.charge(kLookupUnits, "looking a frame up");
        if (!m_slots) {
            // Each frame claims at most two slots: at most half are used.
            const size_t slots = std::bit_ceil(size_t(4) * size_t(std::max(m_frames, 1)));
            m_held = m_budget.hold(slots * sizeof(Slot), "the table of frames");
            m_slots = std::make_unique<Slot[]>(slots);
            m_mask = slots - 1;
        }
        for (size_t i = size_t(hash), probes = 0; probes < kMaxProbes; ++i, ++probes) {
            Slot& slot = m_slots[i & m_mask];
            if (slot.hash == 0) {
                slot.hash = hash;
                return &slot;
            }
            if (slot.hash == hash) return slot.imported && matches(slot) ? &slot : nullptr;
        }
        return nullptr;
    }

    static void Fill(Slot& slot, std::span<const uint8_t> bytes, const TFrameIcon& imported) {
        slot.stored = bytes;
        slot.imported = &imported;
    }

    std::unique_ptr<TFrameIcon> KeepWritten(const TFrameIcon& stored) {
        if (!m_shareWritten) return KeepWritten(stored.bytes());
        m_budget.charge(kWrittenUnits, "keeping a written frame");
        return std::make_unique<TFrameIcon>(stored);
    }

    std::unique_ptr<TFrameIcon> KeepWritten(std::span<const uint8_t> bytes) {
        m_budget.charge(kWrittenUnits, "keeping a written frame");
        // Made once for every frame the file has, so it never moves.
        if (!m_written) m_written = std::make_shared<UninitialisedVector<uint8_t>>(size_t(m_frames) * kFrameIconBytes);
        uint8_t* kept = m_written->data() + m_writtenBytes;
        std::copy(bytes.begin(), bytes.end(), kept);
        m_writtenBytes += bytes.size();
        return TFrameIcon::Written({kept, bytes.size()}, m_written);
    }

    std::unique_ptr<TFrameIcon> Copy(const TFrameIcon& earlier) {
        m_budget.charge(kCopyUnits, "copying a frame");
        return TFrameIcon::Built(earlier.image());
    }

    int m_frames;
    bool m_reduce;
    bool m_sharedImages;
    bool m_shareWritten;
    ReadBudget& m_budget;
    // The imported icons live in the document, which outlives the importer.
    std::unique_ptr<Slot[]> m_slots;
    size_t m_mask = 0;
    ReadBudget::Held m_held;
    // The written frames' bytes, which their icons in the document share.
    std::shared_ptr<UninitialisedVector<uint8_t>> m_written;
    size_t m_writtenBytes = 0;
};

TDocument FromZN(const TZNFile& file, ReadBudget& budget, const std::function<void()>& onReducing) {
    RequireFrames(file.FrameCount());
    const bool current = file.Version() >= kPerFrameRatesVersion;
    TDocument document;
    document.ClearDocument();
    document.title = file.Title();
    document.authorName = file.AuthorName();
    document.email = file.Email();
    document.homepage = file.Homepage();
    if (current) document.categoryIndex = file.Category();
    else Notify(onReducing);
    document.copyright = file.Copyright();
    document.comments = file.Comments();
    document.ReserveFrames(file.FrameCount());
    // The payload stays with the document only where the written frames
    // are the most of it; else they are copied out and it is let go.
    size_t written = 0;
    for (int i = 0; i < file.FrameCount(); ++i)
        if (file.Icon(i).keepsWrittenBytes()) written += kFrameIconBytes;
    FrameImporter importer(file.FrameCount(), !current, false, 2 * written >= file.PayloadSize(), budget);
    for (int i = 0; i < file.FrameCount(); ++i) document.AppendFrame(importer.Import(file.Icon(i)), file.Rate(i));
    return document;
}

// frames: how many of the cursor's frames become the document's.
TDocument FromCursor(const TAnimatedCursorImage& cursor, ReadBudget& budget, int frames = kMaxFrames) {
    RequireFrames(cursor.FrameCount());
    TDocument document;
    document.ClearDocument();
    document.title = cursor.Title();
    document.authorName = cursor.Creator();
    const int count = std::min(cursor.FrameCount(), frames);
    document.ReserveFrames(count);
    FrameImporter importer(count, true, true, false, budget);
    for (int i = 0; i < count; ++i) {
        const TIconFrame frame = cursor.Frame(i);
        document.AppendFrame(importer.Import(frame.image), frame.rate);
    }
    return document;
}

}  // namespace

AnimationKind KindOfPath(const std::string& path) {
    const std::string extension = FileExtension(path);
    if (extension == ".zn") return AnimationKind::ZN;
    if (extension == ".ani") return AnimationKind::AnimatedCursor;
    return AnimationKind::Other;
}

TDocument LoadZNAnimation(std::span<const uint8_t> file, ReadBudget& budget,
                          const std::function<void()>& onReducing) {
    TZNFile reader;
    reader.ReadBytes(file, budget);
    return FromZN(reader, budget, onReducing);
}

TDocument LoadCursorAnimation(std::span<const uint8_t> file, ReadBudget& budget,
                              const std::function<void()>& onReducing) {
    Notify(onReducing);
    TAnimatedCursorImage reader;
    reader.ReadCursorBytes(file, budget);
    return FromCursor(reader, budget);
}

TDocument LoadAnimation(const std::string& path, ReadBudget& budget, const std::function<void()>& onReducing) {
    return LoadAnimationAs(KindOfPath(path), path, budget, onReducing);
}

TDocument LoadAnimationAs(AnimationKind kind, const std::string& path, ReadBudget& budget,
                          const std::function<void()>& onReducing) {
    switch (kind) {
    case AnimationKind::ZN: {
        TZNFile reader;
        reader.Read(path, budget);
        return FromZN(reader, budget, onReducing);
    }
    case AnimationKind::AnimatedCursor: {
        Notify(onReducing);
        TAnimatedCursorImage reader;
        reader.ReadCursorFile(path, budget);
        return FromCursor(reader, budget);
    }
    case AnimationKind::Other:
        break;
    }
    throw EReadError(messages::kStreamRead);
}

TDocument LoadFirstFrame(AnimationKind kind, const std::string& path, ReadBudget& budget) {
    switch (kind) {
    case AnimationKind::ZN: {
        TZNFile reader;
        reader.ReadFirstFrame(path, budget);
        return FromZN(reader, budget, {});
    }
    case AnimationKind::AnimatedCursor: {
        TAnimatedCursorImage reader;
        reader.ReadCursorFile(path, budget);
        return FromCursor(reader, budget, 1);
    }
    case AnimationKind::Other:
        break;
    }
    throw EReadError(messages::kStreamRead);
}

TDocument LoadFirstFrame(AnimationKind kind, std::span<const uint8_t> file, ReadBudget& budget) {
    switch (kind) {
    case AnimationKind::ZN: {
        TZNFile reader;
        reader.ReadFirstFrame(file, budget);
        return FromZN(reader, budget, {});
    }
    case AnimationKind::AnimatedCursor: {
        TAnimatedCursorImage reader;
        reader.ReadCursorBytes(file, budget);
        return FromCursor(reader, budget, 1);
    }
    case AnimationKind::Other:
        break;
    }
    throw EReadError(messages::kStreamRead);
}
