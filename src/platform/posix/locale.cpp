#include "platform/locale.h"

#include "platform/log.h"

#include <QRegularExpression>

#include <cerrno>

bool GetWindowsUiLocale(QLocale& locale)
{
    // The first of these that is set decides, as for the C library's message catalogues.
    QString value;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            break;
    }
    int error = value.isEmpty() ? ENOENT : 0;

    // language_COUNTRY[.codeset][@modifier]; "C", "POSIX" and names without a country do not qualify.
    static const QRegularExpression pattern(
        QStringLiteral("^([A-Za-z]{2,3})_([A-Za-z]{2}|[0-9]{3})(?:\\.[^@]*)?(?:@.*)?$"));
    QLocale found(QLocale::C);
    if (error == 0) {
        const QRegularExpressionMatch match = pattern.match(value);
        if (match.hasMatch())
            found = QLocale(match.captured(1).toLower() + QLatin1Char('_') + match.captured(2).toUpper());
        if (found.language() == QLocale::C)
            error = EINVAL;
    }
    if (error != 0) {
        LogMessage("KvrLocale", 1, "Failed to retrieve information about the system locale, 0x%x",
                   static_cast<unsigned>(error));
        return false;
    }

    if (found == QLocale(QStringLiteral("zh_HK")))
        found = QLocale(QStringLiteral("zh_TW"));
    locale = found;
    LogMessage("KvrLocale", 0, "Windows user interface locale is '%s'", locale.name().toUtf8().constData());
    return true;
}
