#pragma once

#include <memory>
#include <string>

#include "widget/controller/tessary_controller.h"

// The two sides as the flag `left` and the currency buttons show them at this moment.
struct TessaryController::Sides {
  std::shared_ptr<UITextField> leftField, rightField;
  std::shared_ptr<UITextField> source, target;
  std::string leftCode, rightCode;
  std::string sourceCode, targetCode;
};
