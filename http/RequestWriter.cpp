#include "http/RequestWriter.h"

#include "http/WebInternal.h"
#include "platform/ByteText.h"

namespace http {

std::string basicToken(const BasicCredentials& credentials) {
    return platform::Base64(credentials.user + ":" + credentials.password);
}

std::string hostHeaderValue(const std::string& host, int port) {
    std::string value = host;
    const bool ipv6Literal = host.find(':') != std::string::npos && host.front() != '[';
    if (ipv6Literal) value = "[" + host + "]";
    if (port > 0) value += ":" + std::to_string(port);
    return value;
}

std::string requestText(const RequestFields& fields) {
    const std::string& target = fields.throughProxy ? fields.absoluteUrl : fields.path;
    std::string request = fields.method + " " + requestTarget(target) + " HTTP/1.0\r\n";
    auto header = [&request](const char* name, const std::string& value) {
        if (value.empty()) return;
        request += name;
        request += value;
        request += "\r\n";
    };
    header("From: ", fields.from);
    if (!fields.host.empty()) header("Host: ", hostHeaderValue(fields.host, fields.hostPort));
    header("If-Modified-Since: ", fields.ifModifiedSince);
    header("Referer: ", fields.referer);
    header("User-Agent: ", fields.userAgent);
    header("Accept: ", fields.accept);
    if (fields.credentials) header("Authorization: Basic ", basicToken(*fields.credentials));
    if (fields.throughProxy && fields.proxyCredentials)
        header("Proxy-Authorization: Basic ", basicToken(*fields.proxyCredentials));
    request += "\r\n";
    return request;
}

}  // namespace http
