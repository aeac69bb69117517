// The command line: the action word, the raw list of words and on-demand option look-ups.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

// An option is a pair of names; options are referred to by their long names.
struct CmdOption {
    const char* longName;
    const char* shortName;
};

namespace Options {
extern const CmdOption BackgroundDownload;
extern const CmdOption Checksum;
extern const CmdOption Config;
extern const CmdOption Debug;
extern const CmdOption Descr;
extern const CmdOption File;
extern const CmdOption ForkOfUpdater;
extern const CmdOption FormatOutput;
extern const CmdOption Mode;
extern const CmdOption LastModified;
extern const CmdOption NoProxy;
extern const CmdOption Package;
extern const CmdOption Path;
extern const CmdOption ProxyTryCount;
extern const CmdOption ProxyAuthUser;
extern const CmdOption ProxyPort;
extern const CmdOption ProxyServer;
extern const CmdOption UpdateDescription;
extern const CmdOption UpdateDuringInstallation;
extern const CmdOption UpdateInfo;
extern const CmdOption Update;
extern const CmdOption Url;
extern const CmdOption UuidList;
extern const CmdOption Version;
} // namespace Options

class CCommandLine
{
public:
    CCommandLine(int argc, char** argv);
    ~CCommandLine();

    const QString& Action() const { return m_qsAction; }
    const QStringList& Words() const { return *m_pArguments; }

    // True when the long or the short name occurs as a whole word after the program path.
    bool HasOption(const CmdOption& option) const;
    // The word after the last occurrence of the long name, else of the short name; empty when
    // the option is absent, is the last word, or is followed by a word beginning with "-".
    QString OptionValue(const CmdOption& option) const;

    // Checks the action and the options; on failure one message is on standard error.
    bool ValidateCommandLine() const;
    // Prints the usage text or the version; false when the program must then exit with 0.
    bool HandleInfoAndVersion() const;

private:
    CCommandLine(const CCommandLine&) = delete;
    CCommandLine& operator=(const CCommandLine&) = delete;

    QString ValueOfName(const char* name) const;
    bool Fail(const QString& message) const;

    QString m_qsAction;
    QStringList* m_pArguments;
};

// Writes a user message to standard error as UTF-8 with a line feed; an empty text prints nothing.
void PrintUserError(const QString& text);
// Flushes standard output or error. A stream whose reader has gone fails quietly: the run goes on,
// and the first failure of each stream is logged.
void FlushStandardStream(std::FILE* stream);

// The built-in product version, "5.6.0-36436".
extern const char kProductVersion[];
// The usage text, printed as it stands.
extern const char kUsageText[];
