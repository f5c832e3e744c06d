#pragma once
// The main window: its construction hooks, the start and stop actions, the
// four performance modes, its menu-item accessors and the bar operations.
#include <array>
#include <memory>
#include <string_view>

#include "framework/core/menu.h"
#include "framework/core/misc.h"
#include "framework/core/window.h"
#include "window/control_lookup.h"

class Window1 : public fw::Window {
 public:
  class OneShot;
  class Original;
  class Looped;
  class OneShotEnd;

  const char* ClassName() const override { return "Window1.Window1"; }

  void Layout() override;
  void CreateControls() override;
  void CreateControls0();

  void play_Action();
  void stop_Action();

  void OneShot_Run();
  void Original_Run();
  void Looped_Run();
  void OneShotEnd_Run();

  std::shared_ptr<fw::MenuItem> EditMenu();
  std::shared_ptr<fw::MenuItem> EditSelectAll();
  std::shared_ptr<fw::MenuItem> UntitledMenu0();
  std::shared_ptr<fw::MenuItem> EditClear();
  std::shared_ptr<fw::MenuItem> EditPaste();
  std::shared_ptr<fw::MenuItem> EditCopy();
  std::shared_ptr<fw::MenuItem> EditCut();
  std::shared_ptr<fw::MenuItem> UntitledMenu1();
  std::shared_ptr<fw::MenuItem> EditUndo();
  std::shared_ptr<fw::MenuItem> FileMenu();
  std::shared_ptr<fw::QuitMenuItem> FileQuit();
  std::shared_ptr<fw::MenuItem> aboutvelumbra17();

  void AddMenuHandlers(fw::Window& window) override;

  void barOne();
  void barEight();
  void barEighteen();
  void barEleven();
  void barFifteen();
  void barFive();
  void barFour();
  void barFourteen();
  void barNine();
  void barNineteen();
  void barSeven();
  void barSeventeen();
  void barSix();
  void barSixteen();
  void barTen();
  void barThirteen();
  void barThirty();
  void barThirtyFive();
  void barThirtyFour();
  void barThirtyOne();
  void barThirtyThree();
  void barThirtyTwo();
  void barThree();
  void barTwelve();
  void barTwenty();
  void barTwentyEight();
  void barTwentyFive();
  void barTwentyFour();
  void barTwentyNine();
  void barTwentyOne();
  void barTwentySeven();
  void barTwentySix();
  void barTwentyThree();
  void barTwentyTwo();
  void barTwo();
  void barThirtySix();
  void barThirtySeven();
  void barThirtyEight();
  void barThirtyFourOneShot();
  void barTwentyEightOneShot();
  void barTwentyNineOneShot();
  void barThirtyOneOneShot();
  void barThirtyTwoOneShot();
  void barThirtyThreeOneShot();
  void barThirtyOneShot();

  using BarOperation = void (Window1::*)();
  struct BarRow {
    std::string_view name;
    BarOperation operation;
  };
  // The bar operations in the window's method-table order.
  static const std::array<BarRow, 45>& BarOperationTable();
  static BarOperation BarOperationNamed(std::string_view name);

 private:
  // The control of that name, or the nil-object exception.
  template <typename T>
  T& ControlNamed(std::string_view name) {
    return LookUpControl<T>(this, name);
  }
  std::shared_ptr<fw::MenuItem> MenuItemNamed(std::string_view name);

  void SetPlayingState();
  void SetIdleState();
  void ShowFarewellMessage();
  void FinishingSequence();
  void PlayBarNumber(int barNumber, bool oneShotVariants);
  void PlayEachOnceShuffled(fw::IntegerList& remainingBars, bool oneShotVariants);
};

namespace accessors {
// The main window, created on first use.
std::shared_ptr<::Window1> Window1();
}  // namespace accessors

void MakeDefaultView();
