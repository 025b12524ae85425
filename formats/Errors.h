#pragma once
// The failures the editor reports. Each carries its message text exactly as
// the user is to see it, and where the message says less than what went
// wrong, the cause as it was known where the failure happened, for tools and
// logs. The shared base lets a command catch them in one place.
#include <stdexcept>
#include <string>

class EZintraError : public std::runtime_error {
public:
    explicit EZintraError(const std::string& message, std::string cause = {})
        : std::runtime_error(message), m_cause(std::move(cause)) {}
    // Why, in words a user of zntool can act on; empty when the message says it.
    const std::string& cause() const { return m_cause; }
    // The cause where there is one, else the message.
    std::string reason() const { return m_cause.empty() ? what() : m_cause; }

private:
    std::string m_cause;
};

// A ZN payload that does not start with "ZN".
class EZNError : public EZintraError { using EZintraError::EZintraError; };
// Data that ends early or is otherwise unreadable.
class EReadError : public EZintraError { using EZintraError::EZintraError; };
// A file that cannot be opened for reading.
class EFOpenError : public EZintraError { using EZintraError::EZintraError; };
// A file that cannot be created for writing.
class EFCreateError : public EZintraError { using EZintraError::EZintraError; };
// A write that failed part-way (disk full, I/O error).
class EWriteError : public EZintraError { using EZintraError::EZintraError; };
// Decimal text that is not a number.
class EConvertError : public EZintraError { using EZintraError::EZintraError; };
// A damaged zlib stream.
class EDecompressionError : public EZintraError { using EZintraError::EZintraError; };
// Icon bytes that do not form an image.
class EInvalidGraphic : public EZintraError { using EZintraError::EZintraError; };
// An image that cannot be produced for lack of resources.
class EOutOfResources : public EZintraError { using EZintraError::EZintraError; };

namespace messages {
inline constexpr const char* kStreamRead = "Stream read error";
inline constexpr const char* kInvalidIcon = "Icon image is not valid";
inline constexpr const char* kOutOfResources = "Out of system resources";
inline constexpr const char* kNotZN = "This is not a valid ZN File.";
inline constexpr const char* kInflate = "error";

inline std::string CannotOpen(const std::string& path) { return "Cannot open file " + path; }
inline std::string CannotCreate(const std::string& path) { return "Cannot create file " + path; }
inline std::string NotANumber(const std::string& text) { return "'" + text + "' is not a valid floating point value"; }
inline std::string NotAnInteger(const std::string& text) { return "'" + text + "' is not a valid integer value"; }
}  // namespace messages
