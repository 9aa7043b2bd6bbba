// Refresh through the IDispatch binding beside the same Refresh on the model form, in one process,
// on the same form (16 to 4,096 controls, the normal screen class, ResizeFont on and off).
//
// Both paths run the portable control (tolvane::Tolvane) on a model form built from the same
// description. The model path reaches the form's objects directly. The dispatch path reaches a
// second, identical model form only through IDispatch: the control's site gives the extender as a
// late-bound object (hostmodel/dispatch), its Parent is converted to a form through the class
// information and the connection point, and every control, font and member is then reached by
// name with GetIDsOfNames and Invoke, values as VARIANTs. The objects behind the adapters are the
// model's own, so the ratio of the two is the cost of the binding, not of a window system.
//
// Time is the high-resolution wall clock (QueryPerformanceCounter) per pass. The process-time clock
// cannot be used under Wine: it advances in steps of 10 ms, as coarse as a whole round of the small
// cases. The machine is shared, so each case alternates rounds of at least one second of the two
// paths and keeps each path's fastest round: the round least disturbed by other work. The program
// ends with
// one line per case:
//   dispatch n=<controls> class=normal font=<on|off> per_control_ns=<x> model_per_control_ns=<x> ratio=<x>
// and, before it, the calls the binding made per control in one pass and the cost of the calls.
#include <windows.h>
#include <initguid.h>
#include <cguid.h>
#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "DemoHost.h"
#include "bench/bench_form.h"
#include "bench/wine/model_dispatch.h"
#include "control/tolvane.h"
#include "hostmodel/dispatch/dispatch_object.h"
#include "win/untyped_dispatch.h"
#include "win/com_ptr.h"
#include "win/text.h"
#include "win/variant_clear.h"
#include "hostmodel/model/model_form.h"

// Every allocation of the program is counted, so that the report can say how many a pass makes on
// each path (the binding's goal is none per call).
std::atomic<unsigned long long> gAllocations{0};

void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using tolvane::Tolvane;
using tolvane::bench::CallCounts;
using tolvane::bench::Exposer;
using tolvane::host::ObjectRef;
using tolvane::host::Value;
using tolvane::win::ComPtr;
using tolvane::host::dispatch::DispatchObject;
using tolvane::model::ModelWorld;

constexpr int kSizes[] = {16, 256, 1024, 4096};
constexpr auto& kScreen = tolvane::bench::kClasses[0];  // normal

double wallSeconds() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / frequency;
}

// The container of the control on the late-bound form: the extender through IDispatch (a new
// wrapper each time, as the control's container site makes one), the screen and the ambient
// properties from the container itself, not from the form.
class DispatchSite final : public tolvane::host::Site {
 public:
  DispatchSite(tolvane::model::ModelSite& container, ComPtr<IDispatch> extender)
      : container_(container), extender_(std::move(extender)) {}
  Value ambient(std::string_view name) override { return container_.ambient(name); }
  ObjectRef extender() override { return std::make_shared<DispatchObject>(extender_.get()); }
  ObjectRef screen() override { return container_.screen(); }

 private:
  tolvane::model::ModelSite& container_;
  ComPtr<IDispatch> extender_;
};

// One form with its control, loaded, shown (the snapshot), dragged larger and refreshed once, so
// that every timed pass starts from the same form. Late-bound, the control reaches the form only
// through IDispatch.
struct Fixture {
  Fixture(int n, bool font, bool lateBound)
      : world(tolvane::bench::benchForm(n), tolvane::bench::screenOf(kScreen)) {
    auto extender = world.form->find("Tolvane1");
    site = std::make_unique<tolvane::model::ModelSite>(world.recorder, extender, world.screen, true);
    if (lateBound) {
      exposer = std::make_unique<Exposer>(CLSID_DemoForm);
      if (exposer->formClass() == nullptr) throw std::runtime_error("the form's class information is missing");
      late = std::make_unique<DispatchSite>(*site, exposer->expose(extender));
      tolvane = std::make_unique<Tolvane>(*late);
    } else {
      tolvane = std::make_unique<Tolvane>(*site);
    }
    extender->onResize = [control = tolvane.get()] { control->UserControl_Resize(); };
    tolvane->UserControl_ReadProperties();
    world.form->raiseLoad();
    world.form->raiseResize();
    world.form->setSizeDirect(12000, 9000);
    tolvane->ResizeFont(font);
    world.recorder.logging = false;
    tolvane->Refresh();
  }
  ~Fixture() {
    tolvane.reset();
    world.form->find("Tolvane1")->onResize = nullptr;
  }

