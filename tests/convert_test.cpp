#include "hostmodel/convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace tolvane::host;

TEST(Convert, IntegersRoundToNearestWithHalvesToEven) {
  struct Case { double in; int out; };
  for (const Case c : {Case{320.5, 320}, {207.5, 208}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {1000.5, 1000},
                       {1001.5, 1002}, {640.49, 640}, {639.5, 640}, {2.5000001, 3}, {5820.5, 5820}}) {
    EXPECT_EQ(convert::toI32(c.in), c.out) << c.in;
    EXPECT_EQ(convert::toI16(c.in), c.out) << c.in;
  }
}

TEST(Convert, OutOfRangeAndNonFiniteNumbersAreOverflows) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case { double in; bool i16Ok; bool i32Ok; bool singleOk; };
  for (const Case c : {Case{32767.4, true, true, true}, {32767.5, false, true, true},  // rounds to 32768
                       {-32768.5, true, true, true},                                // rounds to -32768
                       {-32769, false, true, true}, {2147483647.4, false, true, true},
                       {2147483647.5, false, false, true}, {1e39, false, false, false},
                       {3.4028234e38, false, false, true}, {inf, false, false, false}, {-inf, false, false, false},
                       {nan, false, false, false}}) {
    auto throwsOverflow = [](auto f) {
      try {
        f();
      } catch (const HostError& e) {
        return e.failure() == Failure::Overflow;
      }
      return false;
    };
    EXPECT_EQ(throwsOverflow([&] { convert::toI16(c.in); }), !c.i16Ok) << c.in;
    EXPECT_EQ(throwsOverflow([&] { convert::toI32(c.in); }), !c.i32Ok) << c.in;
    EXPECT_EQ(throwsOverflow([&] { convert::toSingle(c.in); }), !c.singleOk) << c.in;
    EXPECT_EQ(throwsOverflow([&] { convert::dbl(c.in); }), !std::isfinite(c.in)) << c.in;
  }
}

TEST(Convert, NumbersReadFromTheHost) {
  EXPECT_EQ(convert::toNumber(Value{true}), -1.0);
  EXPECT_EQ(convert::toNumber(Value{false}), 0.0);
  EXPECT_EQ(convert::toNumber(Value{std::int16_t{-7}}), -7.0);
  EXPECT_EQ(convert::toNumber(Value{1234.5f}), 1234.5);
  EXPECT_EQ(convert::toNumber(Value{std::string(" 12.25 ")}), 12.25);
  for (const Value& bad : {Value{}, Value{std::string("12px")}, Value{std::string("")}, Value{ObjectRef{}}}) {
    EXPECT_THROW(convert::toNumber(bad), HostError);
  }
  EXPECT_THROW(convert::toNumber(Value{std::numeric_limits<float>::infinity()}), HostError);
}

TEST(Convert, ComparisonsWithTheHostsTrueUseMinusOne) {
  EXPECT_TRUE(convert::equalsTrue(Value{true}));
  EXPECT_TRUE(convert::equalsTrue(Value{std::int16_t{-1}}));
  EXPECT_FALSE(convert::equalsTrue(Value{std::int16_t{1}}));  // 1 is not True
  EXPECT_TRUE(convert::equalsFalse(Value{0.0}));
  EXPECT_FALSE(convert::equalsFalse(Value{1.0}));
  EXPECT_THROW(convert::equalsTrue(Value{}), HostError);
}

TEST(Convert, QuotientByZeroIsADivisionFailure) {
  EXPECT_EQ(convert::quotient(9000, 4500), 2.0);
  try {
    convert::quotient(1, 0);
    FAIL() << "no failure";
  } catch (const HostError& e) {
    EXPECT_EQ(e.failure(), Failure::DivisionByZero);
  }
}

TEST(Convert, StoresCarryTheirType) {
  EXPECT_EQ(typeOf(convert::single(1.5)), ValueType::F32);
  EXPECT_EQ(typeOf(convert::dbl(1.5)), ValueType::F64);
  EXPECT_EQ(typeOf(convert::i16(1.5)), ValueType::I16);
  EXPECT_EQ(typeOf(convert::i32(1.5)), ValueType::I32);
  EXPECT_EQ(std::get<std::int16_t>(convert::i16(2.5)), 2);
}

}  // namespace
