// A small HTTP/1.1 GET client over libcurl for the one-line answers of the
// vendor's web server. Bounded: connect and total time-outs, a cap on the
// body, plain http only, no redirects. One client keeps its connection open
// between requests to the same server (keep-alive).
//
// One thread at a time per client; separate clients may run in parallel.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "core/ResultCodes.h"

namespace tarvik {

inline constexpr Result RES_HTTP_OK = 1140;
// No connection, a time-out, a malformed answer or a cancelled request.
inline constexpr Result RES_HTTP_FAILED = 1141;
// The server answered with a status other than 200.
inline constexpr Result RES_HTTP_STATUS = 1142;
// The body was larger than the limit.
inline constexpr Result RES_HTTP_TOO_LARGE = 1143;

struct HttpLimits {
    long connectTimeoutMs = 5000;
    long totalTimeoutMs = 15000;
    std::size_t maxBodyBytes = 64 * 1024;
};

struct HttpReply {
    Result result = RES_HTTP_FAILED;
    long status = 0;
    std::string body;
    // Why it failed, for the log.
    std::string error;
};

class CHttpClient {
  public:
    // `cancel`, when given, ends a running request soon after it turns true.
    explicit CHttpClient(HttpLimits limits = {}, const std::atomic<bool>* cancel = nullptr);
    ~CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    HttpReply Get(const std::string& url);

  private:
    static std::size_t Receive(char* data, std::size_t size, std::size_t count, void* self);
    static int Progress(void* self, long long, long long, long long, long long);

    HttpLimits limits_;
    const std::atomic<bool>* cancel_;
    void* handle_ = nullptr;
    HttpReply* reply_ = nullptr;
    bool tooLarge_ = false;
};

}  // namespace tarvik
