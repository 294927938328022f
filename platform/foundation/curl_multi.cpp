#include "platform/foundation/curl_multi.h"

#include <poll.h>

#include <vector>

CurlMulti& CurlMulti::shared() {
  // Never destroyed: connections still running at exit keep their handles in it, and the
  // order of static destruction would otherwise decide what libcurl touches last.
  static CurlMulti* const multi = new CurlMulti;
  return *multi;
}

CurlMulti::CurlMulti() {
  NSRunLoop::mainRunLoop();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  multi_ = curl_multi_init();
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlMulti::onSocketRequest);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlMulti::onTimerRequest);
  curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
  // Requests are never merged onto one connection.
  curl_multi_setopt(multi_, CURLMOPT_PIPELINING, long{CURLPIPE_NOTHING});
  // Beyond a few connections to one host, requests wait their turn without a socket: one
  // socket per keystroke against a silent server would run out of descriptors.
  curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxConnectionsPerHost);
}

bool CurlMulti::add(CURL* easy, Owner& owner) {
  if (!multi_ || !easy) return false;
  if (curl_multi_add_handle(multi_, easy) != CURLM_OK) return false;
  owners_[easy] = {&owner, ++serial_};
  return true;
}

void CurlMulti::remove(CURL* easy) {
  if (owners_.erase(easy) == 0) return;
  curl_multi_remove_handle(multi_, easy);
}

int CurlMulti::onSocketRequest(CURL*, curl_socket_t fd, int what, void* self, void*) {
  auto& loop = NSRunLoop::mainRunLoop();
  if (what == CURL_POLL_REMOVE) {
    loop.removeSource(fd);
    return 0;
  }
  short events = 0;
  if (what == CURL_POLL_IN || what == CURL_POLL_INOUT) events |= POLLIN;
  if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT) events |= POLLOUT;
  auto* multi = static_cast<CurlMulti*>(self);
  loop.addSource(fd, events, [multi, fd](short revents) {
    int flags = 0;
    if (revents & (POLLIN | POLLHUP)) flags |= CURL_CSELECT_IN;
    if (revents & POLLOUT) flags |= CURL_CSELECT_OUT;
    if (revents & (POLLERR | POLLNVAL)) flags |= CURL_CSELECT_ERR;
    multi->act(fd, flags);
  });
  return 0;
}

int CurlMulti::onTimerRequest(CURLM*, long timeoutMs, void* self) {
  auto* multi = static_cast<CurlMulti*>(self);
  multi->timer_.cancel();
  if (timeoutMs < 0) return 0;
  // A zero timeout runs on the next turn: libcurl is never called from inside its callback.
  multi->timer_ = NSRunLoop::mainRunLoop().addTimer(
      std::chrono::milliseconds(timeoutMs), [multi] { multi->act(CURL_SOCKET_TIMEOUT, 0); },
      NSRunLoop::TimeBase::Real);
  return 0;
}

void CurlMulti::act(curl_socket_t fd, int flags) {
  int running = 0;
  curl_multi_socket_action(multi_, fd, flags, &running);
  drainFinished();
}

void CurlMulti::drainFinished() {
  // Collected first: an owner may remove its handle, or start another transfer, when told.
  struct Finished {
    CURL* easy;
    uint64_t serial;
    CURLcode result;
  };
  std::vector<Finished> finished;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    const auto found = owners_.find(message->easy_handle);
    if (found == owners_.end()) continue;
    finished.push_back({message->easy_handle, found->second.second, message->data.result});
  }
  for (const Finished& done : finished) {
    const auto found = owners_.find(done.easy);
    if (found == owners_.end() || found->second.second != done.serial) continue;
    found->second.first->transferDidComplete(done.result);
  }
}
