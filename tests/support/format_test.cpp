#include <gtest/gtest.h>

#include "support/format.h"

namespace rc {
namespace {

TEST(SubstituteArg, ReplacesFirstConversionOnly) {
  EXPECT_EQ(substituteArg("NN %d ms", 50LL), "NN 50 ms");
  EXPECT_EQ(substituteArg("%s and %s", std::string("a")), "a and %s");
  EXPECT_EQ(substituteArg("value %.2f", 1.2345), "value 1.23");
  EXPECT_EQ(substituteArg("file %s", std::string("x.dat")), "file x.dat");
}

TEST(SubstituteArg, HostileTextsAreNotFormats) {
  // A translation with the wrong conversion, extra conversions, %n and a stray %.
  EXPECT_EQ(substituteArg("NN %s %d %n %", 50LL), "NN 50 %d %n %");
  EXPECT_EQ(substituteArg("LF (%%)", 1LL), "LF (%)");
  EXPECT_EQ(collapsePercents("HF (%%) 100%"), "HF (%) 100%");
  EXPECT_EQ(substituteArg("count %d", std::string("abc")), "count abc");
  EXPECT_EQ(substituteArg("pos %1 end", 7LL), "pos 7 end");
}

TEST(SubstituteArgs, TwoArgumentsInOrder) {
  EXPECT_EQ(substituteArgs("%d of %d", 3LL, 9LL), "3 of 9");
  EXPECT_EQ(substituteArgs("%d", 3LL, 9LL), "3");
  EXPECT_EQ(substituteArgs("for %2 from %1", std::string("09:00"), std::string("5 min")), "for 5 min from 09:00");
  EXPECT_EQ(substituteArg("%1 and %2", 4LL), "4 and %2");
}

}  // namespace
}  // namespace rc
