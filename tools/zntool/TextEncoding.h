#pragma once
// Animation texts are 8-bit characters as the Windows editor typed them
// (code page 1252); the terminal, JSON and the command line speak UTF-8.
#include <optional>
#include <string>
#include <string_view>

// Every byte as its code page 1252 character, in UTF-8. The five bytes that
// page leaves undefined become the control characters of the same code, so
// nothing is lost.
std::string Utf8FromWindows1252(std::string_view text);

// Text typed on the command line, as 8-bit characters: valid UTF-8 is
// converted, anything else is taken byte for byte (it may already be
// 8-bit text). Empty when a character has no place in code page 1252.
std::optional<std::string> Windows1252FromUtf8(std::string_view text);

// A name from the system (a file path) for UTF-8 output: unchanged when it
// is valid UTF-8, read as code page 1252 otherwise.
std::string DisplayName(std::string_view name);
