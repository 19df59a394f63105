#include "mailer/SmtpSender.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

namespace tarn::mailer {
namespace {

// Seconds to wait for the TCP connection to the server.
constexpr long kConnectTimeoutSeconds = 30;
// A transfer slower than kLowSpeedBytes per second for kLowSpeedSeconds is
// given up, so that a stalled server cannot hold the mailer for ever.
constexpr long kLowSpeedBytes = 1;
constexpr long kLowSpeedSeconds = 120;

struct Upload {
    const std::string* data;
    std::size_t offset;
};

size_t ReadMessage(char* buffer, size_t size, size_t count, void* userData) {
    Upload* upload = static_cast<Upload*>(userData);
    size_t room = size * count;
    size_t left = upload->data->size() - upload->offset;
    size_t n = std::min(room, left);
    std::memcpy(buffer, upload->data->data() + upload->offset, n);
    upload->offset += n;
    return n;
}

std::string ServerUrl(const std::string& server, int port) {
    bool ipv6Literal = server.find(':') != std::string::npos && server.front() != '[';
    return "smtp://" + (ipv6Literal ? "[" + server + "]" : server) + ":" + std::to_string(port);
}

SendOutcome Classify(CURLcode code, const std::string& detail) {
    switch (code) {
    case CURLE_OK:
        return SendOutcome::kAccepted;
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return SendOutcome::kCannotConnect;
    case CURLE_LOGIN_DENIED:
        return SendOutcome::kAuthenticationRefused;
    default:
        break;
    }
    if (detail.find("RCPT") != std::string::npos) return SendOutcome::kRecipientRefused;
    if (detail.find("MAIL failed: 530") != std::string::npos) return SendOutcome::kAuthenticationRefused;
    if (detail.find("MAIL") != std::string::npos) return SendOutcome::kSenderRefused;
    return SendOutcome::kRejected;
}

}  // namespace

void InitializeSmtp() { curl_global_init(CURL_GLOBAL_DEFAULT); }

SendResult SendMessage(const SmtpRequest& request) {
    SendResult result;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        result.detail = "cannot initialise libcurl";
        return result;
    }
    char error[CURL_ERROR_SIZE] = "";
    curl_slist* recipients = nullptr;
    for (const std::string& address : request.recipients) {
        recipients = curl_slist_append(recipients, ("<" + address + ">").c_str());
    }
    Upload upload{&request.message, 0};
    const std::string url = ServerUrl(request.server, request.port);
    const std::string from = "<" + request.envelopeSender + ">";

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytes);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(request.message.size()));
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadMessage);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    if (!request.user.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, request.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, request.password.c_str());
    }

    CURLcode code = curl_easy_perform(curl);
    result.detail = error[0] != '\0' ? std::string(error) : std::string(curl_easy_strerror(code));
    result.outcome = Classify(code, result.detail);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);
    return result;
}

}  // namespace tarn::mailer
