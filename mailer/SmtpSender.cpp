#include "mailer/SmtpSender.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

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

// The URL's path is the name libcurl gives in EHLO.
std::string ServerUrl(const SmtpRequest& request, const std::string& heloName) {
    const std::string& server = request.server;
    bool ipv6Literal = server.find(':') != std::string::npos && server.front() != '[';
    char* escaped = curl_easy_escape(nullptr, heloName.c_str(), static_cast<int>(heloName.size()));
    std::string path = escaped == nullptr ? std::string() : escaped;
    curl_free(escaped);
    return std::string(request.tls == TlsMode::kSmtps ? "smtps://" : "smtp://") +
           (ipv6Literal ? "[" + server + "]" : server) + ":" + std::to_string(request.port) + "/" + path;
}

bool IsTlsFailure(CURLcode code) {
    switch (code) {
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return true;
    default:
        return false;
    }
}

// The address literal of the local end of a route to the server (a UDP
// "connection" sends nothing), or "[127.0.0.1]" when there is none.
std::string LocalAddressLiteral(const std::string& server, int port) {
    std::string literal = "[127.0.0.1]";
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(server.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return literal;
    int fd = socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    char text[INET6_ADDRSTRLEN] = "";
    if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        if (local.ss_family == AF_INET &&
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&local)->sin_addr, text, sizeof text)) {
            literal = "[" + std::string(text) + "]";
        } else if (local.ss_family == AF_INET6 &&
                   inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&local)->sin6_addr, text,
                             sizeof text)) {
            literal = "[IPv6:" + std::string(text) + "]";
        }
    }
    if (fd >= 0) close(fd);
    freeaddrinfo(found);
    return literal;
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
    if (IsTlsFailure(code)) return SendOutcome::kTlsFailed;
    if (detail.find("RCPT") != std::string::npos) return SendOutcome::kRecipientRefused;
    if (detail.find("MAIL failed: 530") != std::string::npos) return SendOutcome::kAuthenticationRefused;
    if (detail.find("MAIL") != std::string::npos) return SendOutcome::kSenderRefused;
    return SendOutcome::kRejected;
}

}  // namespace

std::string HeloName(const std::string& server, int port) {
    char host[256] = "";
    if (gethostname(host, sizeof host - 1) == 0 && host[0] != '\0') {
        addrinfo hints{};
        hints.ai_flags = AI_CANONNAME;
        addrinfo* found = nullptr;
        if (getaddrinfo(host, nullptr, &hints, &found) == 0) {
            std::string name = found->ai_canonname != nullptr ? found->ai_canonname : "";
            freeaddrinfo(found);
            if (name.find('.') != std::string::npos && name.back() != '.') return name;
        }
    }
    return LocalAddressLiteral(server, port);
}

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
    const std::string url = ServerUrl(request, HeloName(request.server, request.port));
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
    if (request.tls != TlsMode::kNone) {
        // Verified TLS or nothing: no fall-back to clear text.
        curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!request.caFile.empty()) {
            curl_easy_setopt(curl, CURLOPT_CAINFO, request.caFile.c_str());
            curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
        }
    }
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
