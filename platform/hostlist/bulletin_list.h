#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/values.h"
#include "platform/uikit/ui_table_view.h"

// What the widget reaches of the host's notification list. A host implements these and
// registers its controller under "SBBulletinListController"; without one, every lookup finds
// nothing and the widget leaves the list alone.
class TESSARY_EXPORT SBBulletinListView : public NSObject {
 public:
  // The view the list slides over; overlays are laid on it.
  virtual std::shared_ptr<UIView> slidingView() const = 0;
  virtual std::shared_ptr<UITableView> tableView() const = 0;
};

class TESSARY_EXPORT SBBulletinListController : public NSObject {
 public:
  virtual std::shared_ptr<SBBulletinListView> listView() const = 0;
};

// The class registry: classes found by name at run time, each with its class method
// sharedInstance.
class TESSARY_EXPORT NSClassRegistry {
 public:
  using SharedInstance = std::function<std::shared_ptr<NSObject>()>;
  static void registerClass(const std::string& name, SharedInstance sharedInstance);
  static void unregisterClass(const std::string& name);
  static void unregisterAll();
  // Null when no class has that name.
  static const SharedInstance* lookUp(const std::string& name);
};

// The host's list controller as the widget reaches it afresh at each use: the class named
// "SBBulletinListController", then its shared instance; null when either is missing.
TESSARY_EXPORT std::shared_ptr<SBBulletinListController> sharedBulletinListController();
