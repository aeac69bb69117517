// The listings and records written to standard output at the end of a check.
#include "updater/updater.h"

#include "app/commandline.h"
#include "xmlmodel/ancestry.h"
#include "xmlmodel/update.h"

#include <cstdio>

namespace {

void WriteOut(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void EndLine()
{
    std::fputc('\n', stdout);
    FlushStandardStream(stdout);
}

// The text in UTF-8, padded with blanks on the right to width bytes.
QByteArray Padded(const QString& text, int width)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() < width)
        bytes.append(width - bytes.size(), ' ');
    return bytes;
}

} // namespace

void CUpdater::PrintOutputLine(const QString& key, const QString& value)
{
    WriteOut(key.toUtf8() + value.toUtf8());
    EndLine();
}

QList<CUpdate*> CUpdater::ReportedRecords() const
{
    QList<CUpdate*> records;
    for (CUpdate* update : OwnUpdates(m_pTmpConfig)) {
        if (IsDescendantOf(update, m_qsCurrentUuid))
            records.append(update);
    }
    return records;
}

void CUpdater::PrintUpdateList()
{
    const bool info = m_pCmdLine->HasOption(Options::UpdateInfo);
    const bool description = m_pCmdLine->HasOption(Options::UpdateDescription);
    const int uuidWidth = m_qsCurrentUuid.toUtf8().size() + 3;
    const int statusWidth = StatusName(ReadyToDownload).toUtf8().size() + 3;
    const int nameWidth = QByteArray("Corvantis Halden").size() + 3;
    if (!info) {
        WriteOut(Padded(QStringLiteral("UUID"), uuidWidth) + Padded(QStringLiteral("STATUS"), statusWidth)
                 + Padded(QStringLiteral("NAME"), nameWidth));
        EndLine();
    }
    for (const CUpdate* update : ReportedRecords()) {
        const QString name = LocalizedText(update->UpdateName(), QString());
        if (!info) {
            WriteOut(Padded(update->Uuid(), uuidWidth) + Padded(StatusName(update->Status()), statusWidth)
                     + Padded(name, nameWidth));
            EndLine();
        } else {
            PrintOutputLine(QStringLiteral("UUID: "), update->Uuid());
            PrintOutputLine(QStringLiteral("UPDATE_TYPE: "), QString::number(update->UpdateType()));
            PrintOutputLine(QStringLiteral("UPDATE_NAME: "), name);
            PrintOutputLine(QStringLiteral("UPDATE_PROMO_URL: "), LocalizedText(update->UpdatePromoUrl(), QString()));
            PrintOutputLine(QStringLiteral("FILE_PATH: "), update->FilePath());
            PrintOutputLine(QStringLiteral("FILE_SIZE: "), QString::number(update->FileSize()) + QStringLiteral("KB"));
            PrintOutputLine(QStringLiteral("UPDATE_STATUS: "), StatusName(update->Status()));
            PrintOutputLine(QStringLiteral("DATE_TIME: "),
                            update->DateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
            PrintOutputLine(QStringLiteral("LOCALE_NAME: "), update->LocaleName());
            PrintOutputLine(QStringLiteral("DISTRIBUTOR_NAME: "), update->DistributorName());
            PrintOutputLine(QStringLiteral("OS_TYPE: "), update->OsType());
            PrintOutputLine(QStringLiteral("HOTFIX_SN: "), QString::number(update->HotfixSN()));
            PrintOutputLine(QStringLiteral("CHECKSUM: "), update->CheckSum());
            EndLine();
        }
        if (description)
            PrintUpdateDescription(LocalizedText(update->UpdateDescription(), QString()));
    }
}

void CUpdater::PrintFilePaths()
{
    const bool formatted = m_pCmdLine->HasOption(Options::FormatOutput);
    const bool description = m_pCmdLine->HasOption(Options::UpdateDescription);
    for (const CUpdate* update : ReportedRecords()) {
        PrintOutputLine(formatted ? QStringLiteral("FILE_PATH: ") : QString(), update->FilePath());
        if (description)
            PrintUpdateDescription(LocalizedText(update->UpdateDescription(), QString()));
    }
}

void CUpdater::PrintUpdateDescription(const QString& text)
{
    PrintOutputLine(QStringLiteral("[BEGIN_UPDATE_DESCRIPTION]"), QString());
    for (const QString& part : text.split(QLatin1Char('\n')))
        PrintOutputLine(QStringLiteral("UPDATE_DESCRIPTION: "), part);
    PrintOutputLine(QStringLiteral("[END_UPDATE_DESCRIPTION]"), QString());
}
