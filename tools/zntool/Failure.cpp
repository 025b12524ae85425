#include "Failure.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Document.h"
#include "formats/Errors.h"
#include "formats/SafeSave.h"

namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string ReadFailureReason(const std::string& path, const std::exception& error) {
    // Asking the system again gives the cause the reader's message leaves out.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat info{};
    const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    ::close(fd);
    if (folder) return std::strerror(EISDIR);
    // zlib's own text says no more than "error".
    if (dynamic_cast<const EDecompressionError*>(&error))
        return "not a ZN file, or its compressed data is damaged";
    // A tool says why, where the reader knew more than its message says.
    if (const auto* known = dynamic_cast<const EZintraError*>(&error)) return known->reason();
    return error.what();
}

std::string WriteFailureReason(const std::string& path, const std::exception& error) {
    // The writer refuses a folder and a file without write permission
    // before it tries anything. A new file needs a folder it may write to;
    // an existing one is written in place where its folder is locked.
    struct stat info{};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return std::strerror(EISDIR);
        if ((info.st_mode & 0222) == 0) return std::strerror(EACCES);
        if (::access(path.c_str(), W_OK) != 0) return std::strerror(errno);
    } else {
        const std::string folder = FolderOf(path);
        if (::stat(folder.c_str(), &info) != 0) return std::strerror(errno);
        if (!S_ISDIR(info.st_mode)) return std::strerror(ENOTDIR);
        if (::access(folder.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    }

    // A write error already carries the system's text, followed by the path.
    std::string message = error.what();
    const std::string suffix = ": " + path;
    if (dynamic_cast<const EWriteError*>(&error) && message.size() > suffix.size() &&
        message.compare(message.size() - suffix.size(), suffix.size(), suffix) == 0)
        message.resize(message.size() - suffix.size());
    return message;
}

TDocument ReadInput(const std::string& input, const std::function<TDocument()>& read) {
    try {
        return read();
    } catch (const EZintraError& error) {
        throw EFileFailure(input, ReadFailureReason(input, error));
    }
}

void WriteOutput(const std::string& output, const std::function<std::vector<uint8_t>()>& encode) {
    std::vector<uint8_t> bytes;
    try {
        bytes = encode();
    } catch (const EZintraError& error) {
        throw EFileFailure(output, error.what());
    }
    try {
        WriteFileAtomically(output, bytes);
    } catch (const EZintraError& error) {
        throw EFileFailure(output, WriteFailureReason(output, error));
    }
}
