#pragma once
// TAdvHttp: a non-visual component that carries out one HTTP request at a time over the HTTP
// facility, either synchronously on the caller's thread or asynchronously on the event loop of
// the thread the component lives on. There the facility's notifications advance the response
// stage, and every handler is called directly on that thread.

#include "http/einineterror.h"
#include "http/internetflags.h"
#include "http/stringlist.h"
#include "inet/inet.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QObject>

namespace quorvel
{

class TAdvHttp;
class HttpNotifier;

// An event handler receives only the sender and reads what it needs from its public state.
using TNotifyEvent = std::function<void(TAdvHttp *sender)>;

class TAdvHttp : public QObject
{
    Q_OBJECT

public:
    using HINTERNET = platform::inet::HINTERNET;

    static constexpr const char *defaultUserAgent = "Merrowin WinInet Component";
    // The most of a body that Response keeps. Whatever a server sends, one request never costs
    // more; a longer body is cut short there (BodyCut), its headers still count.
    static constexpr std::size_t MaxResponseSize = 16 * 1024 * 1024;

    // Why the body of the last response was not read to its end although the response itself
    // arrived. Such a response completes as usual, without an error.
    enum class TBodyCut { None, SizeLimit, TimeLimit };
    // Where the current request stands: sent and waiting for its answer, then the response
    // stage's steps in turn. Done once OnRequestComplete has been fired.
    enum class TResponseStage { Idle, Sending, Status, Authentication, Headers, Body, Done };
    // ifIgnoreCertCnInvalid .. ifKeepConnection, ifNoUi, ifReload
    static constexpr std::uint32_t defaultInternetFlagBits = 0x00A0F8;

    // Asynchronous requests are made, and their handlers run, on the thread the component lives
    // on (the GUI thread for a widget owner), which must take its events while they run; a
    // synchronous request runs, handlers included, on the caller's thread.
    explicit TAdvHttp(QObject *owner = nullptr);
    // Ends a running request at once; no handler runs from here on.
    ~TAdvHttp() override;

    // Published properties, in declaration order. Setters that rebuild URL raise EInetError (or
    // std::runtime_error "Invalid protocol" for URL) whatever RaiseExceptions says.
    int ConnectTimeout() const { return m_connectTimeout; }
    void setConnectTimeout(int milliseconds);
    bool RaiseExceptions() const { return m_raiseExceptions; }
    void setRaiseExceptions(bool raise);
    const std::string &UserAgent() const { return m_userAgent; }
    void setUserAgent(const std::string &agent);
    const std::string &Proxy() const { return m_proxy; }
    void setProxy(const std::string &proxy);
    bool SSL() const { return m_ssl; }
    void setSSL(bool ssl);
    const std::string &URL() const { return m_url; }
    void setURL(const std::string &url);
    const std::string &URLPath() const { return m_urlPath; }
    void setURLPath(const std::string &path);
    const std::string &ExtraInfo() const { return m_extraInfo; }
    void setExtraInfo(const std::string &extraInfo);
    int Port() const { return m_port; }
    void setPort(int port);
    const std::string &UserName() const { return m_userName; }
    void setUserName(const std::string &userName);
    const std::string &Password() const { return m_password; }
    void setPassword(const std::string &password);
    const std::string &ProxyUserName() const { return m_proxyUserName; }
    void setProxyUserName(const std::string &userName);
    const std::string &ProxyPassword() const { return m_proxyPassword; }
    void setProxyPassword(const std::string &password);
    const std::string &HostName() const { return m_hostName; }
    void setHostName(const std::string &hostName);
    bool DefaultUi() const { return m_defaultUi; }
    void setDefaultUi(bool defaultUi);
    const StringList &RequestHeaders() const { return m_requestHeaders; }
    void setRequestHeaders(const StringList &headers);
    const StringList &AcceptTypes() const { return m_acceptTypes; }
    void setAcceptTypes(const StringList &types);
    const std::string &Method() const { return m_method; }
    void setMethod(const std::string &method);
    // Reads the last response body up to its first zero byte; writes the body of later requests.
    std::string Text() const;
    void setText(const std::string &text);
    int AuthRetries() const { return m_authRetries; }
    void setAuthRetries(int retries);
    TInternetFlags InternetFlags() const { return m_internetFlags; }
    void setInternetFlags(TInternetFlags flags);

