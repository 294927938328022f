#include "platform/render/pango_text.h"

#include <cmath>
#include <map>
#include <tuple>

#include "platform/render/text_measure_pango.h"
#include "platform/uikit/ui_label.h"

namespace {

// Pango lays text out in 1/1024 px in an int; below this product of bytes and points no line
// can come near overflowing it, even at several ems per byte.
constexpr double kMaxBytesTimesPoints = 200'000;
constexpr double kMaxPoints = 1000;
constexpr size_t kMaxCachedFonts = 64;

struct FontKey {
  std::string family;
  int pangoSize;
  bool bold;
  bool operator<(const FontKey& other) const {
    return std::tie(family, pangoSize, bold) < std::tie(other.family, other.pangoSize, other.bold);
  }
};

// One context for the process and one layout per font, so that a repeated measurement only
// sets the text and reads the extents.
class PangoMeasurer {
 public:
  PangoMeasurer() {
    fontMap_ = pango_cairo_font_map_new();
    if (!fontMap_) return;
    context_ = pango_font_map_create_context(fontMap_);
    if (!context_) return;
    pango_cairo_context_set_resolution(context_, 72.0);
    // Whole-pixel advances, as cairo's image surfaces use, so drawn text fits the size.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    // Fixed, so that drawing does not follow the machine's font settings.
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
  }
  PangoMeasurer(const PangoMeasurer&) = delete;
  PangoMeasurer& operator=(const PangoMeasurer&) = delete;

  // The font's layout holding the text, or null.
  PangoLayout* layout(const std::string& text, const UIFont& font, double width, bool wraps,
                      bool ellipsis) {
    PangoLayout* layout = layoutFor(font);
    if (!layout) return nullptr;
    pango_layout_set_single_paragraph_mode(layout, !wraps);
    if (width > 0 && std::isfinite(width) && width < 1e6) {
      pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
      pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
      pango_layout_set_ellipsize(layout,
                                 !wraps && ellipsis ? PANGO_ELLIPSIZE_END : PANGO_ELLIPSIZE_NONE);
    } else {
      pango_layout_set_width(layout, -1);
      pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
    }
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    return layout;
  }

  // False when pango could not measure.
  bool measure(const std::string& text, const UIFont& font, CGSize& out) {
    PangoLayout* layout = this->layout(text, font, 0, false, false);
    if (!layout) return false;
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    if (logical.width < 0 || logical.height <= 0) return false;
    out = {static_cast<CGFloat>(std::ceil(logical.width / double(PANGO_SCALE))),
           static_cast<CGFloat>(std::ceil(logical.height / double(PANGO_SCALE)))};
    return true;
  }

 private:
  PangoLayout* layoutFor(const UIFont& font) {
    if (!context_) return nullptr;
    FontKey key{font.fontName(), static_cast<int>(std::lround(font.pointSize() * PANGO_SCALE)),
                font.isBold()};
    if (const auto found = layouts_.find(key); found != layouts_.end()) return found->second;
    if (layouts_.size() >= kMaxCachedFonts) clear();

    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description,
                                      key.family.empty() ? "DejaVu Sans" : key.family.c_str());
    pango_font_description_set_weight(description,
                                      key.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_size(description, key.pangoSize);
    PangoLayout* layout = pango_layout_new(context_);
    pango_layout_set_font_description(layout, description);
    pango_font_description_free(description);
    pango_layout_set_single_paragraph_mode(layout, TRUE);
    layouts_.emplace(std::move(key), layout);
    return layout;
  }

  void clear() {
    for (auto& [key, layout] : layouts_) g_object_unref(layout);
    layouts_.clear();
  }

  PangoFontMap* fontMap_ = nullptr;
  PangoContext* context_ = nullptr;
  std::map<FontKey, PangoLayout*> layouts_;
};

PangoMeasurer& measurer() {
  // Kept for the life of the process, so text can be measured while other statics go away.
  static PangoMeasurer* instance = new PangoMeasurer;
  return *instance;
}

}  // namespace

namespace render {

std::string validUTF8(const std::string& text) {
  if (g_utf8_validate_len(text.data(), text.size(), nullptr)) return text;
  std::string withoutNul;
  withoutNul.reserve(text.size());
  for (char c : text) {
    if (c == '\0')
      withoutNul += "\xEF\xBF\xBD";
    else
      withoutNul += c;
  }
  gchar* repaired = g_utf8_make_valid(withoutNul.data(), static_cast<gssize>(withoutNul.size()));
  std::string result(repaired);
  g_free(repaired);
  return result;
}

bool layable(const std::string& text, const UIFont& font) {
  const double points = font.pointSize();
  return std::isfinite(points) && points > 0 && points <= kMaxPoints &&
         static_cast<double>(text.size()) * points <= kMaxBytesTimesPoints;
}

PangoLayout* textLayout(const std::string& text, const UIFont& font, double width, bool wraps,
                        bool ellipsis) {
  if (!layable(text, font)) return nullptr;
  return measurer().layout(validUTF8(text), font, width, wraps, ellipsis);
}

}  // namespace render

CGSize pangoMeasureText(const std::string& text, const UIFont& font) {
  const double points = font.pointSize();
  if (!std::isfinite(points) || points <= 0) return CGSize{0, 0};
  if (!render::layable(text, font)) return estimateTextSize(text, font);
  CGSize size;
  if (!measurer().measure(render::validUTF8(text), font, size)) {
    return estimateTextSize(text, font);
  }
  return size;
}

void installPangoTextMeasurer() {
  setTextMeasurer(&pangoMeasureText);
}
