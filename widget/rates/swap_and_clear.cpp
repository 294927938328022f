#include "widget/controller/flags.h"
#include "widget/controller/tessary_controller.h"
#include "widget/util/perform_block_after_delay.h"

namespace {
bool eitherHoldsText(const std::weak_ptr<UITextField>& a, const std::weak_ptr<UITextField>& b) {
  const auto first = a.lock();
  const auto second = b.lock();
  return (first && !first->text().empty()) || (second && !second->text().empty());
}
}  // namespace

void TessaryController::swapCodes() {
  const auto leftCode = leftButton.lock();
  const auto rightCode = rightButton.lock();
  const std::string formerRight = rightCode ? rightCode->titleLabel()->text() : std::string();
  const std::string formerLeft = leftCode ? leftCode->titleLabel()->text() : std::string();
  if (leftCode) leftCode->setTitleForState(formerRight, UIControlStateNormal);
  if (rightCode) rightCode->setTitleForState(formerLeft, UIControlStateNormal);
}

void TessaryController::swapDetails() {
  if (!detailMode) return;
  const auto leftName = leftDetail.lock();
  const auto rightName = rightDetail.lock();
  if (!leftName || !rightName) return;
  const std::string formerLeft = leftName->text();
  leftName->setText(rightName->text());
  rightName->setText(formerLeft);
}

void TessaryController::shuffleBut() {
  if (const auto button = shuffle.lock()) button->setHighlighted(true);
  swapCodes();
  swapDetails();
  if (eitherHoldsText(leftField, rightField)) load();
  performBlockAfterDelay(
      self(),
      [controller = self()] {
        if (const auto button = controller->shuffle.lock()) button->setHighlighted(false);
      },
      0.05);
}

void TessaryController::shuffleRates() {
  swapDetails();
  swapCodes();
  if (eitherHoldsText(leftField, rightField)) load();
}

void TessaryController::clearFields() {
  if (const auto button = clear.lock()) button->setHighlighted(true);
  if (eitherHoldsText(leftField, rightField)) {
    if (const auto field = leftField.lock()) field->setText("");
    if (const auto field = rightField.lock()) field->setText("");
  }
  performBlockAfterDelay(
      self(),
      [controller = self()] {
        if (const auto button = controller->clear.lock()) button->setHighlighted(false);
      },
      0.05);
}
