#pragma once
// Turns a ZN file or an animated cursor into a new document, the way the
// Open command does, without touching the document the user has.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "core/Document.h"
#include "formats/ReadBudget.h"

enum class AnimationKind { ZN, AnimatedCursor, Other };

// By the extension of the file's own name, compared in lower case.
AnimationKind KindOfPath(const std::string& path);

// Reads the file and converts every frame. A ".zn" file of version 3.0 or
// more keeps its category and per-frame rates and is not colour-reduced;
// below 3.0 and for ".ani" files every frame is reduced to the standard
// colours, and onReducing runs first so the caller can say it is busy.
// Throws an EZintraError on any failure, including a file without frames,
// one with more than kMaxFrames frames, one whose read goes over budget, or
// another extension. Every decoder the read reaches charges budget, which
// the caller makes for this read alone.
TDocument LoadAnimation(const std::string& path, ReadBudget& budget, const std::function<void()>& onReducing = {});
// The same, reading the file as the kind given whatever its name says.
TDocument LoadAnimationAs(AnimationKind kind, const std::string& path, ReadBudget& budget,
                          const std::function<void()>& onReducing = {});

// The same for a file's bytes already in memory, by kind.
TDocument LoadZNAnimation(std::span<const uint8_t> file, ReadBudget& budget,
                          const std::function<void()>& onReducing = {});
TDocument LoadCursorAnimation(std::span<const uint8_t> file, ReadBudget& budget,
                              const std::function<void()>& onReducing = {});

// The document's first frame alone, with the information fields, as the
// file's kind reads it: for a ZN file only as much of the payload is
// inflated as the header and the first frame take, and the later frames are
// neither read nor checked; a cursor is parsed whole, as its frame records
// need, but only its first frame is imported. The frame is the one
// LoadAnimationAs gives first.
TDocument LoadFirstFrame(AnimationKind kind, const std::string& path, ReadBudget& budget);
TDocument LoadFirstFrame(AnimationKind kind, std::span<const uint8_t> file, ReadBudget& budget);
