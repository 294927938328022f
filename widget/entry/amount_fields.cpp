#include "widget/controller/flags.h"
#include "widget/controller/tessary_controller.h"
#include "widget/entry/amount_text.h"

BOOL TessaryController::textFieldShouldChangeCharactersInRangeReplacementString(
    UITextField& field, NSRange, const std::string& text) {
  // Even a refused change makes this field the source side. Every amount character is ASCII,
  // so checking the UTF-8 bytes checks every UTF-16 code unit.
  left = &field == leftField.lock().get() ? YES : NO;
  return isAmountText(text) ? YES : NO;
}

void TessaryController::textFieldDidBeginEditing(UITextField& field) {
  editing = YES;
  if (!bar) buildBar();
  sizeBar();
  field.setInputAccessoryView(bar);
  left = &field == leftField.lock().get() ? YES : NO;
}

void TessaryController::textFieldDidEndEditing(UITextField&) {
  editing = NO;
}

void TessaryController::stopEditing() {
  if (const auto field = (left ? leftField : rightField).lock()) field->resignFirstResponder();
}

void TessaryController::next() {
  if (const auto field = (left ? rightField : leftField).lock()) field->becomeFirstResponder();
}
