#include "control/com/form_redraw.h"

#include <memory>
#include <utility>

namespace tolvane::com {

FormRedraw::Pass::Pass(FormRedraw& redraw) noexcept : redraw_(redraw) {
  if (redraw_.depth_++ > 0) return;
  HWND form = nullptr;
  try {
    form = redraw_.formWindow_();
  } catch (...) {
    form = nullptr;  // a form that cannot say is left alone
  }
  // A minimised form is not laid out; it is drawn when it is restored.
  if (form != nullptr && !IsIconic(form)) off_.emplace(form);
}

FormRedraw::Pass::~Pass() {
  off_.reset();
  --redraw_.depth_;
}

namespace {

// The form's events as the control's handlers receive them, with Resize inside a pass.
class RedrawnEvents final : public host::FormEvents {
 public:
  RedrawnEvents(host::FormEvents& handlers, FormRedraw& redraw) : handlers_(handlers), redraw_(redraw) {}
  void ParentForm_Load() override { handlers_.ParentForm_Load(); }
  void ParentForm_Resize() override {
    FormRedraw::Pass pass(redraw_);
    handlers_.ParentForm_Resize();
  }

 private:
  host::FormEvents& handlers_;
  FormRedraw& redraw_;
};

class RedrawnForm final : public host::Form, public std::enable_shared_from_this<RedrawnForm> {
 public:
  RedrawnForm(host::FormRef form, FormRedraw& redraw) : form_(std::move(form)), redraw_(redraw) {}

  host::Value get(std::string_view member) override { return form_->get(member); }
  void put(std::string_view member, const host::Value& value) override { form_->put(member, value); }
  void call(std::string_view method, std::span<const host::Value> args) override { form_->call(method, args); }
  host::Value item(const host::Value& index) override { return form_->item(index); }
  host::FormRef asForm() override { return shared_from_this(); }

  host::Subscription advise(host::FormEvents& sink) override {
    // The adapter lives as long as the subscription that delivers to it.
    struct Advised {
      RedrawnEvents events;
      host::Subscription subscription;
    };
    auto advised = std::make_shared<Advised>(Advised{RedrawnEvents(sink, redraw_), {}});
    advised->subscription = form_->advise(advised->events);
    return host::Subscription([advised] { advised->subscription.reset(); });
  }

 private:
  host::FormRef form_;
  FormRedraw& redraw_;
};

class RedrawnParent final : public host::Object {
 public:
  RedrawnParent(host::ObjectRef parent, FormRedraw& redraw) : parent_(std::move(parent)), redraw_(redraw) {}

  host::Value get(std::string_view member) override { return parent_->get(member); }
  void put(std::string_view member, const host::Value& value) override { parent_->put(member, value); }
  void call(std::string_view method, std::span<const host::Value> args) override { parent_->call(method, args); }
  host::Value item(const host::Value& index) override { return parent_->item(index); }
  host::FormRef asForm() override { return std::make_shared<RedrawnForm>(parent_->asForm(), redraw_); }

 private:
  host::ObjectRef parent_;
  FormRedraw& redraw_;
};

}  // namespace

host::ObjectRef FormRedraw::parent(host::ObjectRef parent) {
  if (parent == nullptr) return parent;
  return std::make_shared<RedrawnParent>(std::move(parent), *this);
}

}  // namespace tolvane::com
