// The twelve controls of the main window, in creation order, with their
// initial properties applied in one record each.
#include <string>
#include <vector>

#include "framework/core/controls.h"
#include "framework/core/note_player.h"
#include "framework/core/tarnwick.h"
#include "window/mode_threads.h"
#include "window/window1.h"

using namespace std::string_literals;

namespace {

constexpr int kNoControlArrayIndex = -2147483647 - 1;

struct Placement {
  int left, top, width, height;
};

std::vector<fw::Property> PushButtonRecord(const std::string& name, Placement at,
                                           const std::string& caption, bool enabled) {
  return {{"Name", name},          {"Index", kNoControlArrayIndex},
          {"Left", at.left},       {"Top", at.top},
          {"Width", at.width},     {"Height", at.height},
          {"LockLeft", false},     {"LockTop", false},
          {"LockRight", false},    {"LockBottom", false},
          {"TabPanelIndex", 0},    {"Caption", caption},
          {"Default", false},      {"Cancel", false},
          {"Enabled", enabled},    {"Visible", true},
          {"HelpTag", ""s},        {"AutoDeactivate", true},
          {"TextFont", "System"s}, {"TextSize", 12},
          {"Bold", false},         {"Italic", false},
          {"Underline", false},    {"InitialParent", ""s}};
}

std::vector<fw::Property> RadioButtonRecord(const std::string& name, Placement at,
                                            const std::string& caption, bool selected) {
  return {{"Name", name},          {"Index", kNoControlArrayIndex},
          {"Left", at.left},       {"Top", at.top},
          {"Width", at.width},     {"Height", at.height},
          {"LockLeft", false},     {"LockTop", false},
          {"LockRight", false},    {"LockBottom", false},
          {"TabPanelIndex", 0},    {"Caption", caption},
          {"Enabled", true},       {"Visible", true},
          {"HelpTag", ""s},        {"AutoDeactivate", true},
          {"TextFont", "System"s}, {"TextSize", 12},
          {"Bold", false},         {"Italic", false},
          {"Underline", false},    {"Value", selected},
          {"InitialParent", ""s}};
}

const std::vector<fw::Property>& ModeThreadRecord() {
  static const std::vector<fw::Property> record{{"Priority", 5}, {"StackSize", 0}};
  return record;
}

// Creates, constructs and registers a mode thread, then configures it and binds
// its Run event through the class it is known by.
template <typename ThreadControl, typename KnownAs>
void CreateModeThread(Window1& window, const char* name, void (Window1::*handler)()) {
  {
    auto thread = std::make_shared<ThreadControl>();
    thread->Constructor();
    window.AddControl(name, thread);
  }
  Tarnwick::SetProperties(
      *fw::RuntimeCheckCast<KnownAs>(fw::RuntimeWindowControlByName(&window, name)),
      ModeThreadRecord());
  fw::InstallInstanceEventHandler(
      fw::RuntimeCheckCast<KnownAs>(fw::RuntimeWindowControlByName(&window, name)), "Run", handler);
}

}  // namespace

void Window1::CreateControls0() {
  auto registerControl = [this](const std::string& name, std::shared_ptr<fw::Object> control) {
    AddControl(name, control);
  };
  auto lookUp = [this](const char* name) { return fw::RuntimeWindowControlByName(this, name); };

  registerControl("play", std::make_shared<fw::PushButton>());
  Tarnwick::SetProperties(*fw::RuntimeCheckCast<fw::PushButton>(lookUp("play")),
                          PushButtonRecord("play", {115, 140, 70, 20}, "start", true));
  fw::InstallInstanceEventHandler(fw::RuntimeCheckCast<fw::PushButton>(lookUp("play")), "Action",
                                  &Window1::play_Action);

  registerControl("ProgressWheel1", std::make_shared<fw::ProgressWheel>());
  Tarnwick::SetProperties(*fw::RuntimeCheckCast<fw::ProgressWheel>(lookUp("ProgressWheel1")),
                          {{"Name", "ProgressWheel1"s},
                           {"Index", kNoControlArrayIndex},
                           {"Left", 133},
                           {"Top", 183},
                           {"Width", 34},
                           {"Height", 34},
                           {"LockLeft", false},
                           {"LockTop", false},
                           {"LockRight", false},
                           {"LockBottom", false},
                           {"TabPanelIndex", 0},
                           {"InitialParent", ""s},
                           {"Visible", false},
                           {"HelpTag", ""s},
                           {"AutoDeactivate", true},
                           {"Enabled", true}});

  registerControl("stop", std::make_shared<fw::PushButton>());
  Tarnwick::SetProperties(*fw::RuntimeCheckCast<fw::PushButton>(lookUp("stop")),
                          PushButtonRecord("stop", {115, 240, 70, 20}, "stop", false));
  fw::InstallInstanceEventHandler(fw::RuntimeCheckCast<fw::PushButton>(lookUp("stop")), "Action",
                                  &Window1::stop_Action);

  registerControl("NotePlayer1", std::make_shared<fw::NotePlayer>());
  Tarnwick::SetProperties(*fw::RuntimeCheckCast<fw::NotePlayer>(lookUp("NotePlayer1")),
                          {{"Name", "NotePlayer1"s},
                           {"Index", kNoControlArrayIndex},
                           {"Instrument", 1},
                           {"TabPanelIndex", 0}});

  CreateModeThread<Window1::OneShot, Class1>(*this, "OneShot", &Window1::OneShot_Run);

  registerControl("OriginalButton", std::make_shared<fw::RadioButton>());
  Tarnwick::SetProperties(
      *fw::RuntimeCheckCast<fw::RadioButton>(lookUp("OriginalButton")),
      RadioButtonRecord("OriginalButton", {185, 75, 80, 20}, "original", false));

  registerControl("OneShotButton", std::make_shared<fw::RadioButton>());
  Tarnwick::SetProperties(*fw::RuntimeCheckCast<fw::RadioButton>(lookUp("OneShotButton")),
                          RadioButtonRecord("OneShotButton", {35, 20, 80, 20}, "one shot", true));

  CreateModeThread<Window1::Original, fw::Thread>(*this, "Original", &Window1::Original_Run);

  registerControl("LoopedButton", std::make_shared<fw::RadioButton>());
  Tarnwick::SetProperties(*fw::RuntimeCheckCast<fw::RadioButton>(lookUp("LoopedButton")),
                          RadioButtonRecord("LoopedButton", {185, 20, 80, 20}, "looped", false));

  CreateModeThread<Window1::Looped, fw::Thread>(*this, "Looped", &Window1::Looped_Run);

  registerControl("OneShotEndButton", std::make_shared<fw::RadioButton>());
  Tarnwick::SetProperties(
      *fw::RuntimeCheckCast<fw::RadioButton>(lookUp("OneShotEndButton")),
      RadioButtonRecord("OneShotEndButton", {35, 70, 97, 30}, "one shot with ending", false));

  CreateModeThread<Window1::OneShotEnd, fw::Thread>(*this, "OneShotEnd", &Window1::OneShotEnd_Run);
}
