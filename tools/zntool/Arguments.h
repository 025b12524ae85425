#pragma once
// The command line of zntool: what to do, on which files, with which
// options. Everything that can be judged from the words alone is judged
// here, before any file is touched.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Document.h"

enum class OutputFormat { ZN, Gif, Png, AnimatedCursor };

// A command line that makes no sense; the tool exits with status 2.
class EUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Information fields to set on the converted animation, as 8-bit text.
struct FieldOptions {
    std::optional<std::string> title, authorName, email, homepage, copyright, comments;
    std::optional<uint8_t> categoryIndex;
};

// Each text field's option, where it is kept, the document field it sets,
// and whether an animated cursor can carry it. --category is the one field
// that is not text.
struct TextFieldOption {
    const char* name;
    std::optional<std::string> FieldOptions::*option;
    std::string TDocument::*field;
    bool inCursor;
};
inline const TextFieldOption kTextFieldOptions[] = {
    {"--title", &FieldOptions::title, &TDocument::title, true},
    {"--author", &FieldOptions::authorName, &TDocument::authorName, true},
    {"--email", &FieldOptions::email, &TDocument::email, false},
    {"--homepage", &FieldOptions::homepage, &TDocument::homepage, false},
    {"--copyright", &FieldOptions::copyright, &TDocument::copyright, false},
    {"--comments", &FieldOptions::comments, &TDocument::comments, false},
};
inline constexpr const char* kCategoryOption = "--category";

struct ConvertJob {
    std::string input;
    std::string output;
};

struct Invocation {
    enum class Command { Help, Info, Convert, Thumbnail };
    Command command = Command::Help;

    // info
    bool json = false;
    std::vector<std::string> files;

    // convert
    std::vector<ConvertJob> jobs;
    OutputFormat format = OutputFormat::ZN;
    FieldOptions fields;
    int scale = 1;
    int32_t stripRate = 10;    // --rate: every frame of a PNG strip input, in 1/60 s
    std::string outputFolder;  // only when several inputs go to one folder

    // thumbnail: one job; the largest edge in pixels, at most kMaxThumbnailSize
    int thumbnailSize = 128;
};

inline constexpr int kMaxScale = 64;
inline constexpr int kMaxThumbnailSize = 16 * kMaxScale;
// What the information dialog lets the user type into one field.
inline constexpr size_t kMaxFieldLength = 255;

// args without the program name. Throws EUsageError.
Invocation ParseArguments(const std::vector<std::string>& args);

// The format an output file name asks for, by its extension in lower case.
std::optional<OutputFormat> FormatOfPath(const std::string& path);
const char* ExtensionOf(OutputFormat format);

// The text of --help.
const char* HelpText();
