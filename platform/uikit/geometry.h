#pragma once

#include <cmath>

#include "platform/foundation/objc.h"

// The platform's geometry in single precision, as on the devices the widget ran on.
using CGFloat = float;

struct CGPoint {
  CGFloat x = 0, y = 0;
  bool operator==(const CGPoint&) const = default;
};
struct CGSize {
  CGFloat width = 0, height = 0;
  bool operator==(const CGSize&) const = default;
};
struct CGRect {
  CGPoint origin;
  CGSize size;
  bool operator==(const CGRect&) const = default;
};
struct NSRange {
  NSUInteger location = 0, length = 0;
};

inline constexpr CGPoint CGPointZero{};
inline constexpr CGRect CGRectZero{};

inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
  return {{x, y}, {w, h}};
}
inline CGPoint CGPointMake(CGFloat x, CGFloat y) {
  return {x, y};
}
inline CGSize CGSizeMake(CGFloat w, CGFloat h) {
  return {w, h};
}
inline NSRange NSMakeRange(NSUInteger location, NSUInteger length) {
  return {location, length};
}
inline CGRect CGRectInset(CGRect r, CGFloat dx, CGFloat dy) {
  return CGRectMake(r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx,
                    r.size.height - 2 * dy);
}
// A rectangle without area (or with a size that is not a number) holds nothing.
inline bool CGRectIsEmpty(CGRect r) {
  return !(r.size.width > 0 && r.size.height > 0);
}
// The smallest rectangle holding both; an empty one adds nothing.
inline CGRect CGRectUnion(CGRect a, CGRect b) {
  if (CGRectIsEmpty(a)) return CGRectIsEmpty(b) ? CGRectZero : b;
  if (CGRectIsEmpty(b)) return a;
  const CGFloat x = a.origin.x < b.origin.x ? a.origin.x : b.origin.x;
  const CGFloat y = a.origin.y < b.origin.y ? a.origin.y : b.origin.y;
  const CGFloat ar = a.origin.x + a.size.width, br = b.origin.x + b.size.width;
  const CGFloat ab = a.origin.y + a.size.height, bb = b.origin.y + b.size.height;
  return CGRectMake(x, y, (ar > br ? ar : br) - x, (ab > bb ? ab : bb) - y);
}
// Whether the two share any area.
inline bool CGRectIntersectsRect(CGRect a, CGRect b) {
  if (CGRectIsEmpty(a) || CGRectIsEmpty(b)) return false;
  return a.origin.x < b.origin.x + b.size.width && b.origin.x < a.origin.x + a.size.width &&
         a.origin.y < b.origin.y + b.size.height && b.origin.y < a.origin.y + a.size.height;
}
inline bool CGRectContainsPoint(CGRect r, CGPoint p) {
  return p.x >= r.origin.x && p.y >= r.origin.y && p.x < r.origin.x + r.size.width &&
         p.y < r.origin.y + r.size.height;
}
