#include "Failure.h"

#include "core/Document.h"
#include "formats/Errors.h"
#include "formats/SafeSave.h"

std::string FailureReason(const EZintraError& error) { return error.reason(); }

TDocument ReadInput(const std::string& input, const std::function<TDocument()>& read) {
    try {
        return read();
    } catch (const EZintraError& error) {
        throw EFileFailure(input, FailureReason(error));
    }
}

void WriteOutput(const std::string& output, const std::function<std::vector<uint8_t>()>& encode,
                 FileWriter write) {
    try {
        (write ? write : WriteFileAtomically)(output, encode());
    } catch (const EZintraError& error) {
        throw EFileFailure(output, FailureReason(error));
    }
}
