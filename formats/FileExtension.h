#pragma once
// The one rule by which a file's kind is told from its name.
#include <string>

// The extension of the file's own name, from its last dot, in lower case
// (".zn" for "/a/b.c/Walk.ZN"); empty when the name has no dot.
std::string FileExtension(const std::string& path);
