#include "platform/locale.h"

#include "platform/hostutils.h"
#include "platform/log.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool IsSupportedLanguage(QLocale::Language language)
{
    static const QLocale::Language kSupported[] = {
        QLocale::Russian, QLocale::French, QLocale::English, QLocale::Chinese,  QLocale::Portuguese, QLocale::German,
        QLocale::Korean,  QLocale::Italian, QLocale::Polish, QLocale::Czech,   QLocale::Japanese,   QLocale::Spanish,
    };
    for (QLocale::Language supported : kSupported) {
        if (supported == language)
            return true;
    }
    return false;
}

// The locale that a supported candidate stands for, or false when its country is not served.
bool ApplyCountryRules(const QLocale& candidate, QLocale& result)
{
    const QLocale::Country country = candidate.country();
    switch (candidate.language()) {
    case QLocale::Chinese:
        if (country == QLocale::China || country == QLocale::Taiwan) {
            result = candidate;
            return true;
        }
        if (country == QLocale::HongKong || country == QLocale::Macau) {
            result = QLocale(QLocale::Chinese, QLocale::Taiwan);
            return true;
        }
        return false;
    case QLocale::Portuguese:
        if (country == QLocale::Brazil) {
            result = candidate;
            return true;
        }
        return false;
    default:
        result = QLocale(candidate.language());
        return true;
    }
}

const QString& LocaleMacro()
{
    static const QString macro = QStringLiteral("@LOCALE@");
    return macro;
}

} // namespace

QStringList UiLanguageCandidates()
{
    QStringList candidates;
    QLocale ui;
    if (GetWindowsUiLocale(ui))
        candidates << ui.name();
    candidates << QStringLiteral("en_US") << QStringLiteral("en");
    return candidates;
}

QLocale ChooseSupportedLocale(const QStringList& candidates)
{
    for (const QString& name : candidates) {
        const QLocale candidate(name);
        QLocale result;
        if (IsSupportedLanguage(candidate.language()) && ApplyCountryRules(candidate, result))
            return result;
    }
    return QLocale(QLocale::English);
}

void SetDefaultLocale(const QStringList& preferred)
{
    const QLocale chosen = ChooseSupportedLocale(preferred.isEmpty() ? UiLanguageCandidates() : preferred);
    QLocale::setDefault(chosen);
    LogMessage("KvrLocale", 2, "Default locale is '%s'", chosen.name().toUtf8().constData());
}

QString FindTranslationsFolder(const QString& base)
{
    const QString folder = base.isEmpty() ? HostUtils::ResourcesFolder() : base;
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return QString();
    const QString name = QLocale().name();
    for (const QString& candidate : {name, name.left(2)}) {
        if (candidate.isEmpty())
            continue;
        const QFileInfo sub(dir.filePath(candidate));
        if (sub.isDir())
            return sub.absoluteFilePath();
    }
    return QString();
}

QString ReplaceLocaleMacro(const QString& text, const QLocale& locale)
{
    if (!text.contains(LocaleMacro()))
        return text;
    QString replaced = text;
    return replaced.replace(LocaleMacro(), locale.name());
}
