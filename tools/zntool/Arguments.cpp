#include "Arguments.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "TextEncoding.h"
#include "core/AnimationLoader.h"
#include "core/Document.h"
#include "core/PictureImport.h"
#include "formats/FileExtension.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c);
    });
    return text;
}

std::optional<OutputFormat> FormatByName(std::string name) {
    name = Lower(name);
    if (!name.empty() && name[0] == '.') name.erase(0, 1);
    if (name == "zn") return OutputFormat::ZN;
    if (name == "gif") return OutputFormat::Gif;
    if (name == "png") return OutputFormat::Png;
    if (name == "ani") return OutputFormat::AnimatedCursor;
    return std::nullopt;
}

// The field options a format can carry.
std::set<std::string> FieldOptionsOf(OutputFormat format) {
    std::set<std::string> names;
    if (format == OutputFormat::ZN) names.insert(kCategoryOption);
    for (const TextFieldOption& option : kTextFieldOptions)
        if (format == OutputFormat::ZN || (format == OutputFormat::AnimatedCursor && option.inCursor))
            names.insert(option.name);
    return names;
}

// Every option of convert that takes a value.
std::set<std::string> ValueOptions() {
    std::set<std::string> names = FieldOptionsOf(OutputFormat::ZN);
    names.insert({"--scale", "--to", "-o", "--rate"});
    return names;
}

// The options and operands of one command, in the order given.
struct Words {
    std::map<std::string, std::string> values;  // a repeated option keeps its last value
    std::vector<std::string> flags;
    std::vector<std::string> operands;
    bool help = false;
};

Words SplitWords(const std::vector<std::string>& args) {
    Words words;
    bool operandsOnly = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (operandsOnly || arg.empty() || arg[0] != '-' || arg == "-") {
            words.operands.push_back(arg);
        } else if (arg == "--") {
            operandsOnly = true;
        } else if (arg == "--help" || arg == "-h") {
            words.help = true;
        } else if (arg == "--json") {
            words.flags.push_back(arg);
        } else {
            const size_t equals = arg.find('=');
            const std::string name = arg.substr(0, equals);
            if (!ValueOptions().count(name) && name != "--size") throw EUsageError("unknown option '" + arg + "'");
            if (equals != std::string::npos) {
                words.values[name] = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                words.values[name] = args[++i];
            } else {
                throw EUsageError("option '" + name + "' needs a value");
            }
        }
    }
    return words;
}

uint8_t CategoryByName(const std::string& name) {
    if (Lower(name) == "none") return kNoCategory;
    for (size_t i = 0; i < kCategories.size(); ++i)
        if (Lower(std::string(kCategories[i])) == Lower(name)) return uint8_t(i);
    std::string known;
    for (std::string_view c : kCategories) known += (known.empty() ? "" : ", ") + std::string(c);
    throw EUsageError("unknown category '" + name + "'; the categories are " + known + " (or none)");
}

std::string FieldText(const std::string& option, const std::string& value) {
    const auto text = Latin1FromUtf8(value);
    if (!text) throw EUsageError(option + ": '" + value + "' holds a character an animation cannot store");
    if (text->size() > kMaxFieldLength)
        throw EUsageError(option + ": at most " + std::to_string(kMaxFieldLength) + " characters");
    return *text;
}

// The value as a whole number when it is all digits (and short enough not
// to overflow), else 0, which every option refuses.
int WholeNumber(const std::string& value) {
    const bool digits = !value.empty() && value.size() <= 9 &&
                        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digits ? std::stoi(value) : 0;
}

int NumberInRange(const std::string& option, const std::string& value, int most) {
    const int number = WholeNumber(value);
    if (number < 1 || number > most)
        throw EUsageError(option + " must be a whole number from 1 to " + std::to_string(most));
    return number;
}

void CheckInputs(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs)
        if (KindOfPath(input) == AnimationKind::Other && !IsPictureInput(input))
            throw EUsageError("'" + DisplayName(input) + "' is not a .zn, .ani, .gif or .png file");
}

// Options that only one command knows are refused by the other, so a
// typing slip never goes unnoticed.
void RefuseOptions(const Words& words, const std::set<std::string>& allowed, const std::string& command) {
    for (const auto& [name, value] : words.values)
        if (!allowed.count(name)) throw EUsageError("'" + name + "' is not an option of " + command);
    for (const std::string& flag : words.flags)
        if (!allowed.count(flag)) throw EUsageError("'" + flag + "' is not an option of " + command);
}

