#pragma once
// What zntool info tells about a ZN file, an animated cursor, an animated
// GIF or a PNG strip.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct AnimationInfo {
    std::string path;
    std::string layout;              // "current compressed", …, "animated cursor", "PNG strip"
    std::optional<double> version;   // ZN files only
    // The fields as 8-bit text; those a format lacks are absent.
    std::string title, authorName;
    std::optional<std::string> email, homepage, copyright, comments;
    std::optional<std::string> category;  // a ZN file's category by name
    std::vector<int32_t> rates;           // in 1/60 s, one per frame
};

// Reads the file's fields and rates as every host does (core/HostRead.h);
// throws EZintraError. A strip has no timing of its own: every frame gets
// stripRate.
AnimationInfo ReadAnimationInfo(const std::string& path, int32_t stripRate);

// The loop's length: every frame's shown rate added up, in seconds.
double TotalSeconds(const AnimationInfo& info);

// Human-readable lines, UTF-8.
std::string InfoText(const AnimationInfo& info);
// A JSON array with one object per file, UTF-8.
std::string InfoJson(const std::vector<AnimationInfo>& infos);
