#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/render/surface.h"
#include "platform/uikit/png_header.h"
#include "platform/uikit/ui_image.h"
#include "tests/support/test_environment.h"

namespace tessary::test {
namespace {

using render::RGBA;
using render::Surface;

using Painting = PlatformTest;

const RGBA kRed{255, 0, 0, 255};
const RGBA kBlue{0, 0, 255, 255};
const RGBA kClear{0, 0, 0, 0};

TEST_F(Painting, PointsArePixelsTimesTheScaleAndClipsAndLayersNest) {
  Surface surface(40, 40);
  surface.paint(2, [](Painter& p) {
    p.fillRect(CGRectMake(0, 0, 5, 5), *UIColor::colorWithRedGreenBlueAlpha(1, 0, 0, 1));
    p.save();
    p.translate(10, 10);
    p.clipRect(CGRectMake(0, 0, 5, 5));
    p.fillRect(CGRectMake(0, 0, 20, 20), *UIColor::colorWithRedGreenBlueAlpha(0, 0, 1, 1));
    p.restore();
    // Half-transparent as one picture: the overlap inside is not darker.
    p.beginLayer(0.5f);
    p.fillRect(CGRectMake(0, 15, 5, 5), *UIColor::blackColor());
    p.fillRect(CGRectMake(2, 15, 5, 5), *UIColor::blackColor());
    p.endLayer();
  });
  EXPECT_EQ(surface.pixel(9, 9), kRed);
  EXPECT_EQ(surface.pixel(10, 10), kClear);
  EXPECT_EQ(surface.pixel(20, 20), kBlue);
  EXPECT_EQ(surface.pixel(29, 29), kBlue);
  EXPECT_EQ(surface.pixel(30, 30), kClear);  // clipped
  EXPECT_EQ(surface.pixel(35, 5), kClear);   // the restore ended the translation's clip
  EXPECT_EQ(surface.pixel(1, 31).a, surface.pixel(6, 31).a);
  EXPECT_NEAR(surface.pixel(6, 31).a, 128, 1);
  // A layer that is never begun ends as nothing; odd numbers do not crash.
  surface.paint(1, [](Painter& p) {
    p.endLayer();
    p.fillRect(CGRectMake(0, 0, std::nanf(""), 3), *UIColor::whiteColor());
    p.drawText("x", CGRectMake(0, 0, std::numeric_limits<float>::infinity(), 3), TextStyle{});
  });
}

// Rounded shapes are put down from kept pictures; they must cover what drawing their path
// directly covers, at whole and part-pixel places, under a clip and inside a layer, and a
// shape must never be taken for one of another size, place or colour.
TEST_F(Painting, KeptShapesCoverWhatTheirPathsCover) {
  struct Shape {
    CGRect rect;
    CGFloat radius;
    int kind;  // 0 fill, 1 stroke, 2 gradient
  };
  const std::vector<Shape> shapes = {
      {CGRectMake(1, 1, 30, 12), 5, 0},        {CGRectMake(1.5f, 1.5f, 29, 11), 5, 1},
      {CGRectMake(2, 2, 28, 4), 2, 2},         {CGRectMake(0.25f, 16.5f, 30, 12), 5, 0},
      {CGRectMake(0.75f, 16.5f, 20, 9), 4, 1}, {CGRectMake(3, 17, 25, 6), 3, 2},
  };
  const CGPoint places[] = {{0, 0}, {40.125f, 0.25f}, {0, 0}, {81.25f, 10.25f}};
  const auto painted = [&](Painter& p) {
    for (int round = 0; round < 2; ++round) {  // the second round finds every picture kept
      for (const CGPoint place : places) {
        p.save();
        p.clipRect(CGRectMake(std::floor(place.x), 40 * round, place.x > 80 ? 18 : 40, 40));
        p.translate(place.x, place.y + 40 * round);
        if (place.x > 80) p.beginLayer(0.5f);
        for (const Shape& s : shapes) {
          const auto colour = UIColor::colorWithRedGreenBlueAlpha(0.8f, 0.2f * s.kind, 0.1f, 1);
          if (s.kind == 0) p.fillRoundedRect(s.rect, s.radius, *colour);
          if (s.kind == 1) p.strokeRoundedRect(s.rect, s.radius, 1, *colour);
          if (s.kind == 2)
            p.fillRoundedRectGradient(s.rect, s.radius, *colour,
                                      *UIColor::colorWithWhiteAlpha(0, 0));
        }
        if (place.x > 80) p.endLayer();
        p.restore();
      }
    }
  };
  Surface kept(260, 180);
  kept.paint(2, painted);

  cairo_surface_t* direct = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 260, 180);
  cairo_t* cr = cairo_create(direct);
  cairo_scale(cr, 2, 2);
  const auto path = [&](CGRect r, double radius) {
    const double x = r.origin.x, y = r.origin.y, w = r.size.width, h = r.size.height;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
  };
  for (int round = 0; round < 2; ++round) {
    for (const CGPoint place : places) {
      cairo_save(cr);
      cairo_rectangle(cr, std::floor(place.x), 40 * round, place.x > 80 ? 18 : 40, 40);
      cairo_clip(cr);
      cairo_translate(cr, place.x, place.y + 40 * round);
      if (place.x > 80) cairo_push_group(cr);
      for (const Shape& s : shapes) {
        const double g = 0.2 * s.kind;
        cairo_pattern_t* gradient = cairo_pattern_create_linear(
            0, s.rect.origin.y, 0, s.rect.origin.y + s.rect.size.height);
        cairo_pattern_add_color_stop_rgba(gradient, 0, 0.8f, static_cast<float>(g), 0.1f, 1);
        cairo_pattern_add_color_stop_rgba(gradient, 1, 0, 0, 0, 0);
        if (s.kind == 2) {
          cairo_set_source(cr, gradient);
        } else {
          cairo_set_source_rgba(cr, 0.8f, static_cast<float>(g), 0.1f, 1);
        }
        path(s.rect, s.radius);
        cairo_set_line_width(cr, 1);
        s.kind == 1 ? cairo_stroke(cr) : cairo_fill(cr);
        cairo_pattern_destroy(gradient);
      }
      if (place.x > 80) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, 0.5f);
      }
      cairo_restore(cr);
    }
  }
  cairo_destroy(cr);
  cairo_surface_flush(direct);
  long differing = 0;
  const unsigned char* ours = kept.data();
  const unsigned char* theirs = cairo_image_surface_get_data(direct);
  const int stride = cairo_image_surface_get_stride(direct);
  ASSERT_EQ(stride, kept.stride());
  int worst = 0;
  for (int i = 0; i < stride * 180; ++i) {
    const int d = std::abs(int(ours[i]) - int(theirs[i]));
    worst = std::max(worst, d);
    if (d > 1) ++differing;
  }
  cairo_surface_destroy(direct);
  EXPECT_EQ(differing, 0) << "worst channel difference " << worst;
}

