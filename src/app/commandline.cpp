#include "app/commandline.h"

#include "platform/console.h"
#include "platform/hostutils.h"
#include "platform/log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QUrl>

#include <cstdio>

namespace Options {
const CmdOption BackgroundDownload{"--background-download", "-bd"};
const CmdOption Checksum{"--checksum", "-ck"};
const CmdOption Config{"--config", "-c"};
const CmdOption Debug{"--debug", "-db"};
const CmdOption Descr{"--descr", "-d"};
const CmdOption File{"--file", "-f"};
const CmdOption ForkOfUpdater{"--fork-of-updater", "-fu"};
const CmdOption FormatOutput{"--format-output", "-fo"};
const CmdOption Mode{"--mode", "-m"};
const CmdOption LastModified{"--last-modified", "-lm"};
const CmdOption NoProxy{"--no-proxy", "-np"};
const CmdOption Package{"--package", "-pkg"};
const CmdOption Path{"--path", "-p"};
const CmdOption ProxyTryCount{"--proxy-try-count", "-pc"};
const CmdOption ProxyAuthUser{"--proxy-auth-user", "-pu"};
const CmdOption ProxyPort{"--proxy-port", "-po"};
const CmdOption ProxyServer{"--proxy-server", "-ps"};
const CmdOption UpdateDescription{"--update-description", "-ud"};
const CmdOption UpdateDuringInstallation{"--update-during-installation", "-ui"};
const CmdOption UpdateInfo{"--update-info", "-i"};
const CmdOption Update{"--update", "-u"};
const CmdOption Url{"--url", "-l"};
const CmdOption UuidList{"--uuid-list", "-id"};
const CmdOption Version{"--version", "-v"};
} // namespace Options

namespace {

const CmdOption* const kAllOptions[] = {
    &Options::BackgroundDownload, &Options::Checksum,      &Options::Config,        &Options::Debug,
    &Options::Descr,              &Options::File,          &Options::ForkOfUpdater, &Options::FormatOutput,
    &Options::Mode,               &Options::LastModified,  &Options::NoProxy,       &Options::Package,
    &Options::Path,               &Options::ProxyTryCount, &Options::ProxyAuthUser, &Options::ProxyPort,
    &Options::ProxyServer,        &Options::UpdateDescription, &Options::UpdateDuringInstallation,
    &Options::UpdateInfo,         &Options::Update,        &Options::Url,           &Options::UuidList,
    &Options::Version,
};

bool IsKnownOptionWord(const QString& word)
{
    for (const CmdOption* option : kAllOptions) {
        if (word == QLatin1String(option->longName) || word == QLatin1String(option->shortName))
            return true;
    }
    return false;
}

bool IsOneOf(const QString& value, std::initializer_list<const char*> allowed)
{
    for (const char* candidate : allowed) {
        if (value == QLatin1String(candidate))
            return true;
    }
    return false;
}

} // namespace

CCommandLine::CCommandLine(int argc, char** argv)
    : m_pArguments(new QStringList)
{
    if (argc > 1 && argv != nullptr && argv[1] != nullptr)
        m_qsAction = QString::fromUtf8(argv[1]);
    if (!Console::CommandLineWords(argc, argv, *m_pArguments))
        m_pArguments->clear();
}

CCommandLine::~CCommandLine()
{
    delete m_pArguments;
}

bool CCommandLine::HasOption(const CmdOption& option) const
{
    for (int i = 1; i < m_pArguments->size(); ++i) {
        const QString& word = m_pArguments->at(i);
        if (word == QLatin1String(option.longName) || word == QLatin1String(option.shortName))
            return true;
    }
    return false;
}

QString CCommandLine::ValueOfName(const char* name) const
{
    const int index = m_pArguments->lastIndexOf(QLatin1String(name));
    if (index <= 0 || index + 1 >= m_pArguments->size())
        return QString();
    const QString& next = m_pArguments->at(index + 1);
    return next.startsWith(QLatin1Char('-')) ? QString() : next;
}

QString CCommandLine::OptionValue(const CmdOption& option) const
{
    const QString value = ValueOfName(option.longName);
    return value.isEmpty() ? ValueOfName(option.shortName) : value;
}

bool CCommandLine::Fail(const QString& message) const
{
    PrintUserError(message);
    return false;
}

