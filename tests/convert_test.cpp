#include "hostmodel/convert.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace tolvane::host;

TEST(Convert, RoundsHalvesToEven) {
  struct Case { double in; int out; };
  for (const Case c : {Case{320.5, 320}, {207.5, 208}, {-0.5, 0}, {-1.5, -2}, {1000.5, 1000}, {1001.5, 1002},
                       {640.49, 640}, {2.5000001, 3}}) {
    EXPECT_EQ(convert::toI32(c.in), c.out) << c.in;
    EXPECT_EQ(convert::toI16(c.in), c.out) << c.in;
  }
}
}  // namespace
