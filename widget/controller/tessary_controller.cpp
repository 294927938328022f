#include "widget/controller/tessary_controller.h"

std::shared_ptr<TessaryController> TessaryController::create() {
  return construct<TessaryController>();
}

TessaryController::~TessaryController() = default;
