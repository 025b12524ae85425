#include "core/DocumentFile.h"

ZNContent ZNContentOf(const TDocument& document) {
    ZNContent content{document.title,     document.authorName, document.email,
                      document.homepage,  document.copyright,  document.comments,
                      document.categoryIndex, {}};
    content.frames.reserve(size_t(document.Count()));
    for (int n = 1; n <= document.Count(); ++n) {
        const TFrameRecord& frame = document.FrameAt(n);
        content.frames.push_back({frame.rate, frame.icon.get()});
    }
    return content;
}