    // Events, in declaration order.
    const TNotifyEvent &OnClosingConnection() const { return m_onClosingConnection; }
    void setOnClosingConnection(TNotifyEvent handler);
    const TNotifyEvent &OnConnectedToServer() const { return m_onConnectedToServer; }
    void setOnConnectedToServer(TNotifyEvent handler);
    const TNotifyEvent &OnConnectingToServer() const { return m_onConnectingToServer; }
    void setOnConnectingToServer(TNotifyEvent handler);
    const TNotifyEvent &OnConnectionClosed() const { return m_onConnectionClosed; }
    void setOnConnectionClosed(TNotifyEvent handler);
    const TNotifyEvent &OnIntermediateResponse() const { return m_onIntermediateResponse; }
    void setOnIntermediateResponse(TNotifyEvent handler);
    const TNotifyEvent &OnNameResolved() const { return m_onNameResolved; }
    void setOnNameResolved(TNotifyEvent handler);
    const TNotifyEvent &OnReceivingResponse() const { return m_onReceivingResponse; }
    void setOnReceivingResponse(TNotifyEvent handler);
    const TNotifyEvent &OnResponseReceived() const { return m_onResponseReceived; }
    void setOnResponseReceived(TNotifyEvent handler);
    const TNotifyEvent &OnRedirect() const { return m_onRedirect; }
    void setOnRedirect(TNotifyEvent handler);
    const TNotifyEvent &OnRequestComplete() const { return m_onRequestComplete; }
    void setOnRequestComplete(TNotifyEvent handler);
    const TNotifyEvent &OnRequestSent() const { return m_onRequestSent; }
    void setOnRequestSent(TNotifyEvent handler);
    const TNotifyEvent &OnResolvingName() const { return m_onResolvingName; }
    void setOnResolvingName(TNotifyEvent handler);
    const TNotifyEvent &OnSendingRequest() const { return m_onSendingRequest; }
    void setOnSendingRequest(TNotifyEvent handler);
    const TNotifyEvent &OnStateChange() const { return m_onStateChange; }
    void setOnStateChange(TNotifyEvent handler);
    const TNotifyEvent &OnDataAvailable() const { return m_onDataAvailable; }
    void setOnDataAvailable(TNotifyEvent handler);
    const TNotifyEvent &OnNeedAuth() const { return m_onNeedAuth; }
    void setOnNeedAuth(TNotifyEvent handler);
    const TNotifyEvent &OnNeedProxyAuth() const { return m_onNeedProxyAuth; }
    void setOnNeedProxyAuth(TNotifyEvent handler);
    const TNotifyEvent &OnError() const { return m_onError; }
    void setOnError(TNotifyEvent handler);

    // Starts a request. True when connecting, opening and sending raised nothing; with
    // synchronous true the whole request, events included, has run on return.
    bool Execute(bool synchronous);
    // Stops the running request; a request that failed stays Busy until this is called.
    void Cancel();
    // Closes the request and connection, ends the response stage, clears Cancelled and Busy.
    void CloseHandles();

    // The only way LastError is set; fires OnError for every code but 0 and 997.
    void RecordError(std::uint32_t code);
    // The facility's message for code ("" when it has none), with the server's response text
    // appended for the extended-error code.
    static std::string ErrorText(std::uint32_t code);

    // One status notification of the facility for this component's request.
    void HandleStatus(std::uint32_t status, const void *info, std::uint32_t infoLength);

