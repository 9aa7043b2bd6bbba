// The form's COM object: its members (through ExposedDispatch), its class information and the
// connection point of its default source interface, whose sinks it calls when it raises an event.
#pragma once

#include <ocidl.h>

#include <memory>
#include <string>
#include <vector>

#include "demohost/exposed.h"
#include "win/connection_point.h"

namespace tolvane::demohost {

class FormDispatch final : public ExposedDispatch, public IProvideClassInfo, public IConnectionPointContainer {
 public:
  // A form class raises Load and Resize; a panel class raises neither and is no form to a control.
  FormDispatch(std::shared_ptr<Exposed> form, bool raisesFormEvents);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ExposedDispatch::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ExposedDispatch::Release(); }

  // IProvideClassInfo
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override { return events_.enumerate(points); }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override { return events_.find(iid, point); }

  std::size_t sinkCount() const { return events_.connections().size(); }
  void dropSinks() { events_.dropConnections(); }

  // Delivers event `id` to the sinks advised when it is raised that are still advised; the text of
  // every failure a sink returns, in order.
  std::vector<std::string> raise(DISPID id);

 private:
  ~FormDispatch() override = default;

  CLSID classId_;
  win::ConnectionPoint<> events_;
};

}  // namespace tolvane::demohost
