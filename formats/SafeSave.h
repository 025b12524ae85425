#pragma once
// Saving a whole file so that a failure never costs the user what they had.
#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "formats/SavePlan.h"

// How long an in-place save waits for another program to let go of the
// file (a reader's lock, another save) before it gives up.
inline constexpr std::chrono::milliseconds kSaveLockWait{2000};

// Carries the plan out with bytes, step by step:
// - Replace: the bytes go to the temporary file, which takes the old
//   file's mode and, where the process may, its owner, is flushed and
//   renamed over the target; the folder is then flushed.
// - RewriteWithCopy and Rewrite: the file is locked (waiting at most
//   kSaveLockWait for another holder), the new bytes flushed whole to a
//   recovery copy beside it where the plan has one, the space for its
//   growth set aside (the copy is given up when the disk cannot hold
//   both), and the file rewritten and flushed; a write that fails puts
//   the old bytes back.
// Then the recovery copies that saves of the file cut short had left are
// removed, and old leftovers of killed saves swept. A failure leaves the
// old file as it was: EFCreateError "Cannot create file <path>" when the
// file cannot be made, EWriteError with the system's text and the path
// when writing fails, or "The file is in use by another program and was
// left as it was: <path>" when the lock is not let go in time. Where the
// old bytes could not be put back, the message says so and names the
// recovery copy that holds the new ones. Each carries the system's reason
// as its cause.
SaveResult CarryOut(SavePlan& plan, std::span<const uint8_t> bytes);

// Plans the save of bytes as the file at path and carries it out.
SaveResult WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes);
