#include "platform/hostlist/wee_app_controller.h"
#include "widget/controller/tessary_controller.h"

// The bundle's one factory; its name is the Info.plist value under TessaryFactorySymbol.
extern "C" TESSARY_EXPORT void TessaryControllerCreate(std::shared_ptr<BBWeeAppController>* out) {
  if (out) *out = TessaryController::create();
}
