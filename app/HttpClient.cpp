#include "app/HttpClient.h"

#include <curl/curl.h>

#include <mutex>

#include "platform/Version.h"

namespace tarvik {
namespace {

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CURL* Handle(void* handle) {
    return static_cast<CURL*>(handle);
}

}  // namespace

CHttpClient::CHttpClient(HttpLimits limits, const std::atomic<bool>* cancel)
    : limits_(limits), cancel_(cancel) {
    InitialiseCurlOnce();
    handle_ = curl_easy_init();
}

CHttpClient::~CHttpClient() {
    if (handle_) curl_easy_cleanup(Handle(handle_));
}

std::size_t CHttpClient::Receive(char* data, std::size_t size, std::size_t count, void* self) {
    auto* client = static_cast<CHttpClient*>(self);
    const std::size_t bytes = size * count;
    std::string& body = client->reply_->body;
    if (bytes > client->limits_.maxBodyBytes - body.size()) {
        client->tooLarge_ = true;
        return 0;  // ends the transfer
    }
    body.append(data, bytes);
    return bytes;
}

int CHttpClient::Progress(void* self, long long, long long, long long, long long) {
    const auto* client = static_cast<CHttpClient*>(self);
    return client->cancel_ && client->cancel_->load() ? 1 : 0;
}

HttpReply CHttpClient::Get(const std::string& url) {
    HttpReply reply;
    if (!handle_) {
        reply.error = "the HTTP library could not be initialised";
        return reply;
    }
    CURL* curl = Handle(handle_);
    reply_ = &reply;
    tooLarge_ = false;
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits_.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits_.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(limits_.maxBodyBytes));
    const std::string agent = std::string("Tarvik/") + kTarvikVersion;
    curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CHttpClient::Receive);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CHttpClient::Progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    reply_ = nullptr;
    if (tooLarge_ || code == CURLE_FILESIZE_EXCEEDED) {
        reply.result = RES_HTTP_TOO_LARGE;
        reply.error =
            "the answer is larger than " + std::to_string(limits_.maxBodyBytes) + " bytes";
    } else if (code != CURLE_OK) {
        reply.result = RES_HTTP_FAILED;
        reply.error = errorText[0] ? errorText : curl_easy_strerror(code);
    } else if (reply.status != 200) {
        reply.result = RES_HTTP_STATUS;
        reply.error = "the server answered with status " + std::to_string(reply.status);
    } else {
        reply.result = RES_HTTP_OK;
        return reply;
    }
    reply.body.clear();
    return reply;
}

}  // namespace tarvik
