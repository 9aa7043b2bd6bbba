// The control's container as the host model sees it: ambient properties from the client site's
// ambient dispatch, the extender from the client site's extended control, and the control's own
// size through its extent (which the control reports to the container).
#pragma once

#include <ocidl.h>
#include <oleidl.h>

#include "control/com/form_redraw.h"
#include "win/com_ptr.h"
#include "hostmodel/dispatch/container_link.h"
#include "hostmodel/host.h"
#include "win/com_ptr.h"

namespace tolvane::com {

// The control's own size, in twips, as the control keeps it.
class OwnExtent {
 public:
  virtual float widthTwips() const = 0;
  virtual float heightTwips() const = 0;
  virtual void setWidthTwips(float twips) = 0;
  virtual void setHeightTwips(float twips) = 0;

 protected:
  ~OwnExtent() = default;
};

class ContainerSite final : public host::Site {
 public:
  // `owner` is the control: the objects reached through the container keep it alive while they
  // deliver events to it. The extender's Parent goes through `redraw`, so that the form's Resize is
  // drawn once.
  ContainerSite(OwnExtent& extent, host::dispatch::ContainerLink::Owner& owner, FormRedraw& redraw);
  ~ContainerSite();

  void setClientSite(IOleClientSite* site) { clientSite_ = win::ComPtr<IOleClientSite>(site); }
  IOleClientSite* clientSite() const { return clientSite_.get(); }

  // An ambient property; a container that does not give one leaves the platform's default (for
  // UserMode: True, run time).
  host::Value ambient(std::string_view name) override;
  host::ObjectRef extender() override;
  host::ObjectRef screen() override;

  // `Ambient.UserMode` is not False; True also when the container cannot say.
  bool userMode() noexcept;

  // The extended control the container wraps around the control, or empty.
  win::ComPtr<IDispatch> extendedControl() const;

  // The control leaves the container: every object reached through it fails from now on, and
  // objects reached later (after the control is sited again) get a new link.
  void leave();

  // The link every object reached through the container shares.
  const host::dispatch::ContainerLinkRef& link() const { return link_; }

 private:
  OwnExtent& extent_;
  host::dispatch::ContainerLink::Owner& owner_;
  FormRedraw& redraw_;
  host::dispatch::ContainerLinkRef link_;
  win::ComPtr<IOleClientSite> clientSite_;
};

}  // namespace tolvane::com