  ModelWorld world;
  std::unique_ptr<Exposer> exposer;
  std::unique_ptr<tolvane::model::ModelSite> site;
  std::unique_ptr<DispatchSite> late;
  std::unique_ptr<Tolvane> tolvane;
};

// Controls whose geometry or font differs between the two forms.
int differences(const ModelWorld& a, const ModelWorld& b) {
  int count = 0;
  const auto& x = a.form->controls();
  const auto& y = b.form->controls();
  if (x.size() != y.size()) return static_cast<int>(std::max(x.size(), y.size()));
  for (std::size_t i = 0; i < x.size(); ++i) {
    const bool same = x[i]->left() == y[i]->left() && x[i]->top() == y[i]->top() && x[i]->width() == y[i]->width() &&
                      x[i]->height() == y[i]->height() && x[i]->fontSize() == y[i]->fontSize();
    count += same ? 0 : 1;
  }
  return count;
}

// The seconds of one round of `passes` calls of `pass`; passesFor makes a round last `seconds`.
struct Round {
  long passes;
  double seconds;
};
Round timed(const std::function<void()>& pass, long passes) {
  const double start = wallSeconds();
  for (long i = 0; i < passes; ++i) pass();
  return {passes, wallSeconds() - start};
}
long passesFor(const std::function<void()>& pass, double seconds) {
  long passes = 1;
  for (;;) {
    const double start = wallSeconds();
    for (long i = 0; i < passes; ++i) pass();
    const double took = wallSeconds() - start;
    if (took >= seconds / 4) return std::max(1L, static_cast<long>(static_cast<double>(passes) * seconds / took));
    passes *= 4;
  }
}

struct Result {
  int n;
  bool font;
  double dispatchPerPass;
  double modelPerPass;
  CallCounts perPass;
  unsigned long long dispatchAllocations;  // in one pass
  unsigned long long modelAllocations;
};

// The binding's own cost of one call, measured on the form of the last case: a name looked up as
// the binding looks it up; one store of a control's Left through the binding and Invoke, beside
// the same store made directly; and the same store through the binding to an object whose Invoke
// does nothing (the caller's side of the call alone).
struct CallCosts {
  double lookup;
  double invokeStore;
  double directStore;
  double callerStore;
};

class IdleDispatch final : public tolvane::win::UntypedDispatch<IDispatch> {
 public:
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) override {
    ids[0] = 1;
    return S_OK;
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (result != nullptr) tolvane::win::emptyVariant(result);
    return S_OK;
  }
};

CallCosts callCosts(Exposer& exposer, const ModelWorld& world, double seconds) {
  auto control = world.form->find("ctl100");
  ComPtr<IDispatch> late = exposer.expose(control);
  DispatchObject binding(late.get());
  const Value value{static_cast<float>(control->left())};
  auto lookup = [&] {
    std::wstring name = tolvane::win::widen("Left");
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    late->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  };
  auto invokeStore = [&] { binding.put("Left", value); };
  auto directStore = [&] { control->put("Left", value); };
  const auto idle = ComPtr<IdleDispatch>::adopt(new IdleDispatch());
  DispatchObject idleBinding(idle.get());
  auto callerStore = [&] { idleBinding.put("Left", value); };
  CallCosts costs{1e9, 1e9, 1e9, 1e9};
  constexpr long kCalls = 1000;
  const std::function<void()> batches[] = {[&] { for (long i = 0; i < kCalls; ++i) lookup(); },
                                           [&] { for (long i = 0; i < kCalls; ++i) invokeStore(); },
                                           [&] { for (long i = 0; i < kCalls; ++i) directStore(); },
                                           [&] { for (long i = 0; i < kCalls; ++i) callerStore(); }};
  double* out[] = {&costs.lookup, &costs.invokeStore, &costs.directStore, &costs.callerStore};
  for (int k = 0; k < 4; ++k) {
    const long passes = passesFor(batches[k], seconds);
    for (int round = 0; round < 3; ++round) {
      const Round r = timed(batches[k], passes);
      *out[k] = std::min(*out[k], r.seconds / static_cast<double>(r.passes * kCalls));
    }
  }
  return costs;
}

}  // namespace

