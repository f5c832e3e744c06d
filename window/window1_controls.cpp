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

std::vector<fw::Property> ProgressWheelRecord() {
  return {{"Name", "ProgressWheel1"s},
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
          {"Enabled", true}};
}

std::vector<fw::Property> NotePlayerRecord() {
  return {{"Name", "NotePlayer1"s},
          {"Index", kNoControlArrayIndex},
          {"Instrument", 1},
          {"TabPanelIndex", 0}};
}

// Creates a control, constructs it (thread controls have a constructor of
// their own), registers it, then looks it up again and applies its record
// through the class it is known by.
template <typename Created, typename KnownAs>
void CreateControl(Window1& window, const char* name, const std::vector<fw::Property>& record) {
  {
    auto control = std::make_shared<Created>();
    if constexpr (requires { control->Constructor(); }) control->Constructor();
    window.AddControl(name, control);
  }
  Tarnwick::SetProperties(
      *fw::RuntimeCheckCast<KnownAs>(fw::RuntimeWindowControlByName(&window, name)), record);
}

template <typename KnownAs>
void BindEvent(Window1& window, const char* name, const char* event, void (Window1::*handler)()) {
  fw::InstallInstanceEventHandler(
      fw::RuntimeCheckCast<KnownAs>(fw::RuntimeWindowControlByName(&window, name)), event, handler);
}

}  // namespace

void Window1::CreateControls0() {
  CreateControl<fw::PushButton, fw::PushButton>(
      *this, "play", PushButtonRecord("play", {115, 140, 70, 20}, "start", true));
  BindEvent<fw::PushButton>(*this, "play", "Action", &Window1::play_Action);

  CreateControl<fw::ProgressWheel, fw::ProgressWheel>(*this, "ProgressWheel1",
                                                      ProgressWheelRecord());

  CreateControl<fw::PushButton, fw::PushButton>(
      *this, "stop", PushButtonRecord("stop", {115, 240, 70, 20}, "stop", false));
  BindEvent<fw::PushButton>(*this, "stop", "Action", &Window1::stop_Action);

  CreateControl<fw::NotePlayer, fw::NotePlayer>(*this, "NotePlayer1", NotePlayerRecord());

  CreateControl<Window1::OneShot, Class1>(*this, "OneShot", ModeThreadRecord());
  BindEvent<Class1>(*this, "OneShot", "Run", &Window1::OneShot_Run);

  CreateControl<fw::RadioButton, fw::RadioButton>(
      *this, "OriginalButton",
      RadioButtonRecord("OriginalButton", {185, 75, 80, 20}, "original", false));

  CreateControl<fw::RadioButton, fw::RadioButton>(
      *this, "OneShotButton",
      RadioButtonRecord("OneShotButton", {35, 20, 80, 20}, "one shot", true));

  CreateControl<Window1::Original, fw::Thread>(*this, "Original", ModeThreadRecord());
  BindEvent<fw::Thread>(*this, "Original", "Run", &Window1::Original_Run);

  CreateControl<fw::RadioButton, fw::RadioButton>(
      *this, "LoopedButton", RadioButtonRecord("LoopedButton", {185, 20, 80, 20}, "looped", false));

  CreateControl<Window1::Looped, fw::Thread>(*this, "Looped", ModeThreadRecord());
  BindEvent<fw::Thread>(*this, "Looped", "Run", &Window1::Looped_Run);

  CreateControl<fw::RadioButton, fw::RadioButton>(
      *this, "OneShotEndButton",
      RadioButtonRecord("OneShotEndButton", {35, 70, 97, 30}, "one shot with ending", false));

  CreateControl<Window1::OneShotEnd, fw::Thread>(*this, "OneShotEnd", ModeThreadRecord());
  BindEvent<fw::Thread>(*this, "OneShotEnd", "Run", &Window1::OneShotEnd_Run);
}
