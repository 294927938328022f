#include "widget/controller/tessary_controller.h"

std::shared_ptr<TessaryController> TessaryController::create() {
  return std::make_shared<TessaryController>();
}

TessaryController::~TessaryController() = default;
