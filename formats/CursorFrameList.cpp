#include "formats/CursorFrameList.h"

#include <algorithm>
#include <cassert>
#include <climits>

#include "formats/Errors.h"

namespace {

int32_t ValueAt(const uint8_t* values, int64_t i) {
    const uint8_t* v = values + 4 * i;
    return int32_t(uint32_t(v[0]) | uint32_t(v[1]) << 8 | uint32_t(v[2]) << 16 | uint32_t(v[3]) << 24);
}

}  // namespace

CursorFrameList::CursorFrameList(int64_t maxImages) : m_awaited(size_t(std::max<int64_t>(maxImages, 0)), false) {}

namespace {

// Adds n at index i of a count array that grows as needed; indices at or
// beyond limit are never asked for and cost nothing.
void AddAt(std::vector<int32_t>& counts, int64_t i, int32_t n, size_t limit) {
    if (i < 0 || size_t(i) >= limit) return;
    if (size_t(i) >= counts.size()) counts.resize(std::min(limit, std::max(size_t(i) + 1, 2 * counts.size())));
    counts[size_t(i)] += n;
}

int32_t At(const std::vector<int32_t>& counts, int64_t i) { return size_t(i) < counts.size() ? counts[size_t(i)] : 0; }

}  // namespace

void CursorFrameList::AppendRun(int32_t count, int32_t rate) {
    assert(count > 0);
    // Copies of a run longer than the images bound so far claim the next
    // images until it runs out; shorter ones never claim anything.
    if (count > m_bound) {
        ++m_claimingCopies;
        AddAt(m_copiesEndingAt, count, 1, m_awaited.size());
    }
    if (!m_headerRuns.empty()) {
        HeaderRun& last = m_headerRuns.back();
        if (last.end() == m_size && last.length == count && last.rate == rate && last.madeAt == m_bound &&
            last.copies < INT32_MAX) {
            ++last.copies;
            m_size += count;
            return;
        }
    }
    m_headerRuns.push_back({m_size, count, 1, rate, m_bound});
    m_size += count;
}

void CursorFrameList::SetRates(std::span<const uint8_t> values) {
    const auto covered = int64_t(values.size() / 4);
    if (covered == 0) return;
    while (!m_rateChunks.empty() && m_rateChunks.back().covered <= covered) m_rateChunks.pop_back();
    m_rateChunks.push_back({covered, values.data()});
}

void CursorFrameList::SetSequenceIndex(int64_t position, int32_t index) {
    assert(position < m_size && position <= UINT32_MAX);
    assert(m_renumbered.empty() || m_renumbered.back().position < position);
    const Slot slot = Locate(position);
    // A record that was to claim a later image no longer does.
    if (slot.header && slot.number >= m_bound) AddAt(m_renumberedAway, slot.number, 1, m_awaited.size());
    int32_t pending = -1;
    if (index >= m_bound && size_t(index) < m_awaited.size()) {
        pending = index;
        m_awaited[size_t(index)] = true;
    }
    m_renumbered.push_back({uint32_t(position), pending, slot.imageAfter(m_bound)});
}

void CursorFrameList::BindNextImage(int32_t defaultRate) {
    const int32_t k = m_bound;
    m_claimingCopies -= At(m_copiesEndingAt, k);  // runs of length k hold no record k
    const bool claimed = m_claimingCopies > At(m_renumberedAway, k) || (size_t(k) < m_awaited.size() && m_awaited[size_t(k)]);
    if (!claimed) {
        if (!m_appendedRuns.empty() && m_appendedRuns.back().end() == m_size && m_appendedRuns.back().rate == defaultRate)
            ++m_appendedRuns.back().length;
        else
            m_appendedRuns.push_back({m_size, 1, defaultRate, int32_t(m_appendedImages.size())});
        m_appendedImages.push_back(k);
        ++m_size;
    }
    ++m_bound;
}

