#include "core/AnimationLoader.h"

#include <algorithm>
#include <unordered_map>

#include "core/Conversion.h"
#include "formats/AnimatedCursor.h"
#include "formats/Errors.h"
#include "formats/ZNFile.h"

namespace {

constexpr double kPerFrameRatesVersion = 3.0;  // category, own rates, no reduction

void RequireFrames(int count) {
    // A file without frames, or with more than 16-bit frame numbers reach,
    // cannot become a document.
    if (count <= 0 || count > kMaxFrames) throw EReadError(messages::kStreamRead);
}

void Notify(const std::function<void()>& onReducing) {
    if (onReducing) onReducing();
}

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
    for (int i = 0; i < file.FrameCount(); ++i)
        document.AppendFrame(ImportFrameIcon(file.Icon(i), !current, budget), file.Rate(i));
    return document;
}

TDocument FromCursor(const TAnimatedCursorImage& cursor, ReadBudget& budget) {
    RequireFrames(cursor.FrameCount());
    TDocument document;
    document.ClearDocument();
    document.title = cursor.Title();
    document.authorName = cursor.Creator();
    // Records showing one stored image give equal frames: it is imported
    // once and copied, however many records show it.
    std::unordered_map<const uint8_t*, const TFrameIcon*> imported;
    for (int i = 0; i < cursor.FrameCount(); ++i) {
        const TIconFrame frame = cursor.Frame(i);
        const TFrameIcon*& earlier = imported[frame.image.bytes().data()];
        auto icon = earlier ? TFrameIcon::Built(earlier->image()) : ImportFrameIcon(frame.image, true, budget);
        earlier = icon.get();
        document.AppendFrame(std::move(icon), frame.rate);
    }
    return document;
}

}  // namespace

AnimationKind KindOfPath(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const auto dot = name.find_last_of('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
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
