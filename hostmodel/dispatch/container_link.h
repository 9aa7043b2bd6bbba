// What a control shares with every object it reached through its container (the extender, the
// form, the controls and fonts read from them). Two rules of a COM object run through it:
//
// - A control keeps itself alive while it runs. Every event such an object delivers to the control
//   runs as a visit of the control, which holds a reference to it until the event returns.
// - A control that has left its container takes nothing more from it. When the control is closed
//   or loses its client site the link is cut, and every call through those objects fails from then
//   on (as NotAttached: the control has no parent form any more), even in a pass already running.
#pragma once

#include <memory>
#include <string_view>

#include "hostmodel/host.h"

namespace tolvane::host::dispatch {

class ContainerLink {
 public:
  // The control at the end of the link.
  class Owner {
   public:
    virtual void visitStarts() noexcept = 0;  // takes a reference
    virtual void visitEnds() noexcept = 0;    // gives it back, last of all
   protected:
    ~Owner() = default;
  };

  explicit ContainerLink(Owner& owner) : owner_(&owner) {}
  ContainerLink(const ContainerLink&) = delete;
  ContainerLink& operator=(const ContainerLink&) = delete;

  bool cut() const { return owner_ == nullptr; }
  // The owner leaves its container, or goes.
  void cutOff() { owner_ = nullptr; }

  // What a call through an object of the container fails with once the link is cut.
  static Fault refusal(std::string_view what) {
    return {Failure::NotAttached, "the control has left its container: " + std::string(what)};
  }
  // A call through an object of the container, about to be made: the refusal thrown once cut.
  void check(std::string_view what) const {
    if (cut()) refusal(what).raise();
  }

  // An event delivered to the owner, kept alive for its length (nothing when the link is cut: the
  // owner's own calls keep it then).
  class Visit {
   public:
    explicit Visit(const std::shared_ptr<ContainerLink>& link) : owner_(link ? link->owner_ : nullptr) {
      if (owner_ != nullptr) owner_->visitStarts();
    }
    ~Visit() {
      if (owner_ != nullptr) owner_->visitEnds();
    }
    Visit(const Visit&) = delete;
    Visit& operator=(const Visit&) = delete;

   private:
    Owner* owner_;
  };

 private:
  Owner* owner_;
};

using ContainerLinkRef = std::shared_ptr<ContainerLink>;

}  // namespace tolvane::host::dispatch
