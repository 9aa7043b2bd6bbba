#include "hostmodel/convert.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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
    EXPECT_EQ(throwsOverflow([&] { convert::asDouble(c.in); }), !c.singleOk) << c.in;  // for members kept as singles
    EXPECT_EQ(throwsOverflow([&] { convert::finiteAsRead(Value{c.in}); }), !c.singleOk) << c.in;
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
  EXPECT_EQ(typeOf(convert::asDouble(1.5)), ValueType::F64);
  EXPECT_EQ(typeOf(convert::i16(1.5)), ValueType::I16);
  EXPECT_EQ(typeOf(convert::i32(1.5)), ValueType::I32);
  EXPECT_EQ(std::get<std::int16_t>(convert::i16(2.5)), 2);
}

// Host code may leave the processor in another rounding mode (graphics libraries do); each test
// sets one and puts the mode it found back afterwards.
class UnderRoundingMode : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = std::fegetround(); }
  void TearDown() override { std::fesetround(saved_); }

 private:
  int saved_ = FE_TONEAREST;
};

struct Mode { int mode; const char* name; };
constexpr Mode kModes[] = {{FE_TONEAREST, "to nearest"}, {FE_UPWARD, "upward"}, {FE_DOWNWARD, "downward"},
                           {FE_TOWARDZERO, "toward zero"}};

// A conversion's number, or nullopt when it failed as a host failure may (Overflow, DivisionByZero).
using Conversion = std::function<double(double)>;
std::optional<double> outcome(const Conversion& convert, double x) {
  try {
    return convert(x);
  } catch (const HostError& e) {
    EXPECT_TRUE(e.failure() == Failure::Overflow || e.failure() == Failure::DivisionByZero) << e.what();
    return std::nullopt;
  }
}

double numberOf(const Value& value) {
  if (const auto* f = std::get_if<float>(&value)) return *f;
  if (const auto* d = std::get_if<double>(&value)) return *d;
  if (const auto* i = std::get_if<std::int16_t>(&value)) return *i;
  return std::get<std::int32_t>(value);
}

// Values at the edges of each type: the largest double below the single overflow threshold is the
// one that rounds up to infinity when rounding upward.
constexpr double kEdges[] = {0x1.fffffefffffffp127, -0x1.fffffefffffffp127, 0x1.fffffep127, 0x1.ffffffp127,
                             3.4e38, -3.4e38, 1e-46, -1e-46, 1e-300, std::numeric_limits<double>::max(),
                             -std::numeric_limits<double>::max(), 32767.5, -32768.5, 2147483647.5, -2147483648.5,
                             0.5, -0.5, 2.5, 1.1, -1.1, 9600};

double toI16(double x) { return static_cast<double>(convert::toI16(x)); }
double toI32(double x) { return static_cast<double>(convert::toI32(x)); }

TEST_F(UnderRoundingMode, NoConversionYieldsANonFiniteNumber) {
  const std::pair<const char*, Conversion> conversions[] = {
      {"toSingle", [](double x) { return double{convert::toSingle(x)}; }},
      {"single", [](double x) { return numberOf(convert::single(x)); }},
      {"readSingle of a double", [](double x) { return double{convert::readSingle(Value{x})}; }},
      {"readSingle of text", [](double x) { return double{convert::readSingle(Value{shortest(x)})}; }},
      {"asDouble", [](double x) { return numberOf(convert::asDouble(x)); }},
      {"quotient by 0.75", [](double x) { return convert::quotient(x, 0.75); }},
      {"quotient by 1e-300", [](double x) { return convert::quotient(x, 1e-300); }},
      {"asRead", [](double x) { return numberOf(convert::finiteAsRead(Value{x})); }},
      {"toI16", toI16},
      {"toI32", toI32},
  };
  for (const Mode mode : kModes) {
    ASSERT_EQ(std::fesetround(mode.mode), 0) << mode.name;
    for (const auto& [name, conversion] : conversions) {
      for (const double x : kEdges) {
        const auto result = outcome(conversion, x);
        if (result) {
          EXPECT_TRUE(std::isfinite(*result)) << name << "(" << shortest(x) << ") " << mode.name;
        }
      }
    }
  }
}

TEST_F(UnderRoundingMode, IntegersRoundTheSameInEveryMode) {
  const std::pair<const char*, Conversion> conversions[] = {{"toI16", toI16}, {"toI32", toI32}};
  for (const auto& [name, conversion] : conversions) {
    std::fesetround(FE_TONEAREST);
    std::vector<std::optional<double>> nearest;
    for (const double x : kEdges) nearest.push_back(outcome(conversion, x));
    for (const Mode mode : kModes) {
      ASSERT_EQ(std::fesetround(mode.mode), 0) << mode.name;
      for (std::size_t i = 0; i < std::size(kEdges); ++i) {
        EXPECT_EQ(outcome(conversion, kEdges[i]), nearest[i]) << name << "(" << shortest(kEdges[i]) << ") " << mode.name;
      }
    }
  }
}

}  // namespace