TEST_F(Painting, StretchableImagesKeepTheirCaps) {
  // A 5x5 image: red frame one pixel wide around a blue middle.
  Surface source(5, 5);
  source.fill(kRed);
  source.paint(1, [](Painter& p) {
    p.fillRect(CGRectMake(1, 1, 3, 3), *UIColor::colorWithRedGreenBlueAlpha(0, 0, 1, 1));
  });
  const std::string path = "/System/Library/WeeAppPlugins/Test.bundle/Frame.png";
  std::filesystem::create_directories(std::filesystem::path(root_.host(path)).parent_path());
  ASSERT_EQ(source.writePNG(root_.host(path)), "");
  const auto image = UIImage::imageWithContentsOfFile(path);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->size(), CGSizeMake(5, 5));

  // Caps of two: the frame stays one pixel wide at any size; only the middle column stretches.
  Surface stretched(40, 20);
  const auto capped = image->stretchableImageWithLeftCapWidthTopCapHeight(2, 2);
  stretched.paint(1, [&](Painter& p) { p.drawImage(*capped, CGRectMake(0, 0, 40, 20)); });
  EXPECT_EQ(stretched.pixel(0, 10), kRed);
  EXPECT_EQ(stretched.pixel(39, 10), kRed);
  EXPECT_EQ(stretched.pixel(20, 0), kRed);
  EXPECT_EQ(stretched.pixel(20, 19), kRed);
  EXPECT_EQ(stretched.pixel(1, 10), kBlue);
  EXPECT_EQ(stretched.pixel(38, 10), kBlue);
  EXPECT_EQ(stretched.pixel(20, 10), kBlue);

  // Without caps the whole image scales, frame and all.
  Surface scaled(40, 20);
  scaled.paint(1, [&](Painter& p) { p.drawImage(*image, CGRectMake(0, 0, 40, 20)); });
  EXPECT_EQ(scaled.pixel(1, 10), kRed);
  EXPECT_EQ(scaled.pixel(20, 10), kBlue);

  // A file that went away or is broken draws nothing.
  root_.writeFile(path, "not a png");
  Surface broken(10, 10);
  broken.paint(1, [&](Painter& p) { p.drawImage(*image, CGRectMake(0, 0, 10, 10)); });
  EXPECT_EQ(broken.pixel(5, 5), kClear);
}

TEST_F(Painting, ImagesAreReadBeneathTheRootAndRefusedPastTheLimit) {
  const std::string path = "/System/Library/WeeAppPlugins/Test.bundle/Red.png";
  std::filesystem::create_directories(std::filesystem::path(root_.host(path)).parent_path());
  const auto write = [&](int width, int height, const std::string& hostPath) {
    Surface picture(width, height);
    picture.fill(kRed);
    return picture.writePNG(hostPath);
  };
  ASSERT_EQ(write(png_header::kMaxSide, 2, root_.host(path)), "");
  const auto image = UIImage::imageWithContentsOfFile(path);
  ASSERT_NE(image, nullptr);
  const auto drawn = [&] {
    Surface target(10, 10);
    target.paint(1, [&](Painter& p) { p.drawImage(*image, CGRectMake(0, 0, 10, 10)); });
    return target.pixel(5, 5);
  };
  EXPECT_EQ(drawn(), kRed);

  // One pixel past the limit, the header alone refuses it: at load, and when a file changed
  // after loading is drawn.
  ASSERT_EQ(write(png_header::kMaxSide + 1, 2, root_.host(path)), "");
  EXPECT_EQ(UIImage::imageWithContentsOfFile(path), nullptr);
  EXPECT_EQ(drawn(), kClear);

  // A link out of the root is not followed, though a sound picture lies behind it.
  const std::string outside = root_.path() + "-outside.png";
  ASSERT_EQ(write(4, 4, outside), "");
  std::filesystem::remove(root_.host(path));
  std::filesystem::create_symlink(outside, root_.host(path));
  EXPECT_EQ(drawn(), kClear);
  std::filesystem::remove(outside);
}

