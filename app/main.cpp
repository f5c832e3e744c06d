#include "app/startup.h"
#include "framework/qt/runtime_init.h"

int main() {
  RuntimeInit();
  Main();
  return RuntimeExit();
}
