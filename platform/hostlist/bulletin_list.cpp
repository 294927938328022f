#include "platform/hostlist/bulletin_list.h"

#include <map>

namespace {
std::map<std::string, NSClassRegistry::SharedInstance>& classes() {
  static std::map<std::string, NSClassRegistry::SharedInstance> registry;
  return registry;
}
}  // namespace

void NSClassRegistry::registerClass(const std::string& name, SharedInstance sharedInstance) {
  classes()[name] = std::move(sharedInstance);
}

void NSClassRegistry::unregisterClass(const std::string& name) {
  classes().erase(name);
}

void NSClassRegistry::unregisterAll() {
  classes().clear();
}

const NSClassRegistry::SharedInstance* NSClassRegistry::lookUp(const std::string& name) {
  const auto found = classes().find(name);
  return found == classes().end() || !found->second ? nullptr : &found->second;
}

std::shared_ptr<SBBulletinListController> sharedBulletinListController() {
  const auto* sharedInstance = NSClassRegistry::lookUp("SBBulletinListController");
  if (!sharedInstance) return nullptr;
  return std::dynamic_pointer_cast<SBBulletinListController>((*sharedInstance)());
}
