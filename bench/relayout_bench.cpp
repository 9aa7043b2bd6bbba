// Rebuild and Refresh on the model form, from 16 to 32,768 controls, on each screen class, with
// ResizeFont on and off; each next to baselines in the same run that do the least any
// implementation must do on the same form:
//   - for Refresh, the same puts and calls that succeed, with the same values, through the same host
//     interface, from a list made beforehand (so it includes the model's own cost and the events the
//     stores raise);
//   - for Refresh too, every host operation the pass makes (the reads of the form's and the screen's
//     metrics, each control's Name and Font, the named controls looked up at each use, the stores and
//     calls, the failed ones included), made again from a list without the control's logic;
//   - for Rebuild, the same reads through the same host interface: every control taken from
//     `Controls` by index, its Left, Top, Width, Height and its font's Size.
// The model's write log is off for all. The program ends with one line per case:
//   refresh n=<controls> class=<normal|large|low> font=<on|off> per_control_ns=<x> ratio=<x> ratio_required=<x>
// and then the same for rebuild (without ratio_required).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/player.h"
#include "bench/bench_form.h"
#include "bench/operation_log.h"
#include "hostmodel/convert.h"

namespace {

using tolvane::Tolvane;
using tolvane::app::Player;
using tolvane::app::Scenario;
using tolvane::host::ObjectRef;
using tolvane::host::Value;
using tolvane::model::Write;

using tolvane::bench::ScreenClass;
using tolvane::bench::kClasses;
constexpr int kSizes[] = {16, 256, 4096, 32768};

Scenario benchScenario(int n, const ScreenClass& screen) {
  Scenario s;
  s.screen = tolvane::bench::screenOf(screen);
  s.form = tolvane::bench::benchForm(n);
  return s;
}

// One form with its control: loaded, shown (which takes the snapshot), then dragged larger.
struct Fixture {
  // The player's wiring (sites, the extender's Resize) with no steps; the events are raised here.
  Fixture(int n, const ScreenClass& screen, bool font) : player(benchScenario(n, screen)) {
    tolvane = player.control("Tolvane1");
    // A second control on the same site, seeing the form only through the operation log, attached and
    // shown with the first so that its passes are the same as the first one's.
    auto tapSite = std::make_unique<tolvane::bench::TapSite>(site(), required);
    auto recording = std::make_unique<Tolvane>(*tapSite);
    for (Tolvane* control : {tolvane, recording.get()}) control->UserControl_ReadProperties();
    player.world().form->raiseLoad();
    player.world().form->raiseResize();  // first show: the snapshot
    player.world().form->setSizeDirect(12000, 9000);
    tolvane->ResizeFont(font);
    recording->ResizeFont(font);
    recordBaseline();
    player.world().recorder.logging = false;
    recording->Refresh();  // its first pass, which shows the last buttons of the rows once
    required.recording = true;
    recording->Refresh();
    required.recording = false;
    recording.reset();  // unsubscribes it from the form
    tolvane->Refresh();  // settle, so that every timed pass starts from the same form
  }

  tolvane::model::ModelSite& site() { return *player.site("Tolvane1"); }

  // The puts of one Refresh, resolved to their objects once. The control's own size lock is left out
  // of the list: replaying the store that triggers it raises it, as in the real pass.
  void recordBaseline() {
    auto& world = player.world();
    auto extender = world.form->find("Tolvane1");
    auto onResize = std::move(extender->onResize);
    extender->onResize = nullptr;
    world.recorder.writes.clear();
    world.recorder.logging = true;
    tolvane->Refresh();
    world.recorder.logging = false;
    extender->onResize = std::move(onResize);
    extender->setDirect("Width", Value{480.0});
    extender->setDirect("Height", Value{450.0});
    for (auto& w : world.recorder.writes) {
      if (!w.error.empty() || w.kind == Write::Kind::EventFailure) continue;
      ObjectRef target;
      if (w.object == world.form->name()) {
        target = world.form;
      } else if (w.object.ends_with(".Font")) {
        target = world.form->find(w.object.substr(0, w.object.size() - 5))->object("Font");
      } else {
        target = world.form->find(w.object);
      }
      puts.push_back({std::move(target), w.kind == Write::Kind::Call, std::move(w.member), std::move(w.values)});
    }
    world.recorder.writes.clear();
  }

  void replayBaseline() {
    for (const auto& p : puts) {
      if (p.call) {
        p.target->call(p.member, p.values);
      } else {
        p.target->put(p.member, p.values[0]);
      }
    }
  }

  // What any snapshot has to read.
  void readBaseline() {
    auto controls = player.world().form->object("Controls");
    const auto count = tolvane::host::convert::toI32(tolvane::host::convert::toNumber(controls->get("Count")));
    records.resize(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
      auto ctl = tolvane::host::convert::toObject(controls->item(Value{static_cast<std::int16_t>(i)}));
      auto& r = records[static_cast<std::size_t>(i)];
      r[0] = static_cast<float>(tolvane::host::convert::toNumber(ctl->get("Left")));
      r[1] = static_cast<float>(tolvane::host::convert::toNumber(ctl->get("Top")));
      r[2] = static_cast<float>(tolvane::host::convert::toNumber(ctl->get("Width")));
      r[3] = static_cast<float>(tolvane::host::convert::toNumber(ctl->get("Height")));
      auto font = ctl->tryGet("Font");  // the control itself has no font: a failure, not an exception
      r[4] = font.ok() ? static_cast<float>(tolvane::host::convert::toNumber(
                             tolvane::host::convert::toObject(font.value())->get("Size")))
                       : 0;
    }
  }

