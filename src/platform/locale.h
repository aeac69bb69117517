// The user-interface locale, the translations folder and the "@LOCALE@" macro.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

// The user's interface locale as the system reports it; false when it cannot be read.
bool GetWindowsUiLocale(QLocale& locale);
// The user's interface locale name (when known), then "en_US", then "en".
QStringList UiLanguageCandidates();
// The first candidate whose language is supported, after the country rules; else en_US.
QLocale ChooseSupportedLocale(const QStringList& candidates);
// Sets the process default locale from the preferred names, or from the user's interface language.
void SetDefaultLocale(const QStringList& preferred);
// Absolute path of the translations folder for the default locale under base (the resources
// folder when base is empty), or an empty string.
QString FindTranslationsFolder(const QString& base);
// The text with every "@LOCALE@" replaced by the locale's name.
QString ReplaceLocaleMacro(const QString& text, const QLocale& locale);
