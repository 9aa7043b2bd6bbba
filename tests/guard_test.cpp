// A guarded statement stops at its first failure without an exception: nothing after it is made on
// the host, nothing it would assign is assigned, and what came before it stays done.
#include "hostmodel/guard.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tolvane;
using host::Statement;
using host::Value;

// A host object that logs every operation made on it, and has the members it is given. Its only
// form of each operation is the throwing one, so the non-throwing forms are the interface's own.
class Probe final : public host::Object {
 public:
  Probe(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}

  std::map<std::string, Value, std::less<>> members;

  Value get(std::string_view member) override {
    log_.push_back("get " + name_ + "." + std::string(member));
    const auto it = members.find(member);
    if (it == members.end()) throw host::HostError(host::Failure::MissingMember, name_ + " has no " + std::string(member));
    return it->second;
  }
  void put(std::string_view member, const Value&) override {
    log_.push_back("put " + name_ + "." + std::string(member));
    if (!members.contains(member)) throw host::HostError(host::Failure::MissingMember, "no " + std::string(member));
  }
  void call(std::string_view method, std::span<const Value>) override {
    log_.push_back("call " + name_ + "." + std::string(method));
  }

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

struct Host {
  std::vector<std::string> log;
  std::shared_ptr<Probe> form = std::make_shared<Probe>("form", log);
  std::shared_ptr<Probe> pane = std::make_shared<Probe>("pane", log);
  Host() {
    form->members = {{"pane", host::ObjectRef(pane)}, {"ScaleWidth", Value{9000.0}}};
    pane->members = {{"Left", Value{100.0}}, {"Width", Value{1e300}}, {"Name", Value{std::string("pane")}}};
  }
};

TEST(Guarded, AStatementStopsAtItsFirstFailureAndMakesNothingAfterIt) {
  struct Case {
    const char* what;
    std::function<void(Host&, Statement&, double&)> statement;
    std::vector<std::string> made;
    bool assigned;
  };
  const std::vector<Case> cases = {
      {"all succeed",
       [](Host& h, Statement& s, double& x) {
         s.hold(h.form).control("pane").put("Left", s.asDouble(s.toNumber(s.hold(h.pane).get("Left")) + 1));
         s.let(x, 1.0);
       },
       {"get form.pane", "get pane.Left", "put pane.Left"}, true},
      {"the target is missing: the value's read is not made",
       [](Host& h, Statement& s, double& x) {
         s.hold(h.form).control("lblMissing").put("Left", s.asDouble(s.toNumber(s.hold(h.pane).get("Left"))));
         s.let(x, 1.0);
       },
       {"get form.lblMissing"}, false},
      {"a read fails: the store and the assignment are skipped",
       [](Host& h, Statement& s, double& x) {
         s.let(x, s.toNumber(s.hold(h.pane).get("Top")));
         s.hold(h.pane).put("Left", s.asDouble(x));
       },
       {"get pane.Top"}, false},
      {"a conversion overflows: the store is skipped",
       [](Host& h, Statement& s, double& x) {
         s.hold(h.pane).put("Left", s.single(s.toNumber(s.hold(h.pane).get("Width"))));
         s.let(x, 1.0);
       },
       {"get pane.Width"}, false},
      {"an object never set",
       [](Host& h, Statement& s, double& x) {
         s.hold(nullptr).put("Left", Value{1.0});
         s.hold(h.pane).call("Move", {});
         s.let(x, 1.0);
       },
       {}, false},
      {"a member that holds no object",
       [](Host& h, Statement& s, double& x) {
         s.hold(h.pane).object("Name").put("Size", Value{1.0f});
         s.let(x, 1.0);
       },
       {"get pane.Name"}, false},
      {"a store fails: later operations are skipped",
       [](Host& h, Statement& s, double& x) {
         s.hold(h.pane).put("Top", Value{1.0});
         s.hold(h.pane).call("Move", {});
         s.let(x, 1.0);
       },
       {"put pane.Top"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Host h;
    double x = -1;
    host::guarded([&](Statement& s) { c.statement(h, s, x); });
    EXPECT_EQ(h.log, c.made);
    EXPECT_EQ(x, c.assigned ? 1.0 : -1.0);
  }
}

TEST(Guarded, ATestThatCannotBeMadeCountsAsMet) {
  Host h;
  EXPECT_FALSE(host::guardedTest([&](Statement& s) { return s.toText(s.hold(h.pane).get("Name")) != "pane"; }));
  EXPECT_TRUE(host::guardedTest([&](Statement& s) { return s.toText(s.hold(h.pane).get("Name")) == "pane"; }));
  EXPECT_TRUE(host::guardedTest([&](Statement& s) { return s.toText(s.hold(h.pane).get("Caption")) == "x"; }));
  EXPECT_TRUE(host::guardedTest([&](Statement& s) { return s.toI16(s.toNumber(s.hold(h.pane).get("Width"))) == 0; }));
  EXPECT_TRUE(host::guardedTest([](Statement&) -> bool { throw host::HostError(host::Failure::NotAttached, "no form"); }));
}

}  // namespace