    // Public state. Values filled during a request are read in handlers, or once Busy is false.
    HINTERNET SessionHandle() const { return m_sessionHandle; }
    HINTERNET ConnectionHandle() const { return m_connectionHandle; }
    HINTERNET RequestHandle() const { return m_requestHandle; }
    std::uint32_t LastError() const { return m_lastError; }
    const StringList &ResponseHeaders() const { return m_responseHeaders; }
    const std::string &Response() const { return m_response; }
    const std::string &RequestBody() const { return m_requestBody; }
    const std::string &ServerAddress() const { return m_serverAddress; }
    const std::string &RedirectURL() const { return m_redirectURL; }
    int BytesSent() const { return m_bytesSent; }
    int BytesReceived() const { return m_bytesReceived; }
    int TotalBytesReceived() const { return m_totalBytesReceived; }
    int BytesRead() const { return m_bytesRead; }
    int TotalBytesRead() const { return m_totalBytesRead; }
    int ChunkOffset() const { return m_chunkOffset; }
    int StatusCode() const { return m_statusCode; }
    // Valid only inside a handler of a status event.
    const void *StatusInfo() const { return m_statusInfo; }
    std::uint32_t StatusInfoLength() const { return m_statusInfoLength; }
    int AuthAttempts() const { return m_authAttempts; }
    bool Cancelled() const { return m_cancelled; }
    bool Busy() const { return m_busy; }
    std::uint32_t OpenFlags() const { return m_openFlags; }
    std::uint32_t RequestFlags() const { return m_requestFlags; }
    bool UseNotifyWindow() const { return m_useNotifyWindow; }
    TResponseStage Stage() const { return m_stage; }
    TBodyCut BodyCut() const { return m_bodyCut; }
    // How long a request may take from its send, whatever the server does: the connect time-out
    // plus the facility's transfer limit (60 s). A response whose headers arrived in time is
    // then complete with its body cut short; one that did not has failed with a time-out.
    std::chrono::milliseconds RequestTimeLimit() const;

    // The one notifier shared by all components with UseNotifyWindow, and how many use it.
    static int NotifyWindowCount();
    static QObject *NotifyWindow();

private:
    // Request stages. Each that may call a handler answers false once a handler has destroyed
    // the component: nothing of it may be touched then.
    void OpenSession();
    bool CloseSession();
    [[nodiscard]] bool SendRequest();
    [[nodiscard]] bool ProcessResponse();
    [[nodiscard]] bool CheckAuthRequired(bool &needed);
    [[nodiscard]] bool ReadResponseHeaders();
    // Reads the body on from where it stands; arrived: a pending read has just brought
    // m_chunkRead bytes.
    [[nodiscard]] bool readBody(bool arrived);
    [[nodiscard]] bool endBody(std::exception_ptr failure);
    [[nodiscard]] bool askCredentials(bool &accepted);
    [[nodiscard]] bool giveUpAuthentication();
    [[nodiscard]] bool fireRequestComplete();
    void handOverCredentials(HINTERNET connection);
    // The facility's completion of the pending send or read of an asynchronous request.
    [[nodiscard]] bool requestCompleted(const platform::inet::InternetAsyncResult &result);
    // Runs step once the facility's notifications of this turn are out, unless the send it
    // belongs to has ended meanwhile.
    void afterNotifications(void (TAdvHttp::*step)());
    void continueResponse();
    void continueBody();
    // Runs part of a response stage from the loop; a handler's exception ends the request.
    void runStep(const std::function<bool()> &part);
    void finishStep(const std::exception_ptr &failure);
    bool timeIsUp() const;
    void cutBody(TBodyCut why);
    void releaseResponse();
    void reserveForBody();

    // URL consistency.
    bool BuildURL();
    bool SplitURL();
    void recomputeRequestFlags();

    // Errors and events.
    [[nodiscard]] bool recordError(std::uint32_t code);
    // LastError := 0, then the failure's code; raises EInetError for a real error. The
    // facility's last error must be taken right after its call, before anything else runs.
    [[nodiscard]] bool checkResultWith(bool result, std::uint32_t error);
    void CheckResult(bool result);
    [[nodiscard]] bool fire(const TNotifyEvent &handler);
    static void StatusCallback(HINTERNET handle, std::uintptr_t context, std::uint32_t status,
                               const void *info, std::uint32_t infoLength);
    void enlistForNotifications();
    void delistFromNotifications();