int main(int argc, char** argv) {
  // Seconds of wall time per round (at least one: a shorter round is dominated by the scheduler's
  // slices on a shared machine); rounds per path and case.
  double seconds = 1.0;
  int rounds = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--seconds=", 10) == 0) seconds = std::atof(argv[i] + 10);
    if (std::strncmp(argv[i], "--rounds=", 9) == 0) rounds = std::max(1, std::atoi(argv[i] + 9));
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fprintf(stderr, "COM cannot be initialised\n");
    return 1;
  }
  int status = 0;
  try {
    std::vector<Result> results;
    std::unique_ptr<Fixture> lastModel, lastLate;
    for (int n : kSizes) {
      for (bool font : {true, false}) {
        lastModel.reset();
        lastLate.reset();
        auto model = std::make_unique<Fixture>(n, font, false);
        auto late = std::make_unique<Fixture>(n, font, true);
        Exposer& exposer = *late->exposer;
        const int differ = differences(model->world, late->world);
        if (differ != 0) {
          std::fprintf(stderr, "n=%d font=%s: %d controls differ between the two paths\n", n, font ? "on" : "off", differ);
          status = 1;
        }
        const std::function<void()> modelPass = [&] { model->tolvane->Refresh(); };
        const std::function<void()> latePass = [&] { late->tolvane->Refresh(); };

        exposer.counts = {};
        const unsigned long long before = gAllocations;
        latePass();
        const unsigned long long between = gAllocations;
        modelPass();
        Result result{n, font, 1e9, 1e9, exposer.counts, between - before, gAllocations - between};

        const long modelPasses = passesFor(modelPass, seconds);
        const long latePasses = passesFor(latePass, seconds);
        for (int round = 0; round < rounds; ++round) {
          const Round m = timed(modelPass, modelPasses);
          const Round d = timed(latePass, latePasses);
          result.modelPerPass = std::min(result.modelPerPass, m.seconds / static_cast<double>(m.passes));
          result.dispatchPerPass = std::min(result.dispatchPerPass, d.seconds / static_cast<double>(d.passes));
        }
        if (differences(model->world, late->world) != 0) {
          std::fprintf(stderr, "n=%d font=%s: the two forms differ after the timed passes\n", n, font ? "on" : "off");
          status = 1;
        }
        std::printf("measured n=%d font=%s: model %ld x %d passes, dispatch %ld x %d passes\n", n, font ? "on" : "off",
                    modelPasses, rounds, latePasses, rounds);
        std::fflush(stdout);
        results.push_back(result);
        lastModel = std::move(model);
        lastLate = std::move(late);
      }
    }

    const CallCosts costs = callCosts(*lastLate->exposer, lastLate->world, seconds);
    std::printf(
        "\ncall costs: GetIDsOfNames %.1f ns; a store: through the binding %.1f ns, of which the binding's side %.1f ns "
        "and the form object's side %.1f ns; the same store made directly %.1f ns\n",
        costs.lookup * 1e9, costs.invokeStore * 1e9, costs.callerStore * 1e9,
        (costs.invokeStore - costs.callerStore - costs.directStore) * 1e9, costs.directStore * 1e9);
    std::printf("\n");
    for (const auto& r : results) {
      const double names = static_cast<double>(r.perPass.names);
      const double invokes = static_cast<double>(r.perPass.invokes);
      const double extra = r.dispatchPerPass - r.modelPerPass;
      // Where the dispatch pass's time goes, by the counted calls and the costs above, in shares of
      // the pass: the model's own work (the model pass), name lookups, the binding's side of
      // Invoke, the form object's side of it, and what is left (objects wrapped for every
      // returned object, reference counting).
      const double pass = r.dispatchPerPass;
      const double lookups = names * costs.lookup;
      const double caller = invokes * costs.callerStore;
      const double callee = invokes * (costs.invokeStore - costs.callerStore - costs.directStore);
      auto share = [&](double t) { return pass > 0 ? t / pass * 100 : 0.0; };
      std::printf(
          "calls n=%d font=%s names_per_control=%.2f invokes_per_control=%.2f allocations_per_pass: dispatch=%llu "
          "model=%llu shares: model=%.0f%% lookups=%.0f%% binding_invoke=%.0f%% object_invoke=%.0f%% rest=%.0f%%\n",
          r.n, r.font ? "on" : "off", names / r.n, invokes / r.n, r.dispatchAllocations, r.modelAllocations,
          share(r.modelPerPass), share(lookups), share(caller), share(callee), share(extra - lookups - caller - callee));
    }
    std::printf("\n");
    for (const auto& r : results) {
      std::printf("dispatch n=%d class=%s font=%s per_control_ns=%.1f model_per_control_ns=%.1f ratio=%.2f\n", r.n,
                  kScreen.name, r.font ? "on" : "off", r.dispatchPerPass * 1e9 / r.n, r.modelPerPass * 1e9 / r.n,
                  r.dispatchPerPass / r.modelPerPass);
    }
    lastModel.reset();
    lastLate.reset();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    status = 1;
  }
  CoUninitialize();
  return status;
}
