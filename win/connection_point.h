// The connection point of an object with one source interface, which is also its own container:
// FindConnectionPoint finds it for that interface only, and neither the points nor the connections
// are enumerated. Sinks are called through IDispatch.
//
// The class it is part of answers QueryInterface for IConnectionPointContainer and IConnectionPoint
// and says what an advised sink becomes: its `Connection`, kept under the sink's cookie until the
// sink is unadvised.
#pragma once

#include <ocidl.h>
#include <olectl.h>

#include <new>
#include <utility>
#include <vector>

#include "hostmodel/dispatch/com_ref.h"

namespace tolvane::host::dispatch {

template <class Connection>
class SingleConnectionPoint : public IConnectionPointContainer, public IConnectionPoint {
 public:
  explicit SingleConnectionPoint(const IID& source) : source_(source) {}
  SingleConnectionPoint(const SingleConnectionPoint&) = delete;
  SingleConnectionPoint& operator=(const SingleConnectionPoint&) = delete;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override {
    if (points != nullptr) *points = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    if (iid != source_) return CONNECT_E_NOCONNECTION;
    *point = this;
    (*point)->AddRef();
    return S_OK;
  }

  // IConnectionPoint
  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    if (iid == nullptr) return E_POINTER;
    *iid = source_;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
    if (container == nullptr) return E_POINTER;
    *container = this;
    (*container)->AddRef();
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (cookie == nullptr || sink == nullptr) return E_POINTER;
    *cookie = 0;
    ComRef<IDispatch> events;
    if (FAILED(sink->QueryInterface(source_, reinterpret_cast<void**>(events.put())))) return CONNECT_E_CANNOTCONNECT;
    try {
      Connection connection{};
      if (const HRESULT hr = connect(std::move(events), &connection); FAILED(hr)) return hr;
      connections_.emplace_back(++lastCookie_, std::move(connection));
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    *cookie = lastCookie_;
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override {
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
      if (it->first == cookie) {
        // Out of the list before it goes: letting a sink go may call back into this point.
        Connection dropped = std::move(it->second);
        connections_.erase(it);
        disconnect(std::move(dropped));
        return S_OK;
      }
    }
    return CONNECT_E_NOCONNECTION;
  }
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override {
    if (connections != nullptr) *connections = nullptr;
    return E_NOTIMPL;
  }

 protected:
  using Connections = std::vector<std::pair<DWORD, Connection>>;

  virtual ~SingleConnectionPoint() = default;

  // What `sink`, advised for the source interface, becomes; a failure refuses the advise.
  virtual HRESULT connect(ComRef<IDispatch> sink, Connection* connection) = 0;
  // Called with an unadvised connection, which goes when this returns unless it is kept.
  virtual void disconnect(Connection) {}

  const Connections& connections() const { return connections_; }
  bool advised(DWORD cookie) const {
    for (const auto& entry : connections_) {
      if (entry.first == cookie) return true;
    }
    return false;
  }
  void dropConnections() { connections_.clear(); }

 private:
  IID source_;
  Connections connections_;
  DWORD lastCookie_ = 0;
};

}  // namespace tolvane::host::dispatch
