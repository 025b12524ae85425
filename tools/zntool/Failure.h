#pragma once
// How zntool names a file it could not read or write: the file and the
// system's reason, where the project's readers and writers only say that
// something failed.
#include <stdexcept>
#include <string>

class EFileFailure : public std::runtime_error {
public:
    EFileFailure(std::string path, const std::string& reason)
        : std::runtime_error(reason), m_path(std::move(path)) {}
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// The reason path could not be read: the system's message when the file
// cannot be opened, else the reader's own message.
std::string ReadFailureReason(const std::string& path, const std::exception& error);
// The reason path could not be written, the same way.
std::string WriteFailureReason(const std::string& path, const std::exception& error);
