#pragma once
// The HTTP facility: a small WinINet-shaped client over libcurl. Handles, flags, status
// notifications and error codes keep WinINet's numbering so the component above can follow the
// same stages. Every call sets the calling thread's last error (GetLastError), 0 on success.
//
// Modes. A session opened with INTERNET_FLAG_ASYNC answers HttpSendRequest and InternetReadFile
// with false and ERROR_IO_PENDING (997) when the work cannot finish at once; the work then goes
// on on the session's loop (the caller's, InternetOpenOnLoop, or else a thread of the session's
// own), which reports INTERNET_STATUS_REQUEST_COMPLETE (100) with an InternetAsyncResult. A
// synchronous session does all work on the caller's thread. Status
// notifications go to the session's callback, only for request handles opened with a non-zero
// context; INTERNET_STATUS_CONNECTION_CLOSED always follows a delivered
// INTERNET_STATUS_CLOSING_CONNECTION, and both come before the end of the body is readable.
//
// Nothing waits forever and nothing grows without end: a stalled server ends in
// ERROR_INTERNET_TIMEOUT, every send ends within a total time limit, a header block has a size
// limit and unread body bytes are held back by pausing the transfer (inet_timeouts.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quorvel::platform::inet
{

struct InternetHandle;
using HINTERNET = InternetHandle *;
class LoopDriver; // inet_loop.h

using StatusCallback = void (*)(HINTERNET handle, std::uintptr_t context, std::uint32_t status,
                                const void *info, std::uint32_t infoLength);

// The information block of INTERNET_STATUS_REQUEST_COMPLETE.
struct InternetAsyncResult {
    std::uint32_t dwResult; // non-zero: the pending send or read succeeded
    std::uint32_t dwError;  // the error code when dwResult is 0
};

// InternetOpen access types and InternetConnect service.
constexpr std::uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr std::uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr std::uint32_t INTERNET_OPEN_TYPE_PROXY = 3;
constexpr std::uint32_t INTERNET_SERVICE_HTTP = 3;

// Session flag.
constexpr std::uint32_t INTERNET_FLAG_ASYNC = 0x10000000;

// Request flags.
constexpr std::uint32_t INTERNET_FLAG_CACHE_IF_NET_FAIL = 0x00010000;
constexpr std::uint32_t INTERNET_FLAG_DONT_CACHE = 0x04000000;
constexpr std::uint32_t INTERNET_FLAG_HYPERLINK = 0x00000400;
constexpr std::uint32_t INTERNET_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000;
constexpr std::uint32_t INTERNET_FLAG_IGNORE_CERT_DATE_INVALID = 0x00002000;
constexpr std::uint32_t INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP = 0x00008000;
constexpr std::uint32_t INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x00004000;
constexpr std::uint32_t INTERNET_FLAG_KEEP_CONNECTION = 0x00400000;
constexpr std::uint32_t INTERNET_FLAG_NEED_FILE = 0x00000010;
constexpr std::uint32_t INTERNET_FLAG_NO_AUTH = 0x00040000;
constexpr std::uint32_t INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
constexpr std::uint32_t INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;
constexpr std::uint32_t INTERNET_FLAG_NO_COOKIES = 0x00080000;
constexpr std::uint32_t INTERNET_FLAG_NO_UI = 0x00000200;
constexpr std::uint32_t INTERNET_FLAG_PRAGMA_NOCACHE = 0x00000100;
constexpr std::uint32_t INTERNET_FLAG_RELOAD = 0x80000000;
constexpr std::uint32_t INTERNET_FLAG_RESYNCHRONIZE = 0x00000800;
constexpr std::uint32_t INTERNET_FLAG_SECURE = 0x00800000;

// InternetSetOption options.
constexpr std::uint32_t INTERNET_OPTION_CONNECT_TIMEOUT = 2;
constexpr std::uint32_t INTERNET_OPTION_USERNAME = 28;
constexpr std::uint32_t INTERNET_OPTION_PASSWORD = 29;
constexpr std::uint32_t INTERNET_OPTION_PROXY_USERNAME = 43;
constexpr std::uint32_t INTERNET_OPTION_PROXY_PASSWORD = 44;

// HttpQueryInfo levels.
constexpr std::uint32_t HTTP_QUERY_STATUS_CODE = 19;
constexpr std::uint32_t HTTP_QUERY_RAW_HEADERS_CRLF = 22;
constexpr std::uint32_t HTTP_QUERY_FLAG_NUMBER = 0x20000000;

// Status notifications.
constexpr std::uint32_t INTERNET_STATUS_RESOLVING_NAME = 10;
constexpr std::uint32_t INTERNET_STATUS_NAME_RESOLVED = 11;
constexpr std::uint32_t INTERNET_STATUS_CONNECTING_TO_SERVER = 20;
constexpr std::uint32_t INTERNET_STATUS_CONNECTED_TO_SERVER = 21;
constexpr std::uint32_t INTERNET_STATUS_SENDING_REQUEST = 30;
constexpr std::uint32_t INTERNET_STATUS_REQUEST_SENT = 31;
constexpr std::uint32_t INTERNET_STATUS_RECEIVING_RESPONSE = 40;
constexpr std::uint32_t INTERNET_STATUS_RESPONSE_RECEIVED = 41;
constexpr std::uint32_t INTERNET_STATUS_CLOSING_CONNECTION = 50;
constexpr std::uint32_t INTERNET_STATUS_CONNECTION_CLOSED = 51;
constexpr std::uint32_t INTERNET_STATUS_HANDLE_CREATED = 60;
constexpr std::uint32_t INTERNET_STATUS_HANDLE_CLOSING = 70;
constexpr std::uint32_t INTERNET_STATUS_REQUEST_COMPLETE = 100;
constexpr std::uint32_t INTERNET_STATUS_REDIRECT = 110;
constexpr std::uint32_t INTERNET_STATUS_INTERMEDIATE_RESPONSE = 120;
constexpr std::uint32_t INTERNET_STATUS_STATE_CHANGE = 200;

// Error codes.
constexpr std::uint32_t ERROR_SUCCESS = 0;
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr std::uint32_t ERROR_IO_PENDING = 997;
constexpr std::uint32_t ERROR_CANCELLED = 1223;
constexpr std::uint32_t ERROR_INTERNET_OUT_OF_HANDLES = 12001;
constexpr std::uint32_t ERROR_INTERNET_TIMEOUT = 12002;
constexpr std::uint32_t ERROR_INTERNET_EXTENDED_ERROR = 12003;
constexpr std::uint32_t ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr std::uint32_t ERROR_INTERNET_INVALID_URL = 12005;
constexpr std::uint32_t ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr std::uint32_t ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr std::uint32_t ERROR_INTERNET_INVALID_OPTION = 12009;
constexpr std::uint32_t ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr std::uint32_t ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr std::uint32_t ERROR_INTERNET_INCORRECT_STATE = 12019;
constexpr std::uint32_t ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr std::uint32_t ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr std::uint32_t ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr std::uint32_t ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;
constexpr std::uint32_t ERROR_INTERNET_INVALID_CA = 12045;
constexpr std::uint32_t ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
constexpr std::uint32_t ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037;
constexpr std::uint32_t ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr std::uint32_t ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr std::uint32_t ERROR_HTTP_REDIRECT_FAILED = 12156;
// The facility's own: a response whose header block is longer than it accepts.
constexpr std::uint32_t ERROR_HTTP_HEADERS_TOO_LARGE = 12190;

// InternetErrorDlg flags and the answer that asks the caller to send the request again.
constexpr std::uint32_t FLAGS_ERROR_UI_FILTER_FOR_ERRORS = 0x01;
constexpr std::uint32_t FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS = 0x02;
constexpr std::uint32_t FLAGS_ERROR_UI_FLAGS_GENERATE_DATA = 0x04;
constexpr std::uint32_t ERROR_INTERNET_FORCE_RETRY = 12032;

// The calling thread's last error.
std::uint32_t GetLastError();
void SetLastError(std::uint32_t code);

HINTERNET InternetOpen(const std::string &agent, std::uint32_t accessType, const std::string &proxy,
                       std::uint32_t flags);
// The facility's own: an asynchronous session whose transfers driver's event loop drives on its
// thread. Notifications then come on that thread, and a command given there runs at once when
// nothing is being handed out; commands of other threads wait for the loop.
HINTERNET InternetOpenOnLoop(const std::string &agent, std::uint32_t accessType,
                             const std::string &proxy, std::unique_ptr<LoopDriver> driver);
// Returns the previous callback. Handles made from the session use it.
StatusCallback InternetSetStatusCallback(HINTERNET session, StatusCallback callback);
HINTERNET InternetConnect(HINTERNET session, const std::string &host, std::uint16_t port,
                          const char *userName, const char *password, std::uint32_t service,
                          std::uint32_t flags, std::uintptr_t context);
bool InternetSetOption(HINTERNET handle, std::uint32_t option, const void *buffer,
                       std::uint32_t length);
// acceptTypes: a list that ends at the first null or empty entry; null for no list.
HINTERNET HttpOpenRequest(HINTERNET connection, const std::string &verb,
                          const std::string &objectName, const char *version, const char *referrer,
                          const char *const *acceptTypes, std::uint32_t flags,
                          std::uintptr_t context);
bool HttpSendRequest(HINTERNET request, const char *headers, std::uint32_t headersLength,
                     const void *optional, std::uint32_t optionalLength);
// Status code as a number (with HTTP_QUERY_FLAG_NUMBER, 4 bytes) or the raw header block of the
// final response with CR LF line ends and an empty last line. A buffer too small answers false
// with ERROR_INSUFFICIENT_BUFFER and the needed length in *bufferLength.
bool HttpQueryInfo(HINTERNET request, std::uint32_t infoLevel, void *buffer,
                   std::uint32_t *bufferLength, std::uint32_t *index);
// Reads at most toRead body bytes; *read is 0 at the end of the body. In asynchronous mode a
// read that cannot be served from what has arrived answers pending; the completion then has
// written the bytes into buffer and *read, which must stay valid until it comes.
bool InternetReadFile(HINTERNET request, void *buffer, std::uint32_t toRead, std::uint32_t *read);
// The facility's own: called from a notification of request's asynchronous session, queues call
// to run on the same thread once that turn's notifications are all delivered; false (nothing
// queued) when not called from one.
bool InternetAfterNotifications(HINTERNET request, std::function<void()> call);
// The facility's own: the last send's whole body has arrived and nothing waits for the reader, so
// every read of it is answered at once, never pending.
bool InternetResponseComplete(HINTERNET request);
// Closing a request also stops its transfer; a pending operation then completes no more.
bool InternetCloseHandle(HINTERNET handle);

// Asks for credentials for a request answered with 401 or 407 through the prompt installed with
// setCredentialPrompt, stores them on the request and answers ERROR_INTERNET_FORCE_RETRY so the
// caller sends again; ERROR_CANCELLED when the user cancels or no prompt is installed.
std::uint32_t InternetErrorDlg(void *parentWindow, HINTERNET request, std::uint32_t error,
                               std::uint32_t flags, void **data);

// The prompt: given the request's host and whether a proxy asks, fills user and password and
// answers true, or answers false for cancel. Called on the thread that calls InternetErrorDlg.
using CredentialPrompt = std::function<bool(const std::string &host, bool proxy, std::string &user,
                                            std::string &password)>;
void setCredentialPrompt(CredentialPrompt prompt);

// The server's last response text on this thread, for ERROR_INTERNET_EXTENDED_ERROR.
bool InternetGetLastResponseInfo(std::uint32_t *error, char *buffer, std::uint32_t *bufferLength);

// The facility's message for one of its error codes, ending with CR LF; "" for any other code.
std::string FormatMessage(std::uint32_t code);

} // namespace quorvel::platform::inet
