#include "control/com/container_site.h"

#include <olectl.h>

#include <memory>
#include <string>

#include "hostmodel/convert.h"
#include "hostmodel/dispatch/dispatch_object.h"
#include "hostmodel/dispatch/variant.h"
#include "win/excep_info.h"
#include "win/host_failure.h"
#include "win/scoped_variant.h"
#include "win/screen.h"
#include "win/text.h"

namespace tolvane::com {

namespace {

using win::ComPtr;

// The extender: the control as its form sees it. Its size is the control's own extent; every other
// member (Parent first of all) belongs to the container's extended control.
class Extender final : public host::Object {
 public:
  Extender(ContainerSite& site, OwnExtent& extent, FormRedraw& redraw) : site_(site), extent_(extent), redraw_(redraw) {}

  host::Value get(std::string_view member) override {
    if (member == "Width") return host::Value{extent_.widthTwips()};
    if (member == "Height") return host::Value{extent_.heightTwips()};
    host::Value value = extended(member).get(member);
    if (member == "Parent") {
      if (auto* parent = std::get_if<host::ObjectRef>(&value)) return host::Value{redraw_.parent(std::move(*parent))};
    }
    return value;
  }

  void put(std::string_view member, const host::Value& value) override {
    if (member == "Width") {
      extent_.setWidthTwips(host::convert::readSingle(value));
    } else if (member == "Height") {
      extent_.setHeightTwips(host::convert::readSingle(value));
    } else {
      extended(member).put(member, value);
    }
  }

  void call(std::string_view method, std::span<const host::Value> args) override {
    extended(method).call(method, args);
  }

 private:
  host::dispatch::DispatchObject extended(std::string_view member) {
    ComPtr<IDispatch> dispatch = site_.extendedControl();
    if (!dispatch) {
      throw host::HostError(host::Failure::MissingMember,
                            "the container gives the control no extender with " + std::string(member));
    }
    return host::dispatch::DispatchObject(dispatch.get(), site_.link());
  }

  ContainerSite& site_;
  OwnExtent& extent_;
  FormRedraw& redraw_;
};

// The screen, from the system's metrics: twips per pixel from the logical DPI.
class Screen final : public host::Object {
 public:
  host::Value get(std::string_view member) override {
    if (member == "TwipsPerPixelX") return host::Value{twipsPerPixel(LOGPIXELSX)};
    if (member == "TwipsPerPixelY") return host::Value{twipsPerPixel(LOGPIXELSY)};
    if (member == "Width") return host::Value{static_cast<float>(GetSystemMetrics(SM_CXSCREEN)) * twipsPerPixel(LOGPIXELSX)};
    if (member == "Height") return host::Value{static_cast<float>(GetSystemMetrics(SM_CYSCREEN)) * twipsPerPixel(LOGPIXELSY)};
    throw host::HostError(host::Failure::MissingMember, "the screen has no member " + std::string(member));
  }
  void put(std::string_view member, const host::Value&) override {
    throw host::HostError(host::Failure::ValueRefused, "the screen's " + std::string(member) + " cannot be set");
  }
  void call(std::string_view method, std::span<const host::Value>) override {
    throw host::HostError(host::Failure::MissingMember, "the screen has no method " + std::string(method));
  }

 private:
  static float twipsPerPixel(int axis) {
    const int dpi = win::screenDpi(axis);
    if (dpi <= 0) throw host::HostError(host::Failure::Platform, "the screen's resolution is unknown");
    return static_cast<float>(1440 / dpi);
  }
};

}  // namespace

ContainerSite::ContainerSite(OwnExtent& extent, host::dispatch::ContainerLink::Owner& owner, FormRedraw& redraw)
    : extent_(extent), owner_(owner), redraw_(redraw), link_(std::make_shared<host::dispatch::ContainerLink>(owner)) {}

// Whatever still holds an object of the container (a form's event sink) no longer reaches the
// control through it.
ContainerSite::~ContainerSite() { link_->cutOff(); }

void ContainerSite::leave() {
  link_->cutOff();
  link_ = std::make_shared<host::dispatch::ContainerLink>(owner_);
}

host::Value ContainerSite::ambient(std::string_view name) {
  const DISPID known = name == "UserMode" ? DISPID_AMBIENT_USERMODE : DISPID_UNKNOWN;
  ComPtr<IDispatch> ambients = clientSite_.query<IDispatch>(IID_IDispatch);
  if (!ambients) {
    if (known == DISPID_AMBIENT_USERMODE) return host::Value{true};
    throw host::HostError(host::Failure::MissingMember, "the container has no ambient " + std::string(name));
  }
  DISPID id = known;
  if (id == DISPID_UNKNOWN) {
    std::wstring wide = win::widen(name);
    LPOLESTR names[] = {wide.data()};
    const HRESULT hr = ambients->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) throw win::failureOf(hr, nullptr, "Ambient." + std::string(name));
  }
  DISPPARAMS none{};
  win::ScopedVariant result;
  win::ExcepInfo exception;
  const HRESULT hr = ambients->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result.ptr(),
                                      exception.receive(), nullptr);
  if (FAILED(hr)) {
    // A container that does not know the ambient leaves its default.
    if (known == DISPID_AMBIENT_USERMODE && (hr == DISP_E_MEMBERNOTFOUND || hr == E_NOTIMPL)) return host::Value{true};
    throw win::failureOf(hr, &exception.filled(hr), "Ambient." + std::string(name));
  }
  return host::dispatch::fromVariant(result.get());
}

bool ContainerSite::userMode() noexcept {
  try {
    return !host::convert::equalsFalse(ambient("UserMode"));
  } catch (const std::exception&) {
    // A host failure or no memory: the platform's default, run time, where nothing is drawn.
    return true;
  }
}

ComPtr<IDispatch> ContainerSite::extendedControl() const {
  ComPtr<IOleControlSite> controlSite = clientSite_.query<IOleControlSite>(IID_IOleControlSite);
  ComPtr<IDispatch> extended;
  if (controlSite && FAILED(controlSite->GetExtendedControl(extended.put()))) extended.reset();
  return extended;
}

host::ObjectRef ContainerSite::extender() { return std::make_shared<Extender>(*this, extent_, redraw_); }

host::ObjectRef ContainerSite::screen() { return std::make_shared<Screen>(); }

}  // namespace tolvane::com
