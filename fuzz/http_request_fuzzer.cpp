// The quote service's request head reader: a head read whole reads the same fed in two parts,
// a head that is done ends within the bytes, and a refusal has an HTTP status; the cache
// validators' date reads back what it writes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "quotes/cache_policy.h"
#include "quotes/http_request.h"

namespace {

tessary::quotes::ParseStep parseInTwo(std::string_view bytes, size_t split) {
  tessary::quotes::RequestParser parser;
  auto first = parser.parse(bytes.substr(0, split));
  if (first.state != tessary::quotes::ParseStep::State::NeedMore) return first;
  return parser.parse(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t split = data[0] % (size);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  tessary::quotes::RequestParser whole;
  const auto step = whole.parse(bytes);
  using State = tessary::quotes::ParseStep::State;
  if (step.state == State::Done && (step.consumed == 0 || step.consumed > bytes.size()))
    std::abort();
  if (step.state == State::Refused && (step.status < 400 || step.status > 505)) std::abort();
  // A head that reads whole reads the same however it arrives. A refused one may, cut in
  // two, still wait for more: the head deadline ends that wait.
  const auto parts = parseInTwo(bytes, split);
  if (step.state == State::Done &&
      (parts.state != State::Done || parts.consumed != step.consumed)) {
    std::abort();
  }
  if (step.state == State::Refused && parts.state == State::Done) std::abort();
  if (step.state == State::NeedMore && parts.state != State::NeedMore) std::abort();
  if (step.state == State::Done) {
    (void)tessary::quotes::noneMatchHits(whole.head().ifNoneMatch.value_or(""), "\"abc\"");
  }
  if (const auto time = tessary::quotes::parseHttpDate(bytes)) {
    const auto again = tessary::quotes::parseHttpDate(tessary::quotes::httpDate(*time));
    if (!again || *again != *time) std::abort();
  }
  return 0;
}
