#include "Info.h"

#include <cmath>
#include <cstdio>

#include "Arguments.h"
#include "TextEncoding.h"
#include "core/Document.h"
#include "core/FrameTiming.h"
#include "core/HostRead.h"
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

}  // namespace

AnimationInfo ReadAnimationInfo(const std::string& path, int32_t stripRate) {
    // Pictures are read as convert reads them, so the frames and rates shown
    // are the ones a conversion gives.
    HostAnimation read = TakeAnimation(ReadForHost(path, {HostFormat::ByName, HostExtent::Header, stripRate}));
    const TDocument& document = read.document;
    AnimationInfo info;
    info.path = path;
    info.title = document.title;
    info.authorName = document.authorName;
    info.rates = std::move(read.rates);
    switch (read.format) {
    case HostFormat::ByName:
    case HostFormat::ZN:
        info.layout = LayoutName(*read.layout);
        info.version = read.version;
        info.email = Optional(document.email);
        info.homepage = Optional(document.homepage);
        info.copyright = document.copyright;
        info.comments = Optional(document.comments);
        info.category = CategoryName(document.categoryIndex);
        break;
    case HostFormat::AnimatedCursor: info.layout = "animated cursor"; break;
    case HostFormat::Gif:
        info.layout = "animated GIF";
        info.comments = document.comments;  // only a GIF can carry one
        break;
    case HostFormat::PngStrip: info.layout = "PNG strip"; break;
    }
    return info;
}

double TotalSeconds(const AnimationInfo& info) {
    int64_t total = 0;
    for (int32_t rate : info.rates) total += ShownRate(rate);
    return RateSeconds(total);
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
        const int32_t rate = info.rates[i], shown = ShownRate(rate);
        const std::string as = rate == shown ? std::string() : "shown as " + std::to_string(shown) + ": ";
        std::snprintf(text, sizeof text, "    %5zu  rate %d (%s%s s)\n", i + 1, rate, as.c_str(),
                      Decimal(RateSeconds(shown)).c_str());
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
