#include "inet/inet_errors.h"

#include <string_view>

#include "inet/inet.h"

namespace quorvel::platform::inet
{

namespace
{

struct Message {
    std::uint32_t code;
    std::string_view text;
};

constexpr Message messages[] = {
    {ERROR_INTERNET_OUT_OF_HANDLES, "No more handles could be generated at this time"},
    {ERROR_INTERNET_TIMEOUT, "The operation timed out"},
    {ERROR_INTERNET_EXTENDED_ERROR, "An extended error was returned from the server"},
    {ERROR_INTERNET_INTERNAL_ERROR, "An internal error occurred in the HTTP client"},
    {ERROR_INTERNET_INVALID_URL, "The URL is invalid"},
    {ERROR_INTERNET_UNRECOGNIZED_SCHEME, "The URL does not use a recognized protocol"},
    {ERROR_INTERNET_NAME_NOT_RESOLVED, "The server name or address could not be resolved"},
    {ERROR_INTERNET_INVALID_OPTION, "The option is not valid for this handle"},
    {ERROR_INTERNET_OPERATION_CANCELLED, "The operation was canceled"},
    {ERROR_INTERNET_INCORRECT_HANDLE_TYPE,
     "The type of handle supplied is incorrect for this operation"},
    {ERROR_INTERNET_INCORRECT_STATE,
     "The operation is not possible in the request's current state"},
    {ERROR_INTERNET_CANNOT_CONNECT, "A connection with the server could not be established"},
    {ERROR_INTERNET_CONNECTION_ABORTED, "The connection with the server was terminated abnormally"},
    {ERROR_INTERNET_CONNECTION_RESET, "The connection with the server was reset"},
    {ERROR_INTERNET_FORCE_RETRY, "The request must be sent again"},
    {ERROR_INTERNET_SEC_CERT_DATE_INVALID, "The server's security certificate has expired"},
    {ERROR_INTERNET_SEC_CERT_CN_INVALID,
     "The name on the server's security certificate does not match the server name"},
    {ERROR_INTERNET_INVALID_CA,
     "The server's security certificate was issued by an authority that is not trusted"},
    {ERROR_HTTP_HEADER_NOT_FOUND, "The requested header was not found"},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, "The server returned an invalid or unrecognized response"},
    {ERROR_HTTP_REDIRECT_FAILED, "The redirection failed"},
    {ERROR_HTTP_HEADERS_TOO_LARGE, "The server's response headers are too long"},
    {ERROR_INTERNET_SECURITY_CHANNEL_ERROR,
     "A secure connection with the server could not be made"},
};

struct CurlError {
    CURLcode curl;
    std::uint32_t error;
};

// The one place where libcurl's results meet the facility's error codes.
constexpr CurlError curlErrors[] = {
    {CURLE_OK, ERROR_SUCCESS},
    // Only http and https URLs are built, so this is libcurl refusing an HTTP/0.9 answer.
    {CURLE_UNSUPPORTED_PROTOCOL, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_URL_MALFORMAT, ERROR_INTERNET_INVALID_URL},
    {CURLE_COULDNT_RESOLVE_PROXY, ERROR_INTERNET_NAME_NOT_RESOLVED},
    {CURLE_COULDNT_RESOLVE_HOST, ERROR_INTERNET_NAME_NOT_RESOLVED},
    {CURLE_COULDNT_CONNECT, ERROR_INTERNET_CANNOT_CONNECT},
    {CURLE_WEIRD_SERVER_REPLY, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_HTTP2, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_PARTIAL_FILE, ERROR_INTERNET_CONNECTION_ABORTED},
    {CURLE_OUT_OF_MEMORY, ERROR_INTERNET_INTERNAL_ERROR},
    {CURLE_OPERATION_TIMEDOUT, ERROR_INTERNET_TIMEOUT},
    {CURLE_RANGE_ERROR, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_ABORTED_BY_CALLBACK, ERROR_INTERNET_OPERATION_CANCELLED},
    {CURLE_WRITE_ERROR, ERROR_INTERNET_OPERATION_CANCELLED},
    {CURLE_TOO_MANY_REDIRECTS, ERROR_HTTP_REDIRECT_FAILED},
    {CURLE_GOT_NOTHING, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_SEND_ERROR, ERROR_INTERNET_CONNECTION_ABORTED},
    {CURLE_RECV_ERROR, ERROR_INTERNET_CONNECTION_RESET},
    {CURLE_BAD_CONTENT_ENCODING, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_SSL_CONNECT_ERROR, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
    {CURLE_PEER_FAILED_VERIFICATION, ERROR_INTERNET_INVALID_CA},
    {CURLE_SSL_CERTPROBLEM, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
    {CURLE_SSL_CIPHER, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
    {CURLE_SSL_ENGINE_NOTFOUND, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
    {CURLE_SSL_CACERT_BADFILE, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
    {CURLE_SSL_SHUTDOWN_FAILED, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
    {CURLE_SSL_CRL_BADFILE, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
    {CURLE_SSL_ISSUER_ERROR, ERROR_INTERNET_INVALID_CA},
    {CURLE_SSL_PINNEDPUBKEYNOTMATCH, ERROR_INTERNET_INVALID_CA},
    {CURLE_SSL_INVALIDCERTSTATUS, ERROR_INTERNET_INVALID_CA},
    {CURLE_AGAIN, ERROR_INTERNET_CONNECTION_ABORTED},
};

} // namespace

std::uint32_t errorFromCurl(CURLcode code)
{
    for (const auto &entry : curlErrors) {
        if (entry.curl == code)
            return entry.error;
    }
    return ERROR_INTERNET_INTERNAL_ERROR;
}

std::string FormatMessage(std::uint32_t code)
{
    for (const auto &message : messages) {
        if (message.code == code)
            return std::string(message.text) + "\r\n";
    }
    return {};
}

} // namespace quorvel::platform::inet