// --rate times what a strip lacks, so it needs a strip among the inputs.
void ReadStripRate(const Words& words, const std::vector<std::string>& inputs, Invocation& inv) {
    const auto rate = words.values.find("--rate");
    if (rate == words.values.end()) return;
    const bool strip = std::any_of(inputs.begin(), inputs.end(),
                                   [](const std::string& input) { return FormatOfPath(input) == OutputFormat::Png; });
    if (!strip) throw EUsageError("'--rate' applies only to .png strip input");
    inv.stripRate = NumberInRange(rate->first, rate->second, kMaxRate);
}

Invocation ParseInfo(const Words& words) {
    RefuseOptions(words, {"--json", "--rate"}, "info");
    if (words.operands.empty()) throw EUsageError("info needs at least one file");
    CheckInputs(words.operands);
    Invocation inv;
    inv.command = Invocation::Command::Info;
    inv.json = !words.flags.empty();
    inv.files = words.operands;
    ReadStripRate(words, inv.files, inv);
    return inv;
}

std::string OptionLabel(OutputFormat format) {
    switch (format) {
    case OutputFormat::ZN: return "a ZN file";
    case OutputFormat::Gif: return "a GIF";
    case OutputFormat::Png: return "a PNG sprite strip";
    case OutputFormat::AnimatedCursor: return "an animated cursor";
    }
    return {};
}

void ReadConvertOptions(const Words& words, Invocation& inv) {
    // Each output takes the options it can carry: a cursor holds a title
    // and an author, pictures hold no text at all.
    std::set<std::string> allowed = FieldOptionsOf(inv.format);
    if (inv.format == OutputFormat::Gif || inv.format == OutputFormat::Png) allowed = {"--scale"};
    for (const auto& [name, value] : words.values) {
        // --rate times what the input lacks, whatever the output.
        if (name == "--to" || name == "-o" || name == "--rate") continue;
        if (!allowed.count(name)) throw EUsageError("'" + name + "' does not apply to " + OptionLabel(inv.format));
        for (const TextFieldOption& option : kTextFieldOptions)
            if (name == option.name) inv.fields.*option.option = FieldText(name, value);
        if (name == kCategoryOption) inv.fields.categoryIndex = CategoryByName(value);
        if (name == "--scale") inv.scale = NumberInRange(name, value, kMaxScale);
    }
}

Invocation ParseConvert(const Words& words) {
    RefuseOptions(words, ValueOptions(), "convert");
    Invocation inv;
    inv.command = Invocation::Command::Convert;
    const auto to = words.values.find("--to");
    const auto folder = words.values.find("-o");
    if (to != words.values.end() || folder != words.values.end()) {
        if (to == words.values.end()) throw EUsageError("-o DIR needs --to FORMAT");
        if (folder == words.values.end()) throw EUsageError("--to FORMAT needs -o DIR");
        const auto format = FormatByName(to->second);
        if (!format) throw EUsageError("unknown format '" + to->second + "'; use zn, gif, png or ani");
        if (folder->second.empty()) throw EUsageError("-o needs a folder name");
        if (words.operands.empty()) throw EUsageError("convert needs at least one input file");
        inv.format = *format;
        inv.outputFolder = folder->second;
        std::map<std::string, std::string> claimed;  // output -> input
        for (const std::string& input : words.operands) {
            const std::string name = std::filesystem::path(input).stem().string() + ExtensionOf(*format);
            const std::string output = (std::filesystem::path(inv.outputFolder) / name).string();
            const auto [it, fresh] = claimed.emplace(output, input);
            if (!fresh)
                throw EUsageError("'" + DisplayName(it->second) + "' and '" + DisplayName(input) +
                                  "' would both be written to '" + DisplayName(output) + "'");
            inv.jobs.push_back({input, output});
        }
    } else {
        if (words.operands.size() < 2) throw EUsageError("convert needs an input file and an output file");
        if (words.operands.size() > 2) throw EUsageError("several inputs need --to FORMAT and -o DIR");
        const auto format = FormatOfPath(words.operands[1]);
        if (!format)
            throw EUsageError("'" + DisplayName(words.operands[1]) + "': the output must end in .zn, .gif, .png or .ani");
        inv.format = *format;
        inv.jobs.push_back({words.operands[0], words.operands[1]});
    }
    std::vector<std::string> inputs;
    for (const ConvertJob& job : inv.jobs) inputs.push_back(job.input);
    CheckInputs(inputs);
    ReadStripRate(words, inputs, inv);
    ReadConvertOptions(words, inv);
    return inv;
}

