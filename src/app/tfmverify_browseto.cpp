// The main window's HTTP component and its event handlers: the two results go to the run, the
// progress events become lines of the connection log.

#include "app/tfmverify.h"

#include "app/credentialdialog.h"
#include "http/advhttp.h"
#include "http/credentialprompt.h"
#include "verify/connectionlog.h"
#include "widgets/searchlistbox.h"

namespace quorvel
{

void TTfmVerify::createBrowseTo()
{
    // A server that asks for a password is answered through the program's dialog.
    installCredentialPrompt(&CredentialDialog::ask);
    // Owned by the window, so every event of the component is handled on the GUI thread.
    browseTo_ = new TAdvHttp(this);
    browseTo_->setObjectName(QStringLiteral("BrowseTo"));
    browseTo_->setConnectTimeout(10000);
    browseTo_->setRaiseExceptions(false);
    browseTo_->setUserAgent("Merrowin WinInet Component");
    browseTo_->setMethod("GET");
    browseTo_->setAuthRetries(3);
    browseTo_->setInternetFlags(
        {ifIgnoreCertCnInvalid, ifIgnoreCertDateInvalid, ifKeepConnection, ifNoUi, ifReload});
    // A placeholder; the run sets the URL of every favorite it checks.
    browseTo_->setURL("http://localhost/");

    browseTo_->setOnClosingConnection([this](TAdvHttp *s) { BrowseTOClosingConnection(s); });
    browseTo_->setOnConnectedToServer([this](TAdvHttp *s) { BrowseTOConnectedToServer(s); });
    browseTo_->setOnConnectingToServer([this](TAdvHttp *s) { BrowseTOConnectingToServer(s); });
    browseTo_->setOnConnectionClosed([this](TAdvHttp *s) { BrowseTOConnectionClosed(s); });
    browseTo_->setOnDataAvailable([this](TAdvHttp *s) { BrowseTODataAvailable(s); });
    browseTo_->setOnIntermediateResponse([this](TAdvHttp *s) { BrowseTOIntermediateResponse(s); });
    browseTo_->setOnNameResolved([this](TAdvHttp *s) { BrowseTONameResolved(s); });
    browseTo_->setOnReceivingResponse([this](TAdvHttp *s) { BrowseTOReceivingResponse(s); });
    browseTo_->setOnRedirect([this](TAdvHttp *s) { BrowseTORedirect(s); });
    browseTo_->setOnRequestComplete([this](TAdvHttp *s) { BrowseTORequestComplete(s); });
    browseTo_->setOnError([this](TAdvHttp *s) { BrowseTOError(s); });

    run_ = std::make_unique<VerifyRun>(*this, *browseTo_);
}

void TTfmVerify::BrowseTORequestComplete(TAdvHttp *sender)
{
    // A response counts by its headers even when its body was cut short; the log says so.
    if (const std::string cut = bodyCutLine(*sender); !cut.empty())
        LogEvent(cut);
    run_->RequestComplete();
}
void TTfmVerify::BrowseTOError(TAdvHttp *)
{
    run_->Error();
}

void TTfmVerify::BrowseTOClosingConnection(TAdvHttp *sender)
{
    LogEvent(progressLine(ProgressEvent::ClosingConnection, *sender));
}

void TTfmVerify::BrowseTOConnectedToServer(TAdvHttp *sender)
{
    LogEvent(progressLine(ProgressEvent::ConnectedToServer, *sender));
}

void TTfmVerify::BrowseTOConnectingToServer(TAdvHttp *sender)
{
    LogEvent(progressLine(ProgressEvent::ConnectingToServer, *sender));
}

void TTfmVerify::BrowseTOConnectionClosed(TAdvHttp *sender)
{
    LogEvent(progressLine(ProgressEvent::ConnectionClosed, *sender));
}

void TTfmVerify::BrowseTODataAvailable(TAdvHttp *sender)
{
    LogEvent(progressLine(ProgressEvent::DataAvailable, *sender));
}

void TTfmVerify::BrowseTOIntermediateResponse(TAdvHttp *sender)
{
    LogEvent(progressLine(ProgressEvent::IntermediateResponse, *sender));
}

void TTfmVerify::BrowseTONameResolved(TAdvHttp *sender)
{
    LogEvent(progressLine(ProgressEvent::NameResolved, *sender));
}

void TTfmVerify::BrowseTOReceivingResponse(TAdvHttp *sender)
{
    LogEvent(progressLine(ProgressEvent::ReceivingResponse, *sender));
}

void TTfmVerify::BrowseTORedirect(TAdvHttp *sender)
{
    LogEvent(progressLine(ProgressEvent::Redirect, *sender));
}

void TTfmVerify::LogEvent(const std::string &line)
{
    if (isDestroying())
        return;
    events_->addItem(QString::fromStdString(line));
}

} // namespace quorvel
