#include "platform/hostlist/wee_app_controller.h"

BBWeeAppController::~BBWeeAppController() = default;
