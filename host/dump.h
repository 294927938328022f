#pragma once

#include "host/json_writer.h"
#include "platform/foundation/values.h"
#include "platform/uikit/ui_view.h"

// How the dump writes views and property-list values.
namespace dump {

// {class, frame [x, y, w, h], alpha, hidden, tag, backgroundColor, ..., subviews}: what each
// view writes of itself (UIView::describe), then its subviews in order.
void writeView(JsonWriter& out, const UIView& view);

// Strings, numbers (integers stay integers), booleans, dates as ISO 8601 text, data as base64,
// arrays and dictionaries; null for nothing. A date outside the years 0000-9999 is written as
// its seconds since 2001-01-01.
void writeValue(JsonWriter& out, const NSObject* value);

void writeRect(JsonWriter& out, CGRect rect);

}  // namespace dump