  struct Put {
    ObjectRef target;
    bool call;
    std::string member;
    std::vector<Value> values;
  };

  Player player;
  Tolvane* tolvane = nullptr;
  std::vector<Put> puts;
  tolvane::bench::OperationLog required;
  std::vector<std::array<float, 5>> records;
};

// The cases run in order, four to a form, so one form is kept at a time.
Fixture& fixture(int n, const ScreenClass& screen, bool font) {
  static std::unique_ptr<Fixture> current;
  static std::tuple<int, const ScreenClass*, bool> key{};
  if (!current || key != std::make_tuple(n, &screen, font)) {
    current.reset();
    current = std::make_unique<Fixture>(n, screen, font);
    key = {n, &screen, font};
  }
  return *current;
}

double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

enum class Kind { Refresh, RefreshBaseline, RefreshRequired, Rebuild, RebuildBaseline };

void run(benchmark::State& state, int n, const ScreenClass* screen, bool font, Kind kind) {
  Fixture& f = fixture(n, *screen, font);
  // Passes are timed in batches of about a millisecond, by the thread's CPU clock, which stops while
  // other work has the core; the clock is read between batches, not inside them.
  const int batch = std::max(1, 4096 / n);
  int inBatch = 0;
  double fastest = std::numeric_limits<double>::infinity();
  double start = threadSeconds();
  for (auto _ : state) {
    switch (kind) {
      case Kind::Refresh: f.tolvane->Refresh(); break;
      case Kind::RefreshBaseline: f.replayBaseline(); break;
      case Kind::RefreshRequired: tolvane::bench::replay(f.required.operations, f.site()); break;
      case Kind::Rebuild: f.tolvane->Rebuild(); break;
      case Kind::RebuildBaseline: f.readBaseline(); break;
    }
    if (++inBatch == batch) {
      fastest = std::min(fastest, (threadSeconds() - start) / batch);
      inBatch = 0;
      start = threadSeconds();
    }
  }
  state.counters["fastest_s"] = fastest;
  state.counters["puts"] = static_cast<double>(f.puts.size());
  state.counters["operations"] = static_cast<double>(f.required.operations.size());
  state.counters["per_control_ns"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

std::string caseName(const char* what, int n, const ScreenClass& screen, bool font) {
  return std::string(what) + " n=" + std::to_string(n) + " class=" + screen.name + " font=" + (font ? "on" : "off");
}

// Keeps each case's fastest batch of passes for the summary. The machine is shared: the CPU clock
// leaves out the time other work has the core, and the fastest batch, over three repetitions run in
// random order with the other cases (see scripts/bench), is the one least slowed by other work on
// the caches; the baselines are measured the same way.
class Collector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& r : runs) {
      const auto fastest = r.counters.find("fastest_s");
      if (r.run_type != Run::RT_Iteration || fastest == r.counters.end()) continue;
      const auto [it, added] = seconds.emplace(r.run_name.function_name, fastest->second.value);
      if (!added && fastest->second.value < it->second) it->second = fastest->second.value;
    }
  }
  std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  for (int n : kSizes) {
    for (const auto& screen : kClasses) {
      for (bool font : {true, false}) {
        const std::pair<const char*, Kind> kinds[] = {{"refresh", Kind::Refresh},
                                                      {"refresh_baseline", Kind::RefreshBaseline},
                                                      {"refresh_required", Kind::RefreshRequired},
                                                      {"rebuild", Kind::Rebuild},
                                                      {"rebuild_baseline", Kind::RebuildBaseline}};
        for (const auto& [what, kind] : kinds) {
          benchmark::RegisterBenchmark(caseName(what, n, screen, font).c_str(), run, n, &screen, font, kind)
              ->Unit(benchmark::kMicrosecond);
        }
      }
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();

  std::printf("\n");
  for (const char* what : {"refresh", "rebuild"}) {
    for (int n : kSizes) {
      for (const auto& screen : kClasses) {
        for (bool font : {true, false}) {
          const auto time = [&](const std::string& kind) {
            const auto found = collector.seconds.find(caseName(kind.c_str(), n, screen, font));
            return found == collector.seconds.end() ? 0.0 : found->second;
          };
          const double measured = time(what);
          const double baseline = time(std::string(what) + "_baseline");
          const double required = time(std::string(what) + "_required");
          if (measured == 0 || baseline == 0) continue;
          std::printf("%s n=%d class=%s font=%s per_control_ns=%.1f ratio=%.2f", what, n, screen.name, font ? "on" : "off",
                      measured * 1e9 / n, measured / baseline);
          if (required != 0) std::printf(" ratio_required=%.2f", measured / required);
          std::printf("\n");
        }
      }
    }
  }
  return 0;
}
