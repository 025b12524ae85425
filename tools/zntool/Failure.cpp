#include "Failure.h"

#include <iostream>

#include "TextEncoding.h"
#include "core/Document.h"
#include "formats/Errors.h"
#include "formats/RecoveryCopy.h"
#include "formats/SafeSave.h"

namespace {

void Note(const std::string& path, const std::string& text) {
    std::cerr << "zntool: " << DisplayName(path) << ": " << text << '\n';
}

}  // namespace

std::string FailureReason(const EZintraError& error) { return error.reason(); }

std::string OpenFailureReason(const std::string& path, const EZintraError& error) {
    const std::vector<std::string> copies = FindRecoveryCopies(path);
    if (copies.empty()) return FailureReason(error);
    return FailureReason(error) + "; a save cut short left a recovery copy: " + DisplayName(copies.front());
}

TDocument ReadInput(const std::string& input, const std::function<TDocument()>& read) {
    try {
        return read();
    } catch (const EZintraError& error) {
        throw EFileFailure(input, OpenFailureReason(input, error));
    }
}

void WriteOutput(const std::string& output, const std::function<std::vector<uint8_t>()>& encode,
                 FileWriter write) {
    SaveResult result;
    try {
        if (write) write(output, encode());
        else result = WriteFileAtomically(output, encode());
    } catch (const EZintraError& error) {
        throw EFileFailure(output, FailureReason(error));
    }
    for (const std::string& copy : result.removedCopies)
        Note(output, "removed the recovery copy " + DisplayName(copy) + ", which an earlier save cut short had left");
    if (!result.keptCopy.empty())
        Note(output, "saved, but its recovery copy " + DisplayName(result.keptCopy) + " could not be removed");
}