    // Published property fields.
    int m_connectTimeout = 30000;
    bool m_raiseExceptions = true;
    std::string m_userAgent;
    std::string m_proxy;
    bool m_ssl = false;
    std::string m_url;
    std::string m_urlPath;
    std::string m_extraInfo;
    int m_port = 80;
    std::string m_userName;
    std::string m_password;
    std::string m_proxyUserName;
    std::string m_proxyPassword;
    std::string m_hostName;
    bool m_defaultUi = true;
    StringList m_requestHeaders;
    StringList m_acceptTypes;
    std::string m_method;
    int m_authRetries = 3;
    TInternetFlags m_internetFlags;

    TNotifyEvent m_onClosingConnection;
    TNotifyEvent m_onConnectedToServer;
    TNotifyEvent m_onConnectingToServer;
    TNotifyEvent m_onConnectionClosed;
    TNotifyEvent m_onIntermediateResponse;
    TNotifyEvent m_onNameResolved;
    TNotifyEvent m_onReceivingResponse;
    TNotifyEvent m_onResponseReceived;
    TNotifyEvent m_onRedirect;
    TNotifyEvent m_onRequestComplete;
    TNotifyEvent m_onRequestSent;
    TNotifyEvent m_onResolvingName;
    TNotifyEvent m_onSendingRequest;
    TNotifyEvent m_onStateChange;
    TNotifyEvent m_onDataAvailable;
    TNotifyEvent m_onNeedAuth;
    TNotifyEvent m_onNeedProxyAuth;
    TNotifyEvent m_onError;

    // Public state fields.
    HINTERNET m_sessionHandle = nullptr;
    HINTERNET m_connectionHandle = nullptr;
    HINTERNET m_requestHandle = nullptr;
    std::uint32_t m_lastError = 0;
    StringList m_responseHeaders;
    std::string m_response;
    std::string m_requestBody;
    std::string m_serverAddress;
    std::string m_redirectURL;
    int m_bytesSent = 0;
    int m_bytesReceived = 0;
    int m_totalBytesReceived = 0;
    int m_bytesRead = 0;
    int m_totalBytesRead = 0;
    int m_chunkOffset = 0;
    int m_statusCode = 0;
    const void *m_statusInfo = nullptr;
    std::uint32_t m_statusInfoLength = 0;
    int m_authAttempts = 0;
    bool m_cancelled = false;
    bool m_busy = false;
    std::uint32_t m_openFlags = 0;
    std::uint32_t m_requestFlags = 0;
    bool m_useNotifyWindow = false;
    TBodyCut m_bodyCut = TBodyCut::None;

    TResponseStage m_stage = TResponseStage::Idle;
    // The asynchronous read that the facility is to complete.
    bool m_readPending = false;
    // Depth of the component's own stage code on the stack: a Cancel from a handler called
    // there only marks the request, and that code ends it at its next check.
    int m_inStage = 0;
    // One number per send, so a step queued for a send that has ended does nothing.
    std::uint64_t m_sendSerial = 0;
    // The mode the open session was made for; a request of the other mode reopens it.
    std::uint32_t m_sessionFlags = 0;
    // The request's context for the facility: a number never reused, so a notification that
    // was on its way while the component went away finds nobody instead of freed memory.
    std::uintptr_t m_context = 0;
    // When the current send's time is up (RequestTimeLimit).
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
    // Written by the facility when a pending read completes, so it lives as long as the component.
    std::vector<char> m_chunk;
    std::uint32_t m_chunkRead = 0;
    // Set when the component is destroyed; whoever called a handler keeps a copy and looks.
    std::shared_ptr<bool> m_gone = std::make_shared<bool>(false);
    bool m_destroying = false;
};

} // namespace quorvel
