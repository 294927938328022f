#pragma once

#include <memory>

#include "platform/foundation/objc.h"
#include "platform/uikit/ui_view.h"

// The host's widget protocol. `view` is required; the host calls the others in this order:
// viewHeight and loadPlaceholderView, then places the view in its cell and calls
// loadFullView; unloadView when the list goes away; the rotation calls whenever the
// interface turns.
class TESSARY_EXPORT BBWeeAppController {
 public:
  virtual ~BBWeeAppController();
  virtual std::shared_ptr<UIView> view() = 0;
  virtual float viewHeight() { return 0.0f; }
  virtual void loadPlaceholderView() {}
  virtual void loadFullView() {}
  virtual void unloadView() {}
  virtual void willRotateToInterfaceOrientation(int orientation) { (void)orientation; }
  virtual void didRotateFromInterfaceOrientation(int orientation) { (void)orientation; }
};

// The one C symbol a widget bundle exports to make its controller; its name is the bundle's
// Info.plist value under kWeeAppFactoryKey. It stores a new controller in `out`.
using WeeAppFactory = void (*)(std::shared_ptr<BBWeeAppController>* out);
inline constexpr const char* kWeeAppFactoryKey = "TessaryFactorySymbol";
inline constexpr const char* kWeeAppPrincipalClassKey = "NSPrincipalClass";