CursorFrameList::Slot CursorFrameList::Locate(int64_t position) const {
    auto byBase = [](int64_t p, const auto& run) { return p < run.base; };
    const auto header = std::upper_bound(m_headerRuns.begin(), m_headerRuns.end(), position, byBase);
    if (header != m_headerRuns.begin()) {
        const HeaderRun& run = *std::prev(header);
        if (position < run.end())
            return {true, int32_t((position - run.base) % run.length), run.madeAt, run.rate};
    }
    // Every position lies in some run: appended runs fill the gaps.
    const auto appended = std::upper_bound(m_appendedRuns.begin(), m_appendedRuns.end(), position, byBase);
    assert(appended != m_appendedRuns.begin() && position < std::prev(appended)->end());
    const AppendedRun& run = *std::prev(appended);
    return {false, m_appendedImages[size_t(run.first + (position - run.base))], 0, run.rate};
}

int32_t CursorFrameList::FinalImage(const Renumbered& record) const {
    return record.pending >= 0 && record.pending < m_bound ? record.pending : record.previous;
}

int32_t CursorFrameList::RateAt(int64_t position, int32_t madeWith) const {
    // The newest chunk covering the position: chunks covering it come first.
    const auto after = std::partition_point(m_rateChunks.begin(), m_rateChunks.end(),
                                            [&](const RateChunk& c) { return c.covered > position; });
    return after == m_rateChunks.begin() ? madeWith : ValueAt(std::prev(after)->values, position);
}

int64_t CursorFrameList::CountWithImages(int64_t limit) const {
    // Counted run by run without listing; past limit the exact sum no longer matters.
    const int64_t ceiling = int64_t(1) << 62;
    int64_t count = 0;
    for (const HeaderRun& run : m_headerRuns) {
        const int64_t perCopy = std::max(0, std::min(run.length, m_bound) - run.madeAt);
        count = std::min(ceiling, count + perCopy * run.copies);
    }
    for (const AppendedRun& run : m_appendedRuns) count = std::min(ceiling, count + run.length);
    if (count > limit + int64_t(m_renumbered.size())) return count;
    for (const Renumbered& record : m_renumbered)
        count += (FinalImage(record) >= 0) - (Locate(record.position).imageAfter(m_bound) >= 0);
    return count;
}

std::vector<CursorFrameList::Record> CursorFrameList::Finish(int64_t limit) const {
    const int64_t count = CountWithImages(limit);
    if (count > limit) throw EReadError(messages::kStreamRead);

    std::vector<Record> records;
    records.reserve(size_t(count));
    size_t next = 0;  // the first renumbered record not listed yet
    auto listRenumbered = [&](const Renumbered& record) {
        if (const int32_t image = FinalImage(record); image >= 0)
            records.push_back({image, RateAt(record.position, Locate(record.position).rate)});
    };
    auto listRenumberedBefore = [&](int64_t position) {
        for (; next < m_renumbered.size() && m_renumbered[next].position < position; ++next)
            listRenumbered(m_renumbered[next]);
    };
    // Positions from..to − 1 of one run, all holding images unless renumbered.
    auto listRange = [&](int64_t from, int64_t to, int32_t rate, auto imageAt) {
        listRenumberedBefore(from);
        for (int64_t p = from; p < to; ++p) {
            if (next < m_renumbered.size() && m_renumbered[next].position == p)
                listRenumbered(m_renumbered[next++]);
            else
                records.push_back({imageAt(p), RateAt(p, rate)});
        }
    };

    size_t h = 0, a = 0;
    while (h < m_headerRuns.size() || a < m_appendedRuns.size()) {
        if (a == m_appendedRuns.size() || (h < m_headerRuns.size() && m_headerRuns[h].base < m_appendedRuns[a].base)) {
            const HeaderRun& run = m_headerRuns[h++];
            const int32_t first = run.madeAt, end = std::min(run.length, m_bound);
            for (int32_t copy = 0; first < end && copy < run.copies; ++copy) {
                const int64_t base = run.base + int64_t(copy) * run.length;
                listRange(base + first, base + end, run.rate, [&](int64_t p) { return int32_t(p - base); });
            }
        } else {
            const AppendedRun& run = m_appendedRuns[a++];
            listRange(run.base, run.end(), run.rate,
                      [&](int64_t p) { return m_appendedImages[size_t(run.first + (p - run.base))]; });
        }
    }
    listRenumberedBefore(INT64_MAX);
    assert(int64_t(records.size()) == count);
    return records;
}
