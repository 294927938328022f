#pragma once

#include <memory>
#include <string>

#include "platform/foundation/notification_center.h"
#include "platform/foundation/url_connection.h"
#include "platform/foundation/values.h"
#include "platform/hostlist/wee_app_controller.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_callout_view.h"
#include "platform/uikit/ui_gesture_recognizer.h"
#include "platform/uikit/ui_image.h"
#include "platform/uikit/ui_label.h"
#include "platform/uikit/ui_scroll_view.h"
#include "platform/uikit/ui_text_field.h"
#include "platform/uikit/ui_toolbar.h"
#include "platform/uikit/ui_view.h"

// The widget's one class, driven by the host. Its methods are defined in the folder of their
// subsystem: controller/, rates/, entry/, picker/ and util/.
//
// Host calls and when they are legal: viewHeight at any time; loadPlaceholderView before
// loadFullView; loadFullView once the view sits in its cell; unloadView after either;
// the rotation calls at any time.
class TessaryController : public NSObject,
                          public BBWeeAppController,
                          public NSURLConnectionDelegate,
                          public UITextFieldDelegate {
 public:
  static std::shared_ptr<TessaryController> create();
  explicit TessaryController(PassKey<TessaryController>) {}
  ~TessaryController() override;

  std::shared_ptr<TessaryController> self() {
    return std::static_pointer_cast<TessaryController>(shared_from_this());
  }

  // BBWeeAppController
  std::shared_ptr<UIView> view() override { return _view; }
  float viewHeight() override;
  void loadPlaceholderView() override;
  void loadFullView() override;
  void unloadView() override;
  void willRotateToInterfaceOrientation(int orientation) override;
  void didRotateFromInterfaceOrientation(int orientation) override;

  // Keyboard avoidance, registered while the full view exists.
  void keyboardWillShow(const NSNotification& notification);
  void keyboardWillHide(const NSNotification& notification);

  // UITextFieldDelegate: only amount characters may be typed; the edited field is the source.
  BOOL textFieldShouldChangeCharactersInRangeReplacementString(UITextField& field, NSRange range,
                                                               const std::string& text) override;
  void textFieldDidBeginEditing(UITextField& field) override;
  void textFieldDidEndEditing(UITextField& field) override;
  // The keyboard bar's actions.
  void next();
  void stopEditing();
  void controlChanged(UIControl& sender);

  // The currency buttons' recognizers open the picker.
  void tapLeft(UITapGestureRecognizer& recognizer);
  void tapRight(UITapGestureRecognizer& recognizer);
  // Shows the overlay when none is shown, prepares the bubble and builds a fresh row of codes.
  void alloc();
  // A code button of the row: the side under the bubble takes its code.
  void changed(UIControl& sender);
  // Closes the picker: the row and bubble at once, the overlay over a fade.
  void hide();
  // Takes away the row and the bubble.
  void dismiss();

  // Conversion: the source side's amount into the target side, from the store or by a
  // download.
  void load();
  // Forces a new download of the source-target rate.
  void reloadRate();
  // Swap the two currencies and convert again; the button's version highlights briefly.
  void shuffleBut();
  void shuffleRates();
  // Empties both amounts.
  void clearFields();

  // NSURLConnectionDelegate
  void connectionDidReceiveResponse(NSURLConnection& connection,
                                    const NSHTTPURLResponse& response) override;
  void connectionDidReceiveData(NSURLConnection& connection, const NSData& data) override;
  void connectionDidFinishLoading(NSURLConnection& connection) override;
  void connectionDidFailWithError(NSURLConnection& connection, const NSError& error) override;

  // Owned views; the controller drops them at unload.
  std::shared_ptr<UIView> _view;
  std::shared_ptr<UIImageView> _backgroundView;
  std::shared_ptr<UIControl> dim;
  std::shared_ptr<UIToolbar> bar;
  std::shared_ptr<UIScrollView> mini;

  // Views owned by the view tree.
  std::weak_ptr<UIView> sub;
  std::weak_ptr<UITextField> leftField, rightField;
  std::weak_ptr<UILabel> leftDetail, rightDetail, eq;
  std::weak_ptr<UIButton> refresh, shuffle, rightButton, leftButton, clear;
  // The platform's shared bubble while the picker shows it.
  std::weak_ptr<UICalloutView> callout;

  std::shared_ptr<NSString> returnString;
  int32_t decimalPlaces = 0;

 private:
  struct Sides;
  Sides sides() const;
  // Starts the quote request for the ordered pair (first, second).
  void startRequest(const std::string& first, const std::string& second, double timeout);
  void failRequest(NSURLConnection& connection, const std::string& description);
  // The stored rate of any age for the pair the sides show, inverted when it is the reverse
  // key's; not usable when none is stored.
  float fallbackRate(const Sides& s) const;
  void showErrorAlert(const std::string& description);
  // Sets "leftText" and "rightText" of the recents to the amounts shown beside the codes that
  // "left" and "right" record.
  void saveAmounts(NSMutableDictionary& recent) const;
  void swapCodes();
  void swapDetails();
  void buildBar();
  void sizeBar();
  void alignOverlay();
  void openPicker(bool leftSide);
  // Anchors the bubble at the side's button, above it when it fits there, and puts the row
  // with it. An opening adds the row as a line of width 0; a later placement (keyboard
  // alignment) keeps the row's x and width.
  void placePicker(bool leftSide, bool opening);
  // Widens the bubble and grows the row to its width, at the button where it is now.
  void expandPicker();
  // After a rotation: an expanded row that reaches past the overlay is brought back within it.
  void keepRowReachable();
  // Widens the bubble's boundary around a row that was moved to stay within the overlay.
  void holdRowInBubble(CGRect row);
  // The x in the overlay that parts the two sides: the bubble's anchor lies left of it while
  // the picker is open on the left.
  CGFloat sideMidpoint() const;
  // The overlay's rectangle narrowed so that the bubble at its anchor holds the row.
  CGRect bubbleBoundary(CGRect overlay) const;
  std::shared_ptr<UIButton> makeImageButton(const char* image, void (TessaryController::*action)());
};

// The text a converted amount shows: the amount text read with every "," as ".", times the
// rate in single precision, with `decimalPlaces` fraction digits.
std::string convertedAmountText(const std::string& amountText, float rate, int decimalPlaces);
