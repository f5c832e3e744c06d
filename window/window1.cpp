#include "window/window1.h"

#include <string>

#include "app/menu_bar1.h"
#include "framework/core/tarnwick.h"

using namespace std::string_literals;

void Window1::Layout() {
  MenuBar(accessors::MenuBar1());
  Tarnwick::SetProperties(*this, {{"Placement", 0},
                                  {"Width", 300},
                                  {"Height", 300},
                                  {"MinWidth", 64},
                                  {"MinHeight", 64},
                                  {"MaxWidth", 32000},
                                  {"MaxHeight", 32000},
                                  {"Frame", 9},
                                  {"Composite", true},
                                  {"HasBackColor", false},
                                  {"BackColor", fw::Color{255, 255, 255}},
                                  {"Title", "Velumbra 17"s},
                                  {"Visible", true},
                                  {"FullScreen", false},
                                  {"MenuBarVisible", true},
                                  {"CloseButton", false},
                                  {"Resizeable", false},
                                  {"LiveResize", false},
                                  {"MaximizeButton", false},
                                  {"MinimizeButton", false},
                                  {"BalloonHelp", ""s},
                                  {"MacProcId", 0}});
}

void Window1::CreateControls() { CreateControls0(); }

void Window1::AddMenuHandlers(fw::Window& window) {
  // The only menu handler belongs to the application object.
  (void)fw::RuntimeCheckCast<Window1>(&window);
}

namespace accessors {
std::shared_ptr<::Window1> Window1() {
  auto window = Tarnwick::GetImplicitWindow("Window1.Window1");
  if (!window) {
    auto created = std::make_shared<::Window1>();
    created->Construct();
    window = created;
  }
  return fw::RuntimeCheckCast<::Window1>(window);
}
}  // namespace accessors

void MakeDefaultView() { accessors::Window1(); }

const std::array<Window1::BarRow, 45>& Window1::BarOperationTable() {
  static const std::array<BarRow, 45> table{{
      {"barOne", &Window1::barOne},
      {"barEight", &Window1::barEight},
      {"barEighteen", &Window1::barEighteen},
      {"barEleven", &Window1::barEleven},
      {"barFifteen", &Window1::barFifteen},
      {"barFive", &Window1::barFive},
      {"barFour", &Window1::barFour},
      {"barFourteen", &Window1::barFourteen},
      {"barNine", &Window1::barNine},
      {"barNineteen", &Window1::barNineteen},
      {"barSeven", &Window1::barSeven},
      {"barSeventeen", &Window1::barSeventeen},
      {"barSix", &Window1::barSix},
      {"barSixteen", &Window1::barSixteen},
      {"barTen", &Window1::barTen},
      {"barThirteen", &Window1::barThirteen},
      {"barThirty", &Window1::barThirty},
      {"barThirtyFive", &Window1::barThirtyFive},
      {"barThirtyFour", &Window1::barThirtyFour},
      {"barThirtyOne", &Window1::barThirtyOne},
      {"barThirtyThree", &Window1::barThirtyThree},
      {"barThirtyTwo", &Window1::barThirtyTwo},
      {"barThree", &Window1::barThree},
      {"barTwelve", &Window1::barTwelve},
      {"barTwenty", &Window1::barTwenty},
      {"barTwentyEight", &Window1::barTwentyEight},
      {"barTwentyFive", &Window1::barTwentyFive},
      {"barTwentyFour", &Window1::barTwentyFour},
      {"barTwentyNine", &Window1::barTwentyNine},
      {"barTwentyOne", &Window1::barTwentyOne},
      {"barTwentySeven", &Window1::barTwentySeven},
      {"barTwentySix", &Window1::barTwentySix},
      {"barTwentyThree", &Window1::barTwentyThree},
      {"barTwentyTwo", &Window1::barTwentyTwo},
      {"barTwo", &Window1::barTwo},
      {"barThirtySix", &Window1::barThirtySix},
      {"barThirtySeven", &Window1::barThirtySeven},
      {"barThirtyEight", &Window1::barThirtyEight},
      {"barThirtyFourOneShot", &Window1::barThirtyFourOneShot},
      {"barTwentyEightOneShot", &Window1::barTwentyEightOneShot},
      {"barTwentyNineOneShot", &Window1::barTwentyNineOneShot},
      {"barThirtyOneOneShot", &Window1::barThirtyOneOneShot},
      {"barThirtyTwoOneShot", &Window1::barThirtyTwoOneShot},
      {"barThirtyThreeOneShot", &Window1::barThirtyThreeOneShot},
      {"barThirtyOneShot", &Window1::barThirtyOneShot},
  }};
  return table;
}

Window1::BarOperation Window1::BarOperationNamed(std::string_view name) {
  for (const BarRow& row : BarOperationTable()) {
    if (row.name == name) return row.operation;
  }
  return nullptr;
}