bool CCommandLine::ValidateCommandLine() const
{
    const QString& action = m_qsAction;
    if (action.isEmpty() || action == QLatin1String("info") || action == QLatin1String("version"))
        return true;
    if (action != QLatin1String("check") && action != QLatin1String("download"))
        return Fail(QObject::tr("Updater command [%1] is unknown.").arg(action));

    for (const QString& word : *m_pArguments) {
        if (word.startsWith(QLatin1Char('-')) && !IsKnownOptionWord(word))
            return Fail(QObject::tr("Updater command line argument [%1] is unknown.").arg(word));
    }

    const QString type = OptionValue(Options::Update);
    if (!IsOneOf(type, {"halden", "ferrowick", "lum", "file"}))
        return Fail(QObject::tr("Update mode [%1] is unknown.").arg(type));

    if (type == QLatin1String("file")) {
        if (action != QLatin1String("download"))
            return Fail(QObject::tr("Illegal command [%1] for update mode [%2].").arg(action, type));
        if (OptionValue(Options::File).isEmpty())
            return Fail(QObject::tr("Update mode [%1] needs a source file to download it.").arg(type));
        if (OptionValue(Options::Path).isEmpty())
            return Fail(QObject::tr("Update mode [%1] needs a target path to download the file.").arg(type));
    }

    if (HasOption(Options::Mode)) {
        const QString mode = OptionValue(Options::Mode);
        if (!IsOneOf(mode, {"loud", "low", "muffle", "silent"}))
            return Fail(QObject::tr("Updater interactive mode [%1] is unknown.").arg(mode));
    }

    auto hasBothNames = [this](const CmdOption& option) {
        return m_pArguments->indexOf(QLatin1String(option.longName), 1) >= 1
               && m_pArguments->indexOf(QLatin1String(option.shortName), 1) >= 1;
    };
    bool conflict = false;
    for (const CmdOption* option : {&Options::Update, &Options::Descr, &Options::Url, &Options::Path,
                                    &Options::Config, &Options::Mode, &Options::UpdateDescription})
        conflict = conflict || hasBothNames(*option);
    conflict = conflict || (HasOption(Options::Descr) && HasOption(Options::Url))
               || (HasOption(Options::Config) && HasOption(Options::Url))
               || (HasOption(Options::Config) && HasOption(Options::Descr))
               || (HasOption(Options::Config) && HasOption(Options::UuidList));
    if (conflict)
        return Fail(QObject::tr("Simultaneous usage of command line arguments is incorrect."));

    for (const CmdOption* option : {&Options::Path, &Options::Descr}) {
        if (HasOption(*option) && !QFile::exists(OptionValue(*option)))
            return Fail(QObject::tr("Invalid file path: [%1]").arg(OptionValue(*option)));
    }

    for (const CmdOption* option : {&Options::Url, &Options::ProxyServer}) {
        if (!HasOption(*option))
            continue;
        const QUrl url(OptionValue(*option), QUrl::TolerantMode);
        if (!url.isValid())
            return Fail(QObject::tr("Invalid URL: [%1]").arg(url.toString()));
    }

    if (HasOption(Options::ProxyPort)) {
        bool isNumber = false;
        const QString port = OptionValue(Options::ProxyPort);
        port.toUShort(&isNumber, 10);
        if (!isNumber)
            return Fail(QObject::tr("Invalid port: [%1]").arg(port));
        if (!HasOption(Options::ProxyServer))
            return Fail(QObject::tr("Proxy port argument without proxy server URL."));
    }

    if (HasOption(Options::LastModified)) {
        // HTTP dates carry English day and month names whatever the user's locale.
        const QString value = OptionValue(Options::LastModified);
        const QDateTime parsed = QDateTime::fromString(value, Qt::RFC2822Date);
        if (!parsed.isValid()
            || QLocale::c().toString(parsed, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'")) != value)
            return Fail(QObject::tr("Incorrect date-time format: mus be RFC 822 e.g. \"Wed, 02 Jun 2013 14:33:09 GMT\""));
    }

    if (action == QLatin1String("check") && type == QLatin1String("halden") && !HasOption(Options::Url)
        && !HasOption(Options::Descr))
        return Fail(QObject::tr("To check for %1 updates, you must specify the URL to the updates description file "
                                "or the path to it if this file is stored locally.")
                        .arg(QStringLiteral("Corvantis Halden")));
    return true;
}

bool CCommandLine::HandleInfoAndVersion() const
{
    if (m_qsAction.isEmpty() || m_qsAction == QLatin1String("info")) {
        std::printf("%s", kUsageText);
        FlushStandardStream(stdout);
        return false;
    }
    if (m_qsAction == QLatin1String("version")) {
        std::printf("Version: %s\n", kProductVersion);
        FlushStandardStream(stdout);
        return false;
    }
    return true;
}

void PrintUserError(const QString& text)
{
    if (text.isEmpty())
        return;
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    FlushStandardStream(stderr);
}

void FlushStandardStream(std::FILE* stream)
{
    static bool s_reported[2] = {false, false};
    if (std::fflush(stream) == 0 && !std::ferror(stream))
        return;
    const bool isError = stream == stderr;
    if (!s_reported[isError]) {
        s_reported[isError] = true;
        LogMessage(kProgramComponent, 0, "Can not write to the standard %s: %s. The run goes on.",
                   isError ? "error" : "output", HostUtils::SystemErrorText().toUtf8().constData());
    }
    // Cleared, so that a later flush does not fail for what was already lost.
    std::clearerr(stream);
}
