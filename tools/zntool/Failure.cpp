#include "Failure.h"

#include "core/Document.h"
#include "formats/Errors.h"
#include "formats/SafeSave.h"

std::string FailureReason(const EZintraError& error) {
    // zlib's own text says no more than "error".
    if (dynamic_cast<const EDecompressionError*>(&error) && error.cause().empty())
        return "not a ZN file, or its compressed data is damaged";
    return error.reason();
}

TDocument ReadInput(const std::string& input, const std::function<TDocument()>& read) {
    try {
        return read();
    } catch (const EZintraError& error) {
        throw EFileFailure(input, FailureReason(error));
    }
}

void WriteOutput(const std::string& output, const std::function<std::vector<uint8_t>()>& encode) {
    try {
        WriteFileAtomically(output, encode());
    } catch (const EZintraError& error) {
        throw EFileFailure(output, FailureReason(error));
    }
}
