#pragma once
// The frame records of an animated cursor as its chunks build them: header
// chunks append runs of records numbered for binding, "rate" chunks set the
// rates of the first records, "seq " chunks renumber single records, and
// each stored image goes to the records numbered for it or to a new record.
//
// A header may announce two billion records and a file may hold millions of
// chunks, yet only records that end up holding an image reach the caller,
// and no document takes more than 32767 of them. So nothing here costs
// memory per announced record: a header chunk is one run (identical ones in
// a row one run of several copies), a "rate" chunk is kept as the span of
// the file it is, and only records a "seq " chunk renumbered are held one
// by one. The records with images are listed only at the end, when their
// number is known to be within the caller's limit.
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

class CursorFrameList {
public:
    // At most maxImages images can be bound: what the file's size allows.
    explicit CursorFrameList(int64_t maxImages);

    // Records in the list so far, with or without images.
    int64_t size() const { return m_size; }

    // A header chunk: count records with sequence indices 0 .. count − 1.
    void AppendRun(int32_t count, int32_t rate);
    // A "rate" chunk: one little-endian 32-bit value per record from the
    // first on, at most size() of them. The bytes must outlive the list.
    void SetRates(std::span<const uint8_t> values);
    // A "seq " chunk's step for record position, which must be below size()
    // and above every position renumbered before.
    void SetSequenceIndex(int64_t position, int32_t index);
    // The next stored image, numbered from 0, goes to every record whose
    // sequence index is its number, or to a new record of defaultRate.
    void BindNextImage(int32_t defaultRate);

    struct Record {
        int32_t image;  // its number, counted from 0 in stored order
        int32_t rate;
    };
    // The records that hold an image, in list order. EReadError when there
    // are more than limit.
    std::vector<Record> Finish(int64_t limit) const;

private:
    // Records made by one header chunk, or by several identical ones in a
    // row: copies × length records; record r of each copy starts with
    // sequence index r, and is given image r if that image is bound after
    // the run was made and the record was never renumbered.
    struct HeaderRun {
        int64_t base;
        int32_t length;
        int32_t copies;
        int32_t rate;
        int32_t madeAt;  // images bound before the run was made
        int64_t end() const { return base + int64_t(length) * copies; }
    };
    // Records appended for images no record claimed: images[first + i].
    struct AppendedRun {
        int64_t base;
        int32_t length;
        int32_t rate;
        int32_t first;
        int64_t end() const { return base + length; }
    };
    // A record renumbered by a "seq " chunk.
    struct Renumbered {
        uint32_t position;
        int32_t pending;   // the image it will get if that is ever bound, or −1
        int32_t previous;  // the image it held when renumbered, or −1
    };
    // A "rate" chunk: values for the records before `covered`.
    struct RateChunk {
        int64_t covered;
        const uint8_t* values;
    };
    // What a position holds if no "seq " chunk touched it.
    struct Slot {
        bool header;
        int32_t number;  // header runs: record number within its copy; appended: its image
        int32_t madeAt;
        int32_t rate;
        // Its image once `bound` images are bound, or −1.
        int32_t imageAfter(int32_t bound) const {
            if (!header) return number;
            return number >= madeAt && number < bound ? number : -1;
        }
    };

    Slot Locate(int64_t position) const;
    int32_t FinalImage(const Renumbered& record) const;
    int32_t RateAt(int64_t position, int32_t madeWith) const;
    int64_t CountWithImages(int64_t limit) const;

    int64_t m_size = 0;
    int32_t m_bound = 0;  // images bound so far
    // Deques grow without copying what they hold, so a long list never
    // needs twice its size while it grows.
    std::deque<HeaderRun> m_headerRuns;
    std::deque<AppendedRun> m_appendedRuns;
    std::deque<int32_t> m_appendedImages;
    std::deque<Renumbered> m_renumbered;
    // Oldest first, each covering fewer records than the one before: a
    // chunk that covers no more than a newer one can no longer show.
    std::vector<RateChunk> m_rateChunks;

    // For deciding at once whether an image k is claimed: the copies of
    // runs long enough to hold a record numbered k, less those whose record
    // k was renumbered, or a renumbered record waiting for k. Indexed by
    // image number, so they cost at most a few bytes per image the file
    // could hold.
    int64_t m_claimingCopies = 0;
    std::vector<int32_t> m_copiesEndingAt;   // copies of runs of that length
    std::vector<int32_t> m_renumberedAway;   // renumbered records of that number
    std::vector<bool> m_awaited;
};
