#include "ui/FileFilter.h"

#include <gtest/gtest.h>

namespace {

TEST(NameFilters, TurnsEachPairIntoOneQtFilter) {
    EXPECT_EQ(NameFilters("Animations (*.zn, *.ani)|*.zn;*.ani|Zintras (*.zn)|*.zn|"
                          "Animated Cursors (*.ani)|*.ani"),
              QStringList({"Animations (*.zn *.ani)", "Zintras (*.zn)", "Animated Cursors (*.ani)"}));
    EXPECT_EQ(NameFilters("Zintra File (*.zn)|*.zn"), QStringList({"Zintra File (*.zn)"}));
}

TEST(NameFilters, DescriptionWithoutPatternsGetsThem) {
    EXPECT_EQ(NameFilters("Everything|*.*"), QStringList({"Everything (*.*)"}));
}

TEST(NameFilters, LoneDescriptionWithoutPatternsIsDropped) {
    EXPECT_EQ(NameFilters("A|*.a|B"), QStringList({"A (*.a)"}));
    EXPECT_TRUE(NameFilters("").isEmpty());
}

TEST(DefaultSuffix, IsTheFirstPatternsExtension) {
    EXPECT_EQ(DefaultSuffix("*.zn;*.ani"), "zn");
    EXPECT_EQ(DefaultSuffix("*.zn"), "zn");
    EXPECT_EQ(DefaultSuffix("zn"), "zn");
    EXPECT_EQ(DefaultSuffix(""), "");
}

}  // namespace
