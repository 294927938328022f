#include "widget/controller/tessary_controller.h"

void TessaryController::keyboardWillShow(const NSNotification&) {}

void TessaryController::keyboardWillHide(const NSNotification&) {}
