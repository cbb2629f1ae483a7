#include "http/advhttp.h"

#include "http/httpnotifier.h"
#include "inet/inet_timeouts.h"
#include "inet/url.h"

#include <chrono>
#include <stdexcept>

namespace quorvel
{

namespace inet = platform::inet;

TAdvHttp::TAdvHttp(QObject *owner) : QObject(owner)
{
    m_userAgent = defaultUserAgent;
    m_raiseExceptions = true;
    m_ssl = false;
    m_method = "GET";
    m_hostName = "localhost";
    m_port = 80;
    m_defaultUi = true;
    m_connectTimeout = 30000;
    m_authRetries = 3;
    m_useNotifyWindow = owner != nullptr && owner->isWidgetType();
    setInternetFlags(TInternetFlags::fromBits(defaultInternetFlagBits));
    m_chunk.assign(16385, 0);
    enlistForNotifications();
    if (m_useNotifyWindow)
        HttpNotifier::acquire();
}

TAdvHttp::~TAdvHttp()
{
    // Code of this component below us on the stack (a handler that destroys its component)
    // sees this and touches nothing more.
    m_destroying = true;
    *m_gone = true;
    delistFromNotifications();
    // Closing the request stops its transfer, so nothing more is reported for it.
    CloseSession();
    if (m_useNotifyWindow)
        HttpNotifier::release();
}

std::chrono::milliseconds TAdvHttp::RequestTimeLimit() const
{
    // The facility's own connect limit rules when none is set, so it is counted the same way.
    const auto connect = static_cast<std::uint32_t>(m_connectTimeout);
    return std::chrono::milliseconds(connect ? connect : inet::defaultConnectTimeoutMs) +
           inet::transferTimeLimit();
}

int TAdvHttp::NotifyWindowCount()
{
    return HttpNotifier::count();
}

QObject *TAdvHttp::NotifyWindow()
{
    return HttpNotifier::instance();
}

void TAdvHttp::setConnectTimeout(int milliseconds)
{
    m_connectTimeout = milliseconds;
}

void TAdvHttp::setRaiseExceptions(bool raise)
{
    m_raiseExceptions = raise;
}

void TAdvHttp::setUserAgent(const std::string &agent)
{
    m_userAgent = agent;
    if (m_sessionHandle) {
        CloseSession();
        OpenSession();
    }
}

void TAdvHttp::setProxy(const std::string &proxy)
{
    m_proxy = proxy;
    if (m_sessionHandle) {
        CloseSession();
        OpenSession();
    }
}

void TAdvHttp::setSSL(bool ssl)
{
    m_ssl = ssl;
    BuildURL();
}

void TAdvHttp::setURL(const std::string &url)
{
    const std::string previous = m_url;
    // An https URL is rebuilt from its parts, which can fail after they were taken; they go
    // back with the text then, so a later request still goes where URL says.
    const std::string previousHost = m_hostName;
    const std::string previousPath = m_urlPath;
    const std::string previousExtra = m_extraInfo;
    const int previousPort = m_port;
    const bool previousSsl = m_ssl;
    m_url = url;
    try {
        SplitURL();
    } catch (...) {
        m_url = previous;
        m_hostName = previousHost;
        m_urlPath = previousPath;
        m_extraInfo = previousExtra;
        m_port = previousPort;
        m_ssl = previousSsl;
        throw;
    }
}

void TAdvHttp::setURLPath(const std::string &path)
{
    const std::string previous = m_urlPath;
    m_urlPath = path;
    try {
        BuildURL();
    } catch (...) {
        m_urlPath = previous;
        throw;
    }
}

void TAdvHttp::setExtraInfo(const std::string &extraInfo)
{
    const std::string previous = m_extraInfo;
    if (extraInfo.empty() || extraInfo.front() == '#' || extraInfo.front() == '?')
        m_extraInfo = extraInfo;
    else
        m_extraInfo = "?" + extraInfo;
    try {
        BuildURL();
    } catch (...) {
        m_extraInfo = previous;
        throw;
    }
}

void TAdvHttp::setPort(int port)
{
    m_port = port;
    BuildURL();
}

namespace
{

void handOver(TAdvHttp::HINTERNET connection, std::uint32_t option, const std::string &text)
{
    if (connection)
        inet::InternetSetOption(connection, option, text.c_str(),
                                static_cast<std::uint32_t>(text.size()));
}

} // namespace

void TAdvHttp::setUserName(const std::string &userName)
{
    m_userName = userName;
    handOver(ConnectionHandle(), inet::INTERNET_OPTION_USERNAME, m_userName);
}

void TAdvHttp::setPassword(const std::string &password)
{
    m_password = password;
    handOver(ConnectionHandle(), inet::INTERNET_OPTION_PASSWORD, m_password);
}

void TAdvHttp::setProxyUserName(const std::string &userName)
{
    m_proxyUserName = userName;
    handOver(ConnectionHandle(), inet::INTERNET_OPTION_PROXY_USERNAME, m_proxyUserName);
}

void TAdvHttp::setProxyPassword(const std::string &password)
{
    m_proxyPassword = password;
    handOver(ConnectionHandle(), inet::INTERNET_OPTION_PROXY_PASSWORD, m_proxyPassword);
}

void TAdvHttp::handOverCredentials(HINTERNET connection)
{
    // Proxy credentials go with every request too, not only when set while a connection is open.
    handOver(connection, inet::INTERNET_OPTION_USERNAME, m_userName);
    handOver(connection, inet::INTERNET_OPTION_PASSWORD, m_password);
    handOver(connection, inet::INTERNET_OPTION_PROXY_USERNAME, m_proxyUserName);
    handOver(connection, inet::INTERNET_OPTION_PROXY_PASSWORD, m_proxyPassword);
}

void TAdvHttp::setHostName(const std::string &hostName)
{
    const std::string previous = m_hostName;
    m_hostName = hostName;
    try {
        BuildURL();
    } catch (...) {
        m_hostName = previous;
        throw;
    }
}

void TAdvHttp::setDefaultUi(bool defaultUi)
{
    m_defaultUi = defaultUi;
}

void TAdvHttp::setRequestHeaders(const StringList &headers)
{
    m_requestHeaders.assign(headers);
}

void TAdvHttp::setAcceptTypes(const StringList &types)
{
    m_acceptTypes.assign(types);
}

void TAdvHttp::setMethod(const std::string &method)
{
    m_method = method;
}

std::string TAdvHttp::Text() const
{
    // The body is taken as zero-terminated text.
    return m_response.substr(0, m_response.find('\0'));
}

void TAdvHttp::setText(const std::string &text)
{
    m_requestBody = text;
}

void TAdvHttp::setAuthRetries(int retries)
{
    m_authRetries = retries;
}

void TAdvHttp::setInternetFlags(TInternetFlags flags)
{
    m_internetFlags = flags;
    recomputeRequestFlags();
}

void TAdvHttp::recomputeRequestFlags()
{
    m_requestFlags = requestFlagsOf(m_internetFlags);
}

void TAdvHttp::setOnClosingConnection(TNotifyEvent handler)
{
    m_onClosingConnection = std::move(handler);
}
void TAdvHttp::setOnConnectedToServer(TNotifyEvent handler)
{
    m_onConnectedToServer = std::move(handler);
}
void TAdvHttp::setOnConnectingToServer(TNotifyEvent handler)
{
    m_onConnectingToServer = std::move(handler);
}
void TAdvHttp::setOnConnectionClosed(TNotifyEvent handler)
{
    m_onConnectionClosed = std::move(handler);
}
void TAdvHttp::setOnIntermediateResponse(TNotifyEvent handler)
{
    m_onIntermediateResponse = std::move(handler);
}
void TAdvHttp::setOnNameResolved(TNotifyEvent handler)
{
    m_onNameResolved = std::move(handler);
}
void TAdvHttp::setOnReceivingResponse(TNotifyEvent handler)
{
    m_onReceivingResponse = std::move(handler);
}
void TAdvHttp::setOnResponseReceived(TNotifyEvent handler)
{
    m_onResponseReceived = std::move(handler);
}
void TAdvHttp::setOnRedirect(TNotifyEvent handler)
{
    m_onRedirect = std::move(handler);
}
void TAdvHttp::setOnRequestComplete(TNotifyEvent handler)
{
    m_onRequestComplete = std::move(handler);
}
void TAdvHttp::setOnRequestSent(TNotifyEvent handler)
{
    m_onRequestSent = std::move(handler);
}
void TAdvHttp::setOnResolvingName(TNotifyEvent handler)
{
    m_onResolvingName = std::move(handler);
}
void TAdvHttp::setOnSendingRequest(TNotifyEvent handler)
{
    m_onSendingRequest = std::move(handler);
}
void TAdvHttp::setOnStateChange(TNotifyEvent handler)
{
    m_onStateChange = std::move(handler);
}
void TAdvHttp::setOnDataAvailable(TNotifyEvent handler)
{
    m_onDataAvailable = std::move(handler);
}
void TAdvHttp::setOnNeedAuth(TNotifyEvent handler)
{
    m_onNeedAuth = std::move(handler);
}
void TAdvHttp::setOnNeedProxyAuth(TNotifyEvent handler)
{
    m_onNeedProxyAuth = std::move(handler);
}
void TAdvHttp::setOnError(TNotifyEvent handler)
{
    m_onError = std::move(handler);
}

bool TAdvHttp::BuildURL()
{
    // Only port 80 is left out of the text, whatever the scheme.
    std::string base = (m_ssl ? "https://" : "http://") + m_hostName;
    if (m_port != 80)
        base += ":" + std::to_string(m_port);
    std::string combined;
    const bool combinedOk =
        platform::InternetCombineUrl(base, m_urlPath + m_extraInfo, combined, 2055);
    CheckResult(combinedOk);
    m_url = combined;
    return true;
}

bool TAdvHttp::SplitURL()
{
    platform::UrlParts parts;
    const bool cracked = platform::InternetCrackUrl(m_url, parts);
    CheckResult(cracked);
    // A refused scheme leaves the parts alone, so they keep matching the URL that is put back.
    if (parts.scheme != platform::UrlScheme::Http && parts.scheme != platform::UrlScheme::Https)
        throw std::runtime_error("Invalid protocol");
    m_hostName = parts.hostName;
    m_urlPath = parts.urlPath;
    m_extraInfo = parts.extraInfo;
    // The port is taken before SSL rebuilds the URL, so the rebuilt text names the URL's port.
    m_port = parts.port;
    if (parts.scheme == platform::UrlScheme::Https)
        setSSL(true);
    if (!parts.userName.empty())
        m_userName = parts.userName;
    if (!parts.password.empty())
        m_password = parts.password;
    return true;
}

} // namespace quorvel
