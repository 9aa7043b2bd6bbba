// The demo host's form: a real Win32 window with a real child window for every control of a
// scenario's form, exposed to the controls it hosts as a form object (type information whose
// default source interface raises Load and Resize, `Controls`, named controls, sizes in twips), and
// Brenmoor's Tolvane control hosted on it through the host's own client site.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <memory>
#include <string>
#include <vector>

#include "demohost/paint_stats.h"
#include "win/com_ptr.h"
#include "hostmodel/model/model_form.h"
#include "hostmodel/model/trace.h"

namespace tolvane::demohost {

using win::ComPtr;

struct FormOptions {
  // False: the form's class raises neither Load nor Resize (a plain panel), so it is no form to a
  // control that needs one.
  bool raisesFormEvents = true;
  // The ambient UserMode the control is given: True at run time.
  bool userMode = true;
  // False: the form has no hWnd member, as a form of an engine that does not give its window.
  bool givesHwnd = true;
};

class HostForm {
 public:
  // Creates the window (hidden) and its child windows. Every write a hosted control makes to the
  // form or its controls goes to `recorder`, which must outlive the form.
  HostForm(const model::FormSpec& desc, model::Recorder& recorder, FormOptions options = {});
  ~HostForm();
  HostForm(const HostForm&) = delete;
  HostForm& operator=(const HostForm&) = delete;

  HWND window() const { return window_; }
  const std::string& name() const { return name_; }
  // The form object as controls see it.
  IDispatch* form() const;

  // Creates and sites Brenmoor's control for the form's control of kind "Tolvane" and loads it,
  // which runs its ReadProperties. Returns the HRESULT of the loading; a failure is also recorded as
  // the failure of the control's ReadProperties, and the form goes on without the control.
  HRESULT loadControl();
  // The hosted control, or null.
  IDispatch* control() const { return control_.get(); }
  const std::string& controlName() const { return controlName_; }
  // Closes and releases the hosted control.
  void unloadControl();

  // The form's events, as the host raises them. The controls' moves during Resize are held and made
  // at once when it ends (or when the form's redraw is switched back on, whichever comes first).
  void raiseLoad();
  void raiseResize();

  // Calls a method of the hosted control (Refresh, Rebuild) as the form's code does, with the
  // controls' moves held as during Resize; a failure is thrown as HostError.
  void callControl(const std::string& method);

  // What a user does: the window's inner size becomes that of a form of `width` x `height` twips
  // with the scenario's frame (the real frame is the platform's own), the window is shown, and one
  // Resize is raised (also when the size is unchanged).
  void resizeTo(double width, double height);
  void minimize();
  void restore();
  void maximize();

  // The host's own change of a member (no write recorded); a changed form size raises Resize.
  void setDirect(const std::string& object, const std::string& member, const host::Value& value);

  // Clicks a tab button: it becomes the bold one and the control relays the form out.
  void clickTab(const std::string& name);

  // Every control after the last step, in `Controls` order.
  std::vector<model::StateRow> state() const;

  // How many Resize events the form has raised.
  int resizesRaised() const { return resizes_; }
  // What the window system did to the form and its child windows.
  PaintStats& paintStats() { return paint_; }
  double twipsPerPixel() const { return twipsPerPixel_; }

  // Runs the window's pending messages.
  static void pump();

 private:
  struct Objects;
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void sized(WPARAM kind);
  // Runs a relayout: timed and counted, the controls' moves held until it ends.
  template <class Body>
  void laidOut(Body&& body);

  model::Recorder& recorder_;
  PaintStats paint_;
  std::string name_;
  double frameWidth_;
  double frameHeight_;
  double twipsPerPixel_;
  bool userMode_;
  HWND window_ = nullptr;
  std::unique_ptr<Objects> objects_;
  std::string controlName_;
  ComPtr<IOleObject> oleControl_;
  ComPtr<IDispatch> control_;
  ComPtr<IOleClientSite> site_;
  int resizes_ = 0;
  int lastState_ = -1;
  SIZE lastClient_{-1, -1};
};

// Twips per pixel of the screen: 1440 over its logical resolution, as the screen's metrics give it.
int screenTwipsPerPixel();

}  // namespace tolvane::demohost
