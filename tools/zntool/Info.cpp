#include "Info.h"

#include <cmath>
#include <cstdio>

#include "Arguments.h"
#include "TextEncoding.h"
#include "core/Document.h"
#include "core/AnimationLoader.h"
#include "core/PictureImport.h"
#include "formats/AnimatedCursor.h"
#include "formats/ReadBudget.h"
#include "formats/ZNFile.h"

namespace {

const char* LayoutName(ZNLayout layout) {
    switch (layout) {
    case ZNLayout::Compressed: return "current compressed";
    case ZNLayout::Uncompressed: return "current uncompressed";
    case ZNLayout::Legacy: return "legacy";
    }
    return "";
}

std::string CategoryName(uint8_t index) {
    if (index < kCategories.size()) return std::string(kCategories[index]);
    if (index == kNoCategory) return "none";
    return "unknown (" + std::to_string(index) + ")";
}

// The editor shows an optional field holding the empty marker as empty.
std::string Optional(const std::string& field) { return field == kEmptyMarker ? std::string() : field; }

AnimationInfo ReadZN(const std::string& path) {
    ReadBudget budget;  // one per file
    TZNFile file;
    file.Read(path, budget);
    AnimationInfo info;
    info.path = path;
    info.layout = LayoutName(file.Layout());
    info.version = file.Version();
    info.title = file.Title();
    info.authorName = file.AuthorName();
    info.email = Optional(file.Email());
    info.homepage = Optional(file.Homepage());
    info.copyright = file.Copyright();
    info.comments = Optional(file.Comments());
    // Before per-frame rates Open ignores the category byte, and so do we.
    info.category = CategoryName(file.Version() >= kPerFrameRatesVersion ? file.Category() : kNoCategory);
    for (int i = 0; i < file.FrameCount(); ++i) info.rates.push_back(file.Rate(i));
    return info;
}

AnimationInfo ReadCursor(const std::string& path) {
    ReadBudget budget;  // one per file
    TAnimatedCursorImage cursor;
    cursor.ReadCursorFile(path, budget);
    AnimationInfo info;
    info.path = path;
    info.layout = "animated cursor";
    info.title = cursor.Title();
    info.authorName = cursor.Creator();
    for (int i = 0; i < cursor.FrameCount(); ++i) info.rates.push_back(cursor.FrameRate(i));
    return info;
}

// Shortest decimal text with at most three decimals: 1.5, 0.167, 2.
std::string Decimal(double value, int decimals = 3) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.') s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

std::string VersionText(double version) {
    if (!std::isfinite(version)) return Decimal(version);
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", version);
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

// Multi-line comments keep their lines, indented under the first; other
// control characters are shown as escapes.
std::string TextValue(const std::string& field) {
    std::string out;
    const std::string utf8 = Utf8FromLatin1(field);
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = uint8_t(utf8[i]);
        if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
        if (c == '\r' || c == '\n') {
            out += "\n              ";
        } else if (c < 32 || c == 127) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out;
}

void Line(std::string& out, const char* label, const std::string& value) {
    char head[32];
    std::snprintf(head, sizeof head, "  %-12s", label);
    out += head;
    if (value.empty()) {
        while (out.back() == ' ') out.pop_back();
    }
    out += value + '\n';
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (char ch : utf8) {
        const auto c = uint8_t(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 32 || c == 127) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

std::string JsonField(const std::optional<std::string>& field) {
    return field ? JsonString(Utf8FromLatin1(*field)) : "null";
}

// Pictures are read as convert reads them, so the frames and rates shown
// are the ones a conversion gives. Only a GIF can carry a comment.
AnimationInfo ReadPicture(const std::string& path, int32_t stripRate) {
    ReadBudget budget;
    const TDocument document = LoadInput(path, stripRate, budget);
    AnimationInfo info;
    info.path = path;
    const bool gif = FormatOfPath(path) == OutputFormat::Gif;
    info.layout = gif ? "animated GIF" : "PNG strip";
    if (gif) info.comments = document.comments;
    for (int n = 1; n <= document.Count(); ++n) info.rates.push_back(document.FrameAt(n).rate);
    return info;
}

}  // namespace

AnimationInfo ReadAnimationInfo(const std::string& path, int32_t stripRate) {
    if (IsPictureInput(path)) return ReadPicture(path, stripRate);
    return KindOfPath(path) == AnimationKind::AnimatedCursor ? ReadCursor(path) : ReadZN(path);
}

double TotalSeconds(const AnimationInfo& info) {
    int64_t total = 0;
    for (int32_t rate : info.rates) total += rate;
    return double(total) / 60.0;
}

std::string InfoText(const AnimationInfo& info) {
    std::string out = DisplayName(info.path) + "\n";
    Line(out, "Layout:", info.layout);
    if (info.version) Line(out, "Version:", VersionText(*info.version));
    Line(out, "Title:", TextValue(info.title));
    Line(out, "Author:", TextValue(info.authorName));
    if (info.category) Line(out, "Category:", *info.category);
    if (info.email) Line(out, "E-mail:", TextValue(*info.email));
    if (info.homepage) Line(out, "Homepage:", TextValue(*info.homepage));
    if (info.copyright) Line(out, "Copyright:", TextValue(*info.copyright));
    if (info.comments) Line(out, "Comments:", TextValue(*info.comments));
    Line(out, "Frames:", std::to_string(info.rates.size()));
    for (size_t i = 0; i < info.rates.size(); ++i) {
        char text[96];
        std::snprintf(text, sizeof text, "    %5zu  rate %d (%s s)\n", i + 1, info.rates[i],
                      Decimal(info.rates[i] / 60.0).c_str());
        out += text;
    }
    Line(out, "Total time:", Decimal(TotalSeconds(info)) + " s");
    return out;
}

std::string InfoJson(const std::vector<AnimationInfo>& infos) {
    std::string out = "[";
    for (size_t n = 0; n < infos.size(); ++n) {
        const AnimationInfo& info = infos[n];
        out += n ? ",\n  {" : "\n  {";
        out += "\n    \"file\": " + JsonString(DisplayName(info.path));
        out += ",\n    \"layout\": " + JsonString(info.layout);
        out += ",\n    \"version\": " +
               (info.version && std::isfinite(*info.version) ? VersionText(*info.version) : std::string("null"));
        out += ",\n    \"title\": " + JsonField(info.title);
        out += ",\n    \"author\": " + JsonField(info.authorName);
        out += ",\n    \"category\": " + (info.category ? JsonString(*info.category) : std::string("null"));
        out += ",\n    \"email\": " + JsonField(info.email);
        out += ",\n    \"homepage\": " + JsonField(info.homepage);
        out += ",\n    \"copyright\": " + JsonField(info.copyright);
        out += ",\n    \"comments\": " + JsonField(info.comments);
        out += ",\n    \"frameCount\": " + std::to_string(info.rates.size());
        out += ",\n    \"rates\": [";
        for (size_t i = 0; i < info.rates.size(); ++i) out += (i ? ", " : "") + std::to_string(info.rates[i]);
        out += "]";
        out += ",\n    \"totalSeconds\": " + Decimal(TotalSeconds(info), 6);
        out += "\n  }";
    }
    return out + (infos.empty() ? "]\n" : "\n]\n");
}
