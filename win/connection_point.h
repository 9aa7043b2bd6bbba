// The connection point of an object with one source interface. It lives inside the object (its
// container) and shares the container's reference count, as a COM sub-object does; the container
// answers FindConnectionPoint and EnumConnectionPoints through find() and enumerate(). Sinks are
// called through IDispatch; the connections are not enumerated.
//
// What an advised sink becomes is the point's `Connection`, kept under the sink's cookie until the
// sink is unadvised: by default the sink itself.
#pragma once

#include <ocidl.h>
#include <olectl.h>

#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "win/com_object.h"
#include "win/com_ptr.h"
#include "win/one_point_enumerator.h"

namespace tolvane::win {

template <class Connection = ComPtr<IDispatch>>
class ConnectionPoint : public IConnectionPoint {
 public:
  ConnectionPoint(IConnectionPointContainer& container, const IID& source) : container_(container), source_(source) {}
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;
  virtual ~ConnectionPoint() = default;

  // The container's IConnectionPointContainer methods.
  HRESULT find(REFIID iid, IConnectionPoint** point) {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    if (iid != source_) return CONNECT_E_NOCONNECTION;
    return ComPtr<IConnectionPoint>(this).copy_to(point);
  }
  HRESULT enumerate(IEnumConnectionPoints** points) {
    if (points == nullptr) return E_POINTER;
    *points = new (std::nothrow) OnePointEnumerator(this, 0);
    return *points != nullptr ? S_OK : E_OUTOFMEMORY;
  }

  // IUnknown: the container's count.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    return handOut(iid == IID_IUnknown || iid == IID_IConnectionPoint ? this : nullptr, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return container_.AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return container_.Release(); }

  // IConnectionPoint
  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    if (iid == nullptr) return E_POINTER;
    *iid = source_;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
    return ComPtr<IConnectionPointContainer>(&container_).copy_to(container);
  }
  // A sink answers for the source interface or, as many clients' sinks do, plain IDispatch.
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (cookie == nullptr || sink == nullptr) return E_POINTER;
    *cookie = 0;
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(source_, reinterpret_cast<void**>(events.put()))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(events.put())))) {
      return CONNECT_E_CANNOTCONNECT;
    }
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
    if (connections == nullptr) return E_POINTER;
    *connections = nullptr;
    return E_NOTIMPL;
  }

  using Connections = std::vector<std::pair<DWORD, Connection>>;
  const Connections& connections() const { return connections_; }
  bool advised(DWORD cookie) const {
    for (const auto& entry : connections_) {
      if (entry.first == cookie) return true;
    }
    return false;
  }
  // Lets every sink go; the list is emptied before any of them is released.
  void dropConnections() {
    Connections dropped = std::move(connections_);
    connections_.clear();
  }

 protected:
  // What `sink`, advised for the source interface, becomes; a failure refuses the advise.
  virtual HRESULT connect(ComPtr<IDispatch> sink, Connection* connection) {
    if constexpr (std::is_same_v<Connection, ComPtr<IDispatch>>) {
      *connection = std::move(sink);
      return S_OK;
    } else {
      return E_NOTIMPL;
    }
  }
  // Called with an unadvised connection, which goes when this returns unless it is kept.
  virtual void disconnect(Connection) {}

 private:
  IConnectionPointContainer& container_;
  IID source_;
  Connections connections_;
  DWORD lastCookie_ = 0;
};

}  // namespace tolvane::win
