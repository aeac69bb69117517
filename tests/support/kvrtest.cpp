#include "kvrtest.h"
#include "platform/log.h"
#include "proxy/httpproxyfactory.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTest>

#include <QDir>
#include <QDirIterator>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

namespace KvrTest {

QString ProgramPath()
{
    return WindowsProgram() ? qEnvironmentVariable("KVR_WINDOWS_PROGRAM") : QStringLiteral(KVR_PROGRAM);
}

bool WindowsProgram()
{
    return !qEnvironmentVariableIsEmpty("KVR_WINDOWS_PROGRAM");
}

QString DataPath(const QString& name)
{
    return QStringLiteral(KVR_TEST_DATA) + QLatin1Char('/') + name;
}

QString HelperPath(const QString& name)
{
    return QStringLiteral(KVR_BINARY_DIR) + QStringLiteral("/tests/") + name;
}

QString ProductInstallLocation()
{
    return QFileInfo(QStringLiteral(KVR_TRANSLATIONS_DIR)).path();
}

QString TestInstallLocation()
{
    return QStringLiteral(KVR_TEST_INSTALL_LOCATION);
}

Argv::Argv(const QStringList& words)
{
    m_storage.push_back("kvr_updater_ctl");
    for (const QString& word : words)
        m_storage.push_back(word.toUtf8());
    for (QByteArray& word : m_storage)
        m_pointers.push_back(word.data());
    m_pointers.push_back(nullptr);
}

namespace {

// Runs a registry tool of wine in the prefix of the Windows program, whose machine-wide and
// per-user settings live in that prefix's registry.
bool InWinePrefix(const QStringList& command)
{
    QProcess tool;
    tool.start(QStringLiteral(KVR_SOURCE_DIR "/scripts/wine-run"), command);
    return tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

} // namespace

QByteArray FromWindows(QByteArray text)
{
    return text.replace("\r\n", "\n").replace("Z:/", "/");
}

QString WindowsPath(const QString& path)
{
    return QStringLiteral("Z:") + QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

QString HostPath(const QString& windowsPath)
{
    static const QRegularExpression drive(QStringLiteral("^([A-Za-z]):/"));
    const QRegularExpressionMatch match = drive.match(windowsPath);
    if (!match.hasMatch())
        return windowsPath;
    return qEnvironmentVariable("WINEPREFIX") + QStringLiteral("/dosdevices/") + match.captured(1).toLower() +
           QStringLiteral(":/") + windowsPath.mid(3);
}

QString WindowsTempFolder()
{
    static QString folder;
    if (folder.isEmpty()) {
        QProcess shell;
        shell.start(QStringLiteral(KVR_SOURCE_DIR "/scripts/wine-run"), {"cmd", "/c", "echo %TEMP%"});
        shell.waitForFinished(60000);
        folder = QString::fromLocal8Bit(shell.readAllStandardOutput()).trimmed();
        folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
    return folder;
}

QString NoUiLanguageFor(const QString& lang)
{
    if (!WindowsProgram() || lang.isEmpty() || QFileInfo::exists(qEnvironmentVariable("LOCPATH") + '/' + lang))
        return QString();
    return QStringLiteral("wine takes the interface language from the C library's locale, and %1 is not among "
                          "those generated into LOCPATH").arg(lang);
}

Sandbox::Sandbox()
{
    for (const char* sub : {"home/Downloads", "config", "tmp", "state", "xdgconfig", "xdgsystem/Corvantis"})
        QDir().mkpath(path(QString::fromLatin1(sub)));
    // The registry outlives a sandbox: a run of the Windows program starts without the settings
    // of the runs before it, and with a direct connection.
    const QByteArray fresh = "REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Corvantis Software]\r\n"
                             "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvantis]\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections]"
                             "\r\n\"DefaultConnectionSettings\"=hex:46,00,00,00,00,00,00,00,01,00,00,00,00,00,00,00,"
                             "00,00,00,00,00,00,00,00\r\n";
    if (WindowsProgram() && WriteFile(path("fresh.reg"), fresh))
        InWinePrefix({"regedit", "/S", WindowsPath(path("fresh.reg"))});
}

QString Sandbox::path(const QString& relative) const
{
    return relative.isEmpty() ? m_dir.path() : m_dir.path() + QLatin1Char('/') + relative;
}

QProcessEnvironment Sandbox::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home());
    env.insert("XDG_CONFIG_HOME", path("xdgconfig"));
    env.insert("XDG_CONFIG_DIRS", path("xdgsystem")); // the machine-wide settings, /etc/xdg by default
    env.insert("XDG_STATE_HOME", stateDir());
    env.insert("TMPDIR", tempDir());
    env.insert("CORVANTIS_CONFIG_DIR", configDir());
    env.remove("XDG_RUNTIME_DIR");
    env.insert("TZ", "UTC");
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        env.remove(QString::fromLatin1(name));
    // The tester's own proxy settings would send every request of a run elsewhere.
    for (const char* name : {"auto_proxy", "http_proxy", "https_proxy", "all_proxy", "no_proxy"}) {
        env.remove(QString::fromLatin1(name));
        env.remove(QString::fromLatin1(name).toUpper());
    }
    return env;
}

bool Sandbox::setInstallLocation(const QString& location) const
{
    if (WindowsProgram())
        return InWinePrefix({"reg", "add", "HKLM\\SOFTWARE\\Corvantis\\Corvantis Lumen", "/v", "InstallLocation", "/t",
                             "REG_SZ", "/d", WindowsPath(location), "/f"});
    return WriteFile(path("xdgsystem/Corvantis/Corvantis Lumen.conf"),
                     "[General]\nInstallLocation=" + QFile::encodeName(location) + "\n");
}

RunResult Run(const QStringList& arguments, const RunOptions& options)
{
    return Run(ProgramPath(), arguments, options);
}

RunResult Run(const QString& program, const QStringList& arguments, const RunOptions& options)
{
    return Running(program, arguments, options).finish(options.timeoutMs);
}

Running::Running(const QStringList& arguments, const RunOptions& options)
    : Running(ProgramPath(), arguments, options)
{
}

Running::Running(const QString& program, const QStringList& arguments, const RunOptions& options)
{
    m_process.setProcessEnvironment(options.environment);
    m_result.logStart = LogStart(options.environment);
    // The Windows program, run directly or by a command that it ends.
    m_result.windows =
        program.endsWith(QLatin1String(".exe")) || (WindowsProgram() && arguments.contains(ProgramPath()));
    if (program.endsWith(QLatin1String(".exe")))
        m_process.start(QStringLiteral(KVR_SOURCE_DIR "/scripts/wine-run"), QStringList{program} + arguments);
    else if (options.asNobody)
        m_process.start("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + arguments);
    else
        m_process.start(program, arguments);
    if (!m_process.waitForStarted(10000))
        return;
    m_result.pid = m_process.processId();
    if (!options.input.isEmpty())
        m_process.write(options.input);
    m_process.closeWriteChannel();
}

Running::~Running()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

RunResult Running::finish(int timeoutMs)
{
    if (m_result.pid == 0)
        return m_result;
    m_result.finished = m_process.waitForFinished(timeoutMs);
    if (!m_result.finished) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_result.exitCode = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    m_result.out += m_process.readAllStandardOutput();
    m_result.err += m_process.readAllStandardError();
    if (m_result.err.contains("Sanitizer: ")) // the whole report, which a comparison would cut short
        qWarning("%s", m_result.err.constData());
    if (m_result.windows) {
        m_result.out = FromWindows(m_result.out);
        m_result.err = FromWindows(m_result.err);
        // GnuTLS, under wine's TLS layer, prints its own words for a failed handshake.
        if (m_result.err.contains("GnuTLS error: "))
            m_result.err = QString::fromUtf8(m_result.err)
                               .remove(QRegularExpression("^GnuTLS error: [^\n]*\n", QRegularExpression::MultilineOption))
                               .toUtf8();
    }
    return m_result;
}

namespace {

const char kSharedLog[] = "/var/log/corvantis-lum.log";
const qint64 kSharedLogLimit = 8 << 20;

QStringList LinesOfPid(const QByteArray& text, qint64 pid)
{
    QStringList lines;
    const QString marker = pid != 0 ? QStringLiteral(":%1:").arg(pid) : QStringLiteral(":");
    for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        const int slash = line.indexOf(QLatin1Char('/'));
        const int end = slash >= 0 ? line.indexOf(QLatin1String("/ "), slash + 1) : -1;
        if (end > slash && line.midRef(slash, end - slash).contains(marker))
            lines << line;
    }
    return lines;
}

} // namespace

LogPositions LogStart(const QProcessEnvironment& environment)
{
    MoveAsideWhenLarge(QString::fromLatin1(kSharedLog), kSharedLogLimit);
    LogPositions positions;
    // Under wine the program logs to the Windows folder of the prefix.
    const QString shared = WindowsProgram()
                               ? environment.value("WINEPREFIX") + QStringLiteral("/drive_c/windows/logs/corvantis-lum.log")
                               : QString::fromLatin1(kSharedLog);
    for (const QString& path : {shared, environment.value("XDG_STATE_HOME") + QStringLiteral("/corvantis-lum.log")}) {
        LogPosition position{path};
        position.inode = FileIdentity(path, &position.size);
        positions << position;
    }
    return positions;
}

QStringList LogLinesSince(const LogPositions& start, qint64 pid)
{
    QByteArray text;
    for (const LogPosition& position : start) {
        const quint64 inode = FileIdentity(position.path);
        if (position.inode != 0 && inode == position.inode) {
            text += ReadFile(position.path).mid(int(position.size));
            continue;
        }
        // The file was moved aside (or did not exist): the rest of the old one, then the new one.
        const QString moved = position.path + QStringLiteral(".1");
        if (position.inode != 0 && FileIdentity(moved) == position.inode)
            text += ReadFile(moved).mid(int(position.size));
        text += ReadFile(position.path);
    }
    return LinesOfPid(text, pid);
}

QStringList LogLinesOf(const QString& logPath, qint64 pid)
{
    return LinesOfPid(ReadFile(logPath), pid);
}

QStringList LogLinesOf(const RunResult& run)
{
    if (!run.windows)
        return LogLinesSince(run.logStart, run.pid);
    QStringList lines = LogLinesSince(run.logStart, 0);
    return lines.replaceInStrings(QStringLiteral("Z:/"), QStringLiteral("/"));
}

qint64 ProgramId(const RunResult& run)
{
    if (!run.windows)
        return run.pid;
    static const QRegularExpression id(QStringLiteral(" /[^:/]*:(\\d+):[0-9a-f]+/ "));
    const QStringList lines = LogLinesSince(run.logStart, 0);
    return lines.isEmpty() ? 0 : id.match(lines.first()).captured(1).toLongLong();
}

QString LogText(const QString& line)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "
                                                           "(?:[FWIDT] |O\\(-?\\d+\\) )/[^:]*:\\d+:[0-9a-f]+/ (.*)$"));
    const QRegularExpressionMatch match = pattern.match(line);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString LogMark(const QString& line)
{
    return line.mid(19, 1);
}

