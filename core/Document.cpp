#include "core/Document.h"

#include <cassert>

void TDocument::NewDocument() {
    ClearDocument();
    title.clear();
    authorName.clear();
    email.clear();
    homepage.clear();
    copyright.clear();
    comments.clear();
    categoryIndex = kNoCategory;
    m_frames.emplace_back();
}

void TDocument::ClearDocument() { m_frames.clear(); }

int TDocument::AddFrame() {
    m_frames.emplace_back();
    return Count();
}

void TDocument::RemoveFrame(int n) {
    if (Count() <= 1) return;
    assert(n >= 1 && n <= Count());
    m_frames.erase(m_frames.begin() + (n - 1));
}

void TDocument::CommitFrame(int n, std::unique_ptr<TFrameIcon> icon, int32_t rate) {
    assert(n >= 1 && n <= Count() && icon);
    m_frames[size_t(n - 1)] = TFrameRecord{std::move(icon), rate};
}

void TDocument::AppendFrame(std::unique_ptr<TFrameIcon> icon, int32_t rate) {
    assert(icon);
    m_frames.push_back(TFrameRecord{std::move(icon), rate});
}

const TFrameRecord& TDocument::FrameAt(int n) const {
    assert(n >= 1 && n <= Count());
    return m_frames[size_t(n - 1)];
}
