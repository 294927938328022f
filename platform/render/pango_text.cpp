#include "platform/render/pango_text.h"

#include <cmath>
#include <list>
#include <map>
#include <tuple>
#include <unordered_map>

#include "platform/render/text_measure_pango.h"
#include "platform/uikit/ui_label.h"

namespace {

// Pango lays text out in 1/1024 px in an int; below this product of bytes and points no line
// can come near overflowing it, even at several ems per byte.
constexpr double kMaxBytesTimesPoints = 200'000;
constexpr double kMaxPoints = 1000;
constexpr size_t kMaxCachedFonts = 64;
// Enough for every text on a screen, twice over, so a frame lays out only what changed.
constexpr size_t kMaxCachedLayouts = 512;

struct FontKey {
  std::string family;
  int pangoSize;
  bool bold;
  bool operator<(const FontKey& other) const {
    return std::tie(family, pangoSize, bold) < std::tie(other.family, other.pangoSize, other.bold);
  }
};

// Everything that decides a layout's lines: the same key gives the same glyphs.
struct LayoutKey {
  std::string text;
  FontKey font;
  int width;  // pango units, -1 without a limit
  bool wraps;
  bool ellipsis;
  int alignment;
  bool operator==(const LayoutKey& other) const {
    return std::tie(text, font.family, font.pangoSize, font.bold, width, wraps, ellipsis,
                    alignment) == std::tie(other.text, other.font.family, other.font.pangoSize,
                                           other.font.bold, other.width, other.wraps,
                                           other.ellipsis, other.alignment);
  }
};

struct LayoutKeyHash {
  size_t operator()(const LayoutKey& key) const {
    size_t h = std::hash<std::string>()(key.text);
    for (const size_t part :
         {std::hash<std::string>()(key.font.family), static_cast<size_t>(key.font.pangoSize),
          static_cast<size_t>(key.width),
          static_cast<size_t>(key.wraps) | static_cast<size_t>(key.ellipsis) << 1 |
              static_cast<size_t>(key.alignment) << 2 | static_cast<size_t>(key.font.bold) << 8}) {
      h ^= part + 0x9e3779b97f4a7c15 + (h << 6) + (h >> 2);
    }
    return h;
  }
};

// One context for the process, and the layouts of the texts set lately: pango keeps a
// layout's lines until its text or attributes change, so a text drawn again in the same font,
// width and alignment costs no layout at all. The least recently used layout goes first.
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

  // The layout holding the text, or null.
  PangoLayout* layout(const std::string& text, const UIFont& font, double width, bool wraps,
                      bool ellipsis, NSTextAlignment alignment) {
    const PangoFontDescription* description = descriptionFor(font);
    if (!description) return nullptr;
    const bool limited = width > 0 && std::isfinite(width) && width < 1e6;
    LayoutKey key{text,  fontKey(font),       limited ? static_cast<int>(width * PANGO_SCALE) : -1,
                  wraps, limited && ellipsis, static_cast<int>(alignment)};
    if (const auto found = layouts_.find(key); found != layouts_.end()) {
      recent_.splice(recent_.begin(), recent_, found->second.use);
      return found->second.layout;
    }
    if (layouts_.size() >= kMaxCachedLayouts) {
      const auto oldest = layouts_.find(*recent_.back());
      g_object_unref(oldest->second.layout);
      layouts_.erase(oldest);
      recent_.pop_back();
    }
    PangoLayout* layout = pango_layout_new(context_);
    pango_layout_set_font_description(layout, description);
    pango_layout_set_single_paragraph_mode(layout, !wraps);
    if (limited) {
      pango_layout_set_width(layout, key.width);
      pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
      pango_layout_set_ellipsize(layout,
                                 !wraps && ellipsis ? PANGO_ELLIPSIZE_END : PANGO_ELLIPSIZE_NONE);
    }
    switch (alignment) {
      case NSTextAlignmentCenter:
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        break;
      case NSTextAlignmentRight:
        pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
        break;
      default:
        pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
        break;
    }
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    const auto [entry, added] = layouts_.emplace(std::move(key), Entry{layout, {}});
    recent_.push_front(&entry->first);
    entry->second.use = recent_.begin();
    return layout;
  }

  // False when pango could not measure.
  bool measure(const std::string& text, const UIFont& font, CGSize& out) {
    PangoLayout* layout = this->layout(text, font, 0, false, false, NSTextAlignmentLeft);
    if (!layout) return false;
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    if (logical.width < 0 || logical.height <= 0) return false;
    out = {static_cast<CGFloat>(std::ceil(logical.width / double(PANGO_SCALE))),
           static_cast<CGFloat>(std::ceil(logical.height / double(PANGO_SCALE)))};
    return true;
  }

 private:
  struct Entry {
    PangoLayout* layout;
    std::list<const LayoutKey*>::iterator use;
  };

  static FontKey fontKey(const UIFont& font) {
    return {font.fontName(), static_cast<int>(std::lround(font.pointSize() * PANGO_SCALE)),
            font.isBold()};
  }

  const PangoFontDescription* descriptionFor(const UIFont& font) {
    if (!context_) return nullptr;
    FontKey key = fontKey(font);
    if (const auto found = fonts_.find(key); found != fonts_.end()) return found->second;
    if (fonts_.size() >= kMaxCachedFonts) {
      for (auto& [unused, description] : fonts_) pango_font_description_free(description);
      fonts_.clear();
    }
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description,
                                      key.family.empty() ? "DejaVu Sans" : key.family.c_str());
    pango_font_description_set_weight(description,
                                      key.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_size(description, key.pangoSize);
    fonts_.emplace(std::move(key), description);
    return description;
  }

  PangoFontMap* fontMap_ = nullptr;
  PangoContext* context_ = nullptr;
  std::map<FontKey, PangoFontDescription*> fonts_;
  std::unordered_map<LayoutKey, Entry, LayoutKeyHash> layouts_;
  std::list<const LayoutKey*> recent_;  // most recently used first
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
                        bool ellipsis, NSTextAlignment alignment) {
  if (!layable(text, font)) return nullptr;
  return measurer().layout(validUTF8(text), font, width, wraps, ellipsis, alignment);
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
