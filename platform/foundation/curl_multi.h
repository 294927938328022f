#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <map>
#include <utility>

#include "platform/foundation/run_loop.h"

// libcurl's multi-socket interface on the main run loop: one watcher per socket libcurl asks
// for, one single-shot real-time timer, and each finished transfer handed to its owner.
// libcurl is only ever called from run-loop callbacks, never from inside its own callbacks.
class CurlMulti {
 public:
  // Connections open at once to one host; later requests to it queue inside libcurl.
  static constexpr long kMaxConnectionsPerHost = 6;

  class Owner {
   public:
    // Called from the run loop, outside any libcurl call; may remove the handle.
    virtual void transferDidComplete(CURLcode result) = 0;

   protected:
    ~Owner() = default;
  };

  // The process's one multi handle, created on first use and kept to the end of the process.
  static CurlMulti& shared();

  // False when libcurl refuses the handle. The transfer starts on a later turn.
  bool add(CURL* easy, Owner& owner);
  // Removing an unknown handle does nothing.
  void remove(CURL* easy);

  CurlMulti(const CurlMulti&) = delete;
  CurlMulti& operator=(const CurlMulti&) = delete;

 private:
  CurlMulti();

  static int onSocketRequest(CURL* easy, curl_socket_t fd, int what, void* self, void*);
  static int onTimerRequest(CURLM*, long timeoutMs, void* self);
  void act(curl_socket_t fd, int flags);
  void drainFinished();

  CURLM* multi_ = nullptr;
  TimerHandle timer_;
  // The serial tells a handle from a later one that libcurl allocates at the same address.
  std::map<CURL*, std::pair<Owner*, uint64_t>> owners_;
  uint64_t serial_ = 0;
};
