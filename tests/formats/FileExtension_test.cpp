#include "formats/FileExtension.h"

#include <gtest/gtest.h>

TEST(FileExtension, IsTheLastDotOfTheNameOnInLowerCase) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"/a/b/c.zn", ".zn"}, {"Walk.GIF", ".gif"}, {"x/y.Ani", ".ani"}, {"strip.tar.PNG", ".png"},
        {"folder.zn/file", ""}, {"zn", ""}, {"dots/.gif", ".gif"}, {"name.", "."},
    };
    for (const auto& [path, extension] : cases) EXPECT_EQ(FileExtension(path), extension) << path;
}
