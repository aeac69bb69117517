#include "platform/locale.h"

#include "platform/log.h"

#include <windows.h>

bool GetWindowsUiLocale(QLocale& locale)
{
    const LANGID language = GetUserDefaultUILanguage();
    const LCID id = MAKELCID(language, SORT_DEFAULT);
    wchar_t languageName[9] = L"";
    wchar_t countryName[9] = L"";
    if (GetLocaleInfoW(id, LOCALE_SISO639LANGNAME, languageName, 9) == 0
        || GetLocaleInfoW(id, LOCALE_SISO3166CTRYNAME, countryName, 9) == 0) {
        if (LogLevel >= 1)
            LogMessage("KvrLocale", 1, "Failed to retrieve information about the system locale, 0x%x",
                       static_cast<unsigned>(::GetLastError()));
        return false;
    }
    QLocale found(QStringLiteral("%1_%2").arg(QString::fromWCharArray(languageName),
                                              QString::fromWCharArray(countryName)));
    if (found == QLocale(QStringLiteral("zh_HK")))
        found = QLocale(QStringLiteral("zh_TW"));
    locale = found;
    LogMessage("KvrLocale", 0, "Windows user interface locale is '%s'", locale.name().toUtf8().constData());
    return true;
}
