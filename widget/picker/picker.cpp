#include "widget/controller/tessary_controller.h"

void TessaryController::tapLeft(UITapGestureRecognizer&) {}

void TessaryController::tapRight(UITapGestureRecognizer&) {}
