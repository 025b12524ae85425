#pragma once
// Animation texts are 8-bit characters, read as Latin-1 as the editor shows
// them; the terminal, JSON and the command line speak UTF-8.
#include <optional>
#include <string>
#include <string_view>

// Every byte as its Latin-1 character, in UTF-8.
std::string Utf8FromLatin1(std::string_view text);

// Text typed on the command line, as 8-bit characters: valid UTF-8 is
// converted, anything else is taken byte for byte (it may already be
// 8-bit text). Empty when a character lies beyond Latin-1.
std::optional<std::string> Latin1FromUtf8(std::string_view text);

// A name from the system (a file path) for UTF-8 output: unchanged when it
// is valid UTF-8, read as Latin-1 otherwise.
std::string DisplayName(std::string_view name);
