#include "core/AnimationLoader.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "core/Conversion.h"
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

// Imports the frames of one file, each stored image once: frames whose icon
// bytes are equal byte for byte get copies of the first one's import. The
// hashing and the comparing are charged like any other reading of bytes.
class FrameImporter {
public:
    FrameImporter(bool reduce, ReadBudget& budget)
        : m_reduce(reduce), m_budget(budget), m_imported(0, Hash{&budget}, Equal{&budget}) {}

    std::unique_ptr<TFrameIcon> Import(const TFrameIcon& stored) {
        const std::span<const uint8_t> bytes = stored.empty() ? std::span<const uint8_t>() : stored.bytes();
        const TFrameIcon*& earlier = m_imported[{reinterpret_cast<const char*>(bytes.data()), bytes.size()}];
        if (earlier) {
            m_budget.chargePixels(kFrameSize * kFrameSize, "copying a frame");
            return TFrameIcon::Built(earlier->image());
        }
        auto icon = ImportFrameIcon(stored, m_reduce, m_budget);
        earlier = icon.get();
        return icon;
    }

private:
    struct Hash {
        ReadBudget* budget;
        size_t operator()(std::string_view bytes) const {
            budget->charge(bytes.size(), "comparing frames");
            return std::hash<std::string_view>()(bytes);
        }
    };
    struct Equal {
        ReadBudget* budget;
        bool operator()(std::string_view a, std::string_view b) const {
            budget->charge(a.size(), "comparing frames");
            return a == b;
        }
    };

    bool m_reduce;
    ReadBudget& m_budget;
    // The imported icons live in the document, which outlives the importer.
    std::unordered_map<std::string_view, const TFrameIcon*, Hash, Equal> m_imported;
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
    FrameImporter importer(!current, budget);
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
    FrameImporter importer(true, budget);
    for (int i = 0; i < std::min(cursor.FrameCount(), frames); ++i) {
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

TDocument LoadZNAnimation(std::span<const uint8_t> file, const std::function<void()>& onReducing) {
    ReadBudget budget;
    return LoadZNAnimation(file, budget, onReducing);
}

TDocument LoadCursorAnimation(std::span<const uint8_t> file, const std::function<void()>& onReducing) {
    ReadBudget budget;
    return LoadCursorAnimation(file, budget, onReducing);
}

TDocument LoadAnimation(const std::string& path, ReadBudget& budget, const std::function<void()>& onReducing) {
    return LoadAnimationAs(KindOfPath(path), path, budget, onReducing);
}

TDocument LoadAnimation(const std::string& path, const std::function<void()>& onReducing) {
    ReadBudget budget;
    return LoadAnimation(path, budget, onReducing);
}

TDocument LoadAnimationAs(AnimationKind kind, const std::string& path, const std::function<void()>& onReducing) {
    ReadBudget budget;
    return LoadAnimationAs(kind, path, budget, onReducing);
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
