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
inline bool CGRectContainsPoint(CGRect r, CGPoint p) {
  return p.x >= r.origin.x && p.y >= r.origin.y && p.x < r.origin.x + r.size.width &&
         p.y < r.origin.y + r.size.height;
}
