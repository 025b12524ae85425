#include "formats/FileExtension.h"

#include "formats/FilePath.h"

std::string FileExtension(const std::string& path) {
    const std::string name = NameOf(path);
    const auto dot = name.find_last_of('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return extension;
}