TEST_F(Painting, PngRoundTripAndComparisonWithTolerance) {
  Surface a(30, 20);
  a.paint(1, [](Painter& p) {
    p.fillRoundedRect(CGRectMake(2, 2, 26, 16), 5,
                      *UIColor::colorWithRedGreenBlueAlpha(0.2f, 0.6f, 0.4f, 1));
  });
  const std::string file = root_.path() + "/a.png";
  ASSERT_EQ(a.writePNG(file), "");
  std::unique_ptr<Surface> back;
  ASSERT_EQ(Surface::readPNG(file, back), "");
  const auto same = render::compare(a, *back, 0);
  EXPECT_EQ(same.differing, 0);
  EXPECT_EQ(same.total, 600);

  Surface b(30, 20);
  b.copyFrom(a);
  b.paint(1, [](Painter& p) {
    p.fillRect(CGRectMake(10, 10, 1, 1),
               *UIColor::colorWithRedGreenBlueAlpha(0.2f, 0.6f, 0.42f, 1));
    p.fillRect(CGRectMake(0, 0, 2, 1), *UIColor::whiteColor());
  });
  const auto near = render::compare(a, b, 8);
  EXPECT_EQ(near.differing, 2);  // the white corner; the slight change is within 8
  EXPECT_EQ(near.largest, 255);
  EXPECT_EQ(render::compare(a, Surface(30, 21), 8).sizesDiffer, true);

  EXPECT_NE(Surface::readPNG(root_.path() + "/missing.png", back), "");
  root_.writeFile("/junk.png", "\x89PNG but not really");
  EXPECT_NE(Surface::readPNG(root_.path() + "/junk.png", back), "");
  EXPECT_NE(a.writePNG(root_.path() + "/no/such/folder/a.png"), "");
}

TEST_F(Painting, TextIsDrawnWhereItsAlignmentPutsItWithItsShadow) {
  // The columns that hold ink in a one-line text, drawn white on nothing.
  const auto inkColumns = [](const TextStyle& style, int& first, int& last) {
    Surface surface(200, 30);
    surface.paint(1, [&](Painter& p) { p.drawText("Tessary", CGRectMake(0, 0, 200, 30), style); });
    first = -1;
    last = -1;
    for (int x = 0; x < 200; ++x) {
      for (int y = 0; y < 30; ++y) {
        if (surface.pixel(x, y).a > 128) {
          if (first < 0) first = x;
          last = x;
        }
      }
    }
  };
  TextStyle style;
  style.font = UIFont::systemFontOfSize(17);
  style.color = UIColor::whiteColor();
  int first = 0, last = 0;
  inkColumns(style, first, last);
  EXPECT_LT(first, 5);
  const int width = last - first;
  EXPECT_GT(width, 40);
  style.alignment = NSTextAlignmentRight;
  inkColumns(style, first, last);
  EXPECT_GT(last, 193);
  style.alignment = NSTextAlignmentCenter;
  inkColumns(style, first, last);
  EXPECT_NEAR((first + last) / 2.0, 100, 3);

  // A long text in a narrow box ends in an ellipsis inside the box.
  Surface narrow(60, 30);
  TextStyle cut = style;
  cut.alignment = NSTextAlignmentLeft;
  narrow.paint(
      1, [&](Painter& p) { p.drawText("Euro Member Countries", CGRectMake(0, 0, 40, 30), cut); });
  for (int x = 41; x < 60; ++x) {
    for (int y = 0; y < 30; ++y) EXPECT_LT(narrow.pixel(x, y).a, 20) << x << "," << y;
  }

  // The shadow lies at its offset, in its colour.
  Surface shadowed(100, 40);
  TextStyle withShadow = cut;
  withShadow.color = UIColor::clearColor();
  withShadow.shadowColor = UIColor::colorWithRedGreenBlueAlpha(1, 0, 0, 1);
  withShadow.shadowOffset = CGSizeMake(0, 10);
  shadowed.paint(1, [&](Painter& p) { p.drawText("l", CGRectMake(0, 0, 100, 20), withShadow); });
  int top = -1;
  for (int y = 0; y < 40 && top < 0; ++y) {
    for (int x = 0; x < 100; ++x) {
      if (shadowed.pixel(x, y).a > 128) {
        EXPECT_EQ(shadowed.pixel(x, y).r, 255);
        top = y;
        break;
      }
    }
  }
  EXPECT_GE(top, 10);
}

}  // namespace
}  // namespace tessary::test
