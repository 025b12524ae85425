#include "core/AnimationLoader.h"

#include <algorithm>
#include <unordered_map>

#include "core/Conversion.h"
#include "formats/AnimatedCursor.h"
#include "formats/Errors.h"
#include "formats/FileExtension.h"
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

TDocument FromZN(const TZNFile& file, const std::function<void()>& onReducing) {
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
        document.AppendFrame(ImportFrameIcon(file.Icon(i), !current), file.Rate(i));
    return document;
}

TDocument FromCursor(const TAnimatedCursorImage& cursor) {
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
        auto icon = earlier ? TFrameIcon::Built(earlier->image()) : ImportFrameIcon(frame.image, true);
        earlier = icon.get();
        document.AppendFrame(std::move(icon), frame.rate);
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

TDocument LoadZNAnimation(std::span<const uint8_t> file, const std::function<void()>& onReducing) {
    TZNFile reader;
    reader.ReadBytes(file);
    return FromZN(reader, onReducing);
}

TDocument LoadCursorAnimation(std::span<const uint8_t> file, const std::function<void()>& onReducing) {
    Notify(onReducing);
    TAnimatedCursorImage reader;
    reader.ReadCursorBytes(file);
    return FromCursor(reader);
}

TDocument LoadAnimation(const std::string& path, const std::function<void()>& onReducing) {
    return LoadAnimationAs(KindOfPath(path), path, onReducing);
}

TDocument LoadAnimationAs(AnimationKind kind, const std::string& path, const std::function<void()>& onReducing) {
    switch (kind) {
    case AnimationKind::ZN: {
        TZNFile reader;
        reader.Read(path);
        return FromZN(reader, onReducing);
    }
    case AnimationKind::AnimatedCursor: {
        Notify(onReducing);
        TAnimatedCursorImage reader;
        reader.ReadCursorFile(path);
        return FromCursor(reader);
    }
    case AnimationKind::Other:
        break;
    }
    throw EReadError(messages::kStreamRead);
}
