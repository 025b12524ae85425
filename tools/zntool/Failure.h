#pragma once
// How zntool names a file it could not read or write: the file and the
// reason, where the user-facing message of an error only says that
// something failed; and what a save did that the user should know.
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

class EZintraError;
class TDocument;

class EFileFailure : public std::runtime_error {
public:
    EFileFailure(std::string path, const std::string& reason)
        : std::runtime_error(reason), m_path(std::move(path)) {}
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Why a file could not be read or written: the cause the error carries
// from where it happened, else its message.
std::string FailureReason(const EZintraError& error);
// Why the file at path could not be read, and where a save of it that was
// cut short left a recovery copy beside it, if one did.
std::string OpenFailureReason(const std::string& path, const EZintraError& error);

// Runs read, naming input in any failure.
TDocument ReadInput(const std::string& input, const std::function<TDocument()>& read);
// Encodes output and writes it, atomically unless another writer is given,
// naming it in any failure. A save that removed recovery copies an earlier
// one left, or could not remove its own, says so on standard error.
using FileWriter = void (*)(const std::string& path, std::span<const uint8_t> bytes);
void WriteOutput(const std::string& output, const std::function<std::vector<uint8_t>()>& encode,
                 FileWriter write = nullptr);