int ThumbnailSize(const std::string& value) {
    const int size = WholeNumber(value);
    if (size < kFrameSize) throw EUsageError("--size must be a whole number of pixels, at least 16");
    // Larger requests get the largest thumbnail; file managers scale it.
    return std::min(size, kMaxThumbnailSize);
}

Invocation ParseThumbnail(const Words& words) {
    RefuseOptions(words, {"--size"}, "thumbnail");
    if (words.operands.size() != 2) throw EUsageError("thumbnail needs an input file and an output file");
    Invocation inv;
    inv.command = Invocation::Command::Thumbnail;
    inv.jobs.push_back({words.operands[0], words.operands[1]});
    if (const auto size = words.values.find("--size"); size != words.values.end())
        inv.thumbnailSize = ThumbnailSize(size->second);
    return inv;
}

}  // namespace

std::optional<OutputFormat> FormatOfPath(const std::string& path) {
    const std::string extension = FileExtension(path);
    if (extension.empty()) return std::nullopt;
    return FormatByName(extension);
}

const char* ExtensionOf(OutputFormat format) {
    switch (format) {
    case OutputFormat::ZN: return ".zn";
    case OutputFormat::Gif: return ".gif";
    case OutputFormat::Png: return ".png";
    case OutputFormat::AnimatedCursor: return ".ani";
    }
    return "";
}

Invocation ParseArguments(const std::vector<std::string>& args) {
    if (args.empty()) throw EUsageError("no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") return Invocation{};
    if (command != "info" && command != "convert" && command != "thumbnail") {
        if (!command.empty() && command[0] == '-') throw EUsageError("unknown option '" + command + "'");
        throw EUsageError("unknown command '" + command + "'");
    }
    const Words words = SplitWords(args);
    if (words.help) return Invocation{};
    if (command == "thumbnail") return ParseThumbnail(words);
    return command == "info" ? ParseInfo(words) : ParseConvert(words);
}

const char* HelpText() {
    return R"(Usage:
  zntool info [--json] [--rate N] FILE...
  zntool convert [OPTIONS] IN OUT
  zntool convert --to FORMAT [OPTIONS] IN... -o DIR
  zntool thumbnail [--size N] IN OUT

Inspect and convert Zintra animations (.zn) and animated cursors (.ani);
info and convert also read animated GIFs and PNG sprite strips.

info      Shows each file's layout, version, information fields, frames,
          each frame's rate (in 1/60 s) and the loop's total time; for a
          .gif or .png, the frames and rates that convert makes of it.
  --json    The same as a JSON array, one object per file.
  --rate N  As for convert.

convert   Reads IN as the editor's Open does (a .gif or .png frame by frame
          as the editor pastes pictures, titled after its file name) and
          writes OUT in the format its extension names:
            .zn   a ZN animation (needs a title and an author name)
            .gif  an animated GIF that loops forever
            .png  a sprite strip of all frames, left to right
            .ani  an animated cursor
  --to FORMAT   With -o: convert every IN to FORMAT (zn, gif, png or ani)
  -o DIR        and write it into DIR under its own name.
  --title TEXT, --author TEXT          set these fields (.zn and .ani)
  --category NAME, --email TEXT, --homepage TEXT, --copyright TEXT,
  --comments TEXT                      set these fields (.zn only)
  --scale N     enlarge .gif and .png output N times (1 to 64)
  --rate N      each frame's rate in 1/60 s for .png strip input, whose
                width is a whole number of square frames (default 10)

thumbnail Writes the first frame of IN as a PNG picture OUT, the way file
          managers show the file: enlarged without smoothing, transparent
          pixels kept. IN is read as a ZN file unless its name ends in .ani.
  --size N      the largest multiple of 16 pixels within N (default 128;
                at most 1024)

Categories: Animals, Cartoons, Food, Games, Holidays, Misc, Objects,
Patterns, People, Places, Planets, Plants, Sports, Symbols,
"Science & Technology", "TV & Movies", or none.

Exit status: 0 on success, 1 when a file cannot be read or written,
2 when the command line is wrong.
)";
}
