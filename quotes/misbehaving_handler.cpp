#include "quotes/misbehaving_handler.h"

#include "quotes/quote_query.h"

namespace tessary::quotes {

bool MisbehavingHandler::handle(const RequestHead& head, Response& response, Exchange& exchange) {
  bool quote = head.knownMethod && (head.method == "GET" || head.method == "HEAD") &&
               targetPath(head.target) == kQuotePath;
  if (!quote) return router_->handle(head, response, exchange);
  if (misbehaviour_.stall) {
    exchange.neverAnswer();
    return false;
  }
  if (misbehaviour_.delay.count() > 0) {
    exchange.answerAfter(misbehaviour_.delay,
                         [this, head](Response& later) { answer(head, later); });
    return false;
  }
  answer(head, response);
  return true;
}

void MisbehavingHandler::answer(const RequestHead& head, Response& response) {
  if (!misbehaviour_.status && !misbehaviour_.body) {
    router_->route(head, response);
    return;
  }
  router_->quote(head, response, false);
  if (misbehaviour_.status) response.status = *misbehaviour_.status;
  if (misbehaviour_.body) response.body = *misbehaviour_.body;
}

}  // namespace tessary::quotes
