// The property that the fuzz target checks and that the regression test replays: any bytes load
// as an updates description and as an updater configuration without harm, and whatever loads
// is written, loads again from what was written, and copies faithfully.
#pragma once

#include "xmlmodel/ourtextcodec.h"
#include "xmlmodel/updaterconfig.h"
#include "xmlmodel/updates.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QTextStream>

#include <algorithm>

namespace XmlRoundTrip {

// The text with the attributes of every start tag in the order of their names: the DOM orders
// them by hash, the program's writer in a fixed order.
inline QString SortedAttributes(const QString& text)
{
    static const QRegularExpression tag(QStringLiteral("<([^\\s/>!?][^\\s/>]*)((?:\\s+[^\\s=]+=\"[^\"]*\")*)(\\s*/?>)"));
    static const QRegularExpression attribute(QStringLiteral("\\s+[^\\s=]+=\"[^\"]*\""));
    QString sorted;
    int done = 0;
    for (auto tags = tag.globalMatch(text); tags.hasNext();) {
        const QRegularExpressionMatch match = tags.next();
        QStringList attributes;
        for (auto found = attribute.globalMatch(match.captured(2)); found.hasNext();)
            attributes << found.next().captured(0).trimmed();
        std::sort(attributes.begin(), attributes.end());
        sorted += text.midRef(done, match.capturedStart() - done) + QLatin1Char('<') + match.captured(1);
        for (const QString& one : attributes)
            sorted += QLatin1Char(' ') + one;
        sorted += match.captured(3);
        done = match.capturedEnd();
    }
    return sorted + text.midRef(done);
}

// What Qt's DOM serialiser writes for the record's document through the program's codec.
inline QString DomText(const CBaseNode& record)
{
    QString text;
    QTextStream stream(&text);
    stream.setCodec(OurTextCodec::instance());
    record.toXmlDocument(true, true).save(stream, 3, QDomNode::EncodingFromTextStream);
    stream.flush();
    return text.replace(30, 5, QStringLiteral("UTF-8"));
}

// Checks one record class on a text that it may or may not read. Empty when all holds, else what failed.
template <class Record>
QString CheckText(const QString& text, const char* name)
{
    Record first;
    const int read = first.fromXmlString(text);
    // Copied before writing: each write gives entries without a free identifier new ones.
    Record copy(first);
    const Record domCopy(first);
    const QString written = first.toXmlString(true, true);
    if (read != 0)
        return QString(); // a failed read leaves a partial record: writing it must only not break

    if (copy.toXmlString(true, true) != written)
        return QStringLiteral("%1: a copy writes differently").arg(QLatin1String(name));
    // The writer writes what the DOM serialiser would, but for the order of attributes and for
    // carriage returns in text, which the DOM writes as references.
    const QString dom = DomText(domCopy);
    if (!written.contains(QLatin1Char('\r')) && SortedAttributes(written) != SortedAttributes(dom))
        return QStringLiteral("%1: the DOM writes differently:\n%2\n%3").arg(QLatin1String(name), written, dom);

    Record second;
    if (second.fromXmlString(written) != 0) {
        return QStringLiteral("%1: the written text does not load again: %2\n%3")
            .arg(QLatin1String(name), second.getErrorMessage(), written);
    }
    // Unknown elements keep their positions among the written ones, so the first rewrite may move
    // them; from then on the text must be stable.
    const QString rewritten = second.toXmlString(true, true);
    Record third;
    if (third.fromXmlString(rewritten) != 0 || third.toXmlString(true, true) != rewritten)
        return QStringLiteral("%1: the text is not stable when read and written again:\n%2")
            .arg(QLatin1String(name), rewritten);

    Record assigned;
    assigned = second;
    if (assigned.toXmlString(true, true) != rewritten)
        return QStringLiteral("%1: an assigned copy writes differently").arg(QLatin1String(name));
    return QString();
}

// The bytes as a document text (UTF-8), and as a file (its own declared encoding) when a scratch
// file path is given.
inline QString Check(const QByteArray& data, const QString& scratchFile = QString())
{
    const QString text = QString::fromUtf8(data);
    QString failure = CheckText<CUpdates>(text, "description");
    if (failure.isEmpty())
        failure = CheckText<CUpdaterConfig>(text, "configuration");
    if (!failure.isEmpty() || scratchFile.isEmpty())
        return failure;

    QFile file(scratchFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        return QStringLiteral("cannot write the scratch file %1").arg(scratchFile);
    file.close();
    CUpdates description;
    if (description.loadFromFile(scratchFile) == 0) {
        failure = CheckText<CUpdates>(description.toXmlString(true, true), "description from a file");
        if (failure.isEmpty() && description.saveToFile(scratchFile) != 0)
            failure = QStringLiteral("description from a file: cannot be saved");
        if (failure.isEmpty() && description.loadFromFile(scratchFile) != 0)
            failure = QStringLiteral("description from a file: the saved file does not load again: %1")
                          .arg(description.getErrorMessage());
    }
    return failure;
}

} // namespace XmlRoundTrip
