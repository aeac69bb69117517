// What becomes of a reply: the rules that turn its network error, HTTP status and the updater's
// state into the updater's next step.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace ReplyOutcome {

// Verdict on a status as soon as the reply's header is known.
enum class Header {
    Pass,          // 200, 206, 304, and any reply that is not HTTP
    PassLogged,    // 301 and 302: logged as a failure, then handled as a redirect at completion
    FailRange,     // 416: the transfer is aborted, state 22
    Fail,          // anything else: the transfer is aborted, state 8
};
Header HeaderVerdict(int status, bool http);

// True when the body of a reply is data of the file being written: a 200 or 206 answer, or a
// reply that is not HTTP. The bodies of redirects and errors never go into a file.
bool CarriesFileData(int status, bool http);

// The step that follows a finished reply (neither cancelled nor stale).
enum class Step {
    BackgroundRetry,    // a failure in background mode with retries left: try again in 10 s
    Failure,            // a failure: log, message and classification
    Redirect,           // 301 or 302 with a target
    NotModified,        // 304
    ProxyAuthentication, // 407: the state's request once more
    DescriptionFetched, // state 2 answered
    RangeProbeAnswered, // state 6 answered
    PlainProbeAnswered, // state 26 answered
    FileFetched,        // state 7 answered
    Nothing,            // any other state
};
struct Facts {
    int networkError = 0; // QNetworkReply::NetworkError
    int status = 0;       // HTTP status, 0 when none
    int state = 0;        // the updater's state
    bool hasRedirectTarget = false;
    bool background = false;
    int backgroundRetries = 0; // retries left
};
Step NextStep(const Facts& facts);

// Where a failure leads.
enum class Failure {
    ConnectionFailed, // state 21: the host cannot be reached at all
    NetworkError,     // state 25: the connection broke or the server failed
    CheckFolder,      // anything else: the download folder is checked, else state 8
};
Failure Classify(int networkError);

// Whether redirect number count + 1 of the run may be followed.
constexpr int kRedirectLimit = 10;
bool RedirectAllowed(int count);

// What the answer to a plain probe (state 26) says about ranges.
enum class Ranges { Supported, NotSupported, AskWithRange };
// The range probe (state 6): "Accept-Ranges: bytes" in any letter case.
bool RangeProbeShowsRanges(const QByteArray& acceptRanges);
Ranges PlainProbeVerdict(const QByteArray& acceptRanges, bool requestHadRange, int status);

// Failed background attempts in a row that are tried again, 10 s apart.
constexpr int kBackgroundRetries = 10;
// How long a transfer may show no progress: in the foreground, and in background mode.
constexpr int kLostConnectionMs = 20000;
constexpr int kBackgroundLostConnectionMs = 120000;

// What a finished update-file GET leads to, from the part file's size.
enum class Completion { NextChunk, SizeMismatch, Complete };
Completion FileCompletion(bool background, qint64 partSize, qint64 fileSize);

// What the connection watchdog does on a tick.
enum class Watch { Stop, ConnectionLost, AbortReply, Wait };
// Silence beyond which a running reply is aborted (and, in background mode, retried).
constexpr qint64 kAbortAfterMs = kLostConnectionMs;
Watch WatchdogStep(int state, qint64 silentMs, qint64 limitMs, bool replyRunning);

} // namespace ReplyOutcome
