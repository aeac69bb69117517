#include "download/replyoutcome.h"

#include "updater/updater.h"

#include <QNetworkReply>

namespace ReplyOutcome {

Header HeaderVerdict(int status, bool http)
{
    if (!http)
        return Header::Pass;
    switch (status) {
    case 200:
    case 206:
    case 304:
        return Header::Pass;
    case 301:
    case 302:
        return Header::PassLogged;
    case 416:
        return Header::FailRange;
    default:
        return Header::Fail;
    }
}

bool CarriesFileData(int status, bool http)
{
    return !http || status == 200 || status == 206;
}

Step NextStep(const Facts& facts)
{
    if (facts.networkError != QNetworkReply::NoError)
        return facts.background && facts.backgroundRetries > 0 ? Step::BackgroundRetry : Step::Failure;
    switch (facts.status) {
    case 301:
    case 302:
        if (facts.hasRedirectTarget)
            return Step::Redirect;
        break;
    case 304:
        return Step::NotModified;
    case 407:
        return Step::ProxyAuthentication;
    default:
        break;
    }
    switch (facts.state) {
    case CUpdater::StateGetDescription:
        return Step::DescriptionFetched;
    case CUpdater::StateProbeFile:
        return Step::RangeProbeAnswered;
    case CUpdater::StateReprobeFile:
        return Step::PlainProbeAnswered;
    case CUpdater::StateDownloadFile:
        return Step::FileFetched;
    default:
        return Step::Nothing;
    }
}

Failure Classify(int networkError)
{
    switch (networkError) {
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::UnknownServerError:
        return Failure::ConnectionFailed;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::UnknownProxyError:
    case QNetworkReply::ContentReSendError:
    case QNetworkReply::UnknownContentError:
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::InternalServerError:
    case QNetworkReply::ServiceUnavailableError:
        return Failure::NetworkError;
    default:
        return Failure::CheckFolder;
    }
}

bool RedirectAllowed(int count)
{
    return count < kRedirectLimit;
}

bool RangeProbeShowsRanges(const QByteArray& acceptRanges)
{
    return acceptRanges.toLower() == "bytes";
}

Ranges PlainProbeVerdict(const QByteArray& acceptRanges, bool requestHadRange, int status)
{
    const QByteArray value = acceptRanges.toLower();
    if (value == "bytes")
        return Ranges::Supported;
    if (value == "none")
        return Ranges::NotSupported;
    if (!requestHadRange)
        return Ranges::AskWithRange;
    return status == 206 ? Ranges::Supported : Ranges::NotSupported;
}

Completion FileCompletion(bool background, qint64 partSize, qint64 fileSize)
{
    if (background && partSize < fileSize)
        return Completion::NextChunk;
    return partSize == fileSize ? Completion::Complete : Completion::SizeMismatch;
}

Watch WatchdogStep(int state, qint64 silentMs, qint64 limitMs, bool replyRunning)
{
    switch (state) {
    case CUpdater::StateGetDescription:
    case CUpdater::StateProbeFile:
    case CUpdater::StateReprobeFile:
    case CUpdater::StateDownloadFile:
        break;
    default:
        return Watch::Stop;
    }
    if (silentMs > limitMs)
        return Watch::ConnectionLost;
    if (silentMs > kAbortAfterMs && replyRunning)
        return Watch::AbortReply;
    return Watch::Wait;
}

} // namespace ReplyOutcome