QMap<QString, QString> ReadCatalogue(const QString& path)
{
    QMap<QString, QString> messages;
    QDomDocument document;
    document.setContent(ReadFile(path));
    const QDomNodeList list = document.elementsByTagName(QStringLiteral("message"));
    for (int i = 0; i < list.size(); ++i) {
        const QDomElement message = list.at(i).toElement();
        const QDomElement translation = message.firstChildElement(QStringLiteral("translation"));
        const QString context = message.parentNode().firstChildElement(QStringLiteral("name")).text();
        messages.insert(context + QLatin1Char('\n') + message.firstChildElement(QStringLiteral("source")).text(),
                        translation.hasAttribute(QStringLiteral("type")) ? QString() : translation.text());
    }
    return messages;
}

QJsonArray Cases(const QString& name)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(ReadFile(DataPath(name)), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        qFatal("%s: %s", qPrintable(name), qPrintable(error.errorString()));
    return document.array();
}

void AddRows(const QString& table, const std::function<bool(const QJsonObject&)>& keep)
{
    QTest::addColumn<QJsonObject>("row");
    for (const QJsonValue& row : Cases(table))
        if (!keep || keep(row.toObject()))
            QTest::newRow(qPrintable(row["name"].toString())) << row.toObject();
}

void OwnLog::start()
{
    LogControl::SetFolder(QFile::encodeName(m_dir.path()));
    LogLevel = 3;
}

QStringList OwnLog::lines() const
{
    return LogLinesOf(m_dir.filePath(LogControl::FileName()), QCoreApplication::applicationPid());
}

QStringList OwnLog::newLines()
{
    const QStringList all = lines();
    const QStringList fresh = all.mid(m_nSeen);
    m_nSeen = all.size();
    return fresh;
}

QStringList Words(const QJsonValue& value)
{
    QStringList words;
    for (const QJsonValue& word : value.toArray())
        words << word.toString();
    return words;
}

QString ChosenSystemProxy(const QString& url)
{
    ProxyInfo::HttpProxyFactory factory(15000, true);
    const QNetworkProxy proxy = factory.queryProxy(QNetworkProxyQuery(QUrl(url))).value(0);
    return proxy.type() == QNetworkProxy::HttpProxy ? QStringLiteral("%1:%2").arg(proxy.hostName()).arg(proxy.port())
                                                    : QString();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

} // namespace KvrTest
