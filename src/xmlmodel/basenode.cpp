#include "xmlmodel/basenode.h"

#include "platform/filecommit.h"
#include "platform/filehelper.h"
#include "platform/hostutils.h"
#include "platform/lasterror.h"
#include "platform/log.h"
#include "xmlmodel/ourtextcodec.h"

#include <QDomCDATASection>
#include <QDomProcessingInstruction>
#include <QDomText>
#include <QFile>
#include <QTextStream>

namespace {

const char kComponent[] = "KvrXmlModel";
const int kIndent = 3;
// "<?xml version=\"1.0\" encoding=\"" is 30 characters: the codec's name follows it.
const int kEncodingPosition = 30;

void LogError(const QString& text)
{
    LogMessage(kComponent, 0, "%s", text.toUtf8().constData());
}

// Appends text[from, to) to out, turning each "&#xd;" into the carriage return it stands for.
void AppendText(QString& out, const QString& text, int from, int to)
{
    static const QLatin1String kReference("&#xd;");
    while (from < to) {
        const int found = text.indexOf(kReference, from);
        if (found < 0 || found + kReference.size() > to) {
            out.append(text.midRef(from, to - from));
            return;
        }
        out.append(text.midRef(from, found - from));
        out.append(QLatin1Char('\r'));
        from = found + kReference.size();
    }
}

// End (one past) of the markup that starts with '<' at i: a comment, CDATA section, processing
// instruction or tag; attribute values are always double-quoted by the serialiser.
int MarkupEnd(const QString& text, int i)
{
    auto endOf = [&](const char* terminator, int skip) {
        const QLatin1String end(terminator);
        const int found = text.indexOf(end, i + skip);
        return found < 0 ? text.size() : found + end.size();
    };
    if (text.midRef(i, 4) == QLatin1String("<!--"))
        return endOf("-->", 4);
    if (text.midRef(i, 9) == QLatin1String("<![CDATA["))
        return endOf("]]>", 9);
    if (text.midRef(i, 2) == QLatin1String("<?"))
        return endOf("?>", 2);
    bool quoted = false;
    for (int j = i + 1; j < text.size(); ++j) {
        const QChar c = text.at(j);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char('>') && !quoted)
            return j + 1;
    }
    return text.size();
}

// The DOM serialiser writes a carriage return of a text node as "&#xd;"; text content carries it
// unchanged, as every other character that XML allows. Markup (attribute values included) is kept.
QString RestoreCarriageReturns(const QString& text)
{
    if (!text.contains(QLatin1String("&#xd;")))
        return text;
    QString out;
    out.reserve(text.size());
    int i = 0;
    while (i < text.size()) {
        const int markup = text.indexOf(QLatin1Char('<'), i);
        const int textEnd = markup < 0 ? text.size() : markup;
        AppendText(out, text, i, textEnd);
        if (markup < 0)
            break;
        const int end = MarkupEnd(text, markup);
        out.append(text.midRef(markup, end - markup));
        i = end;
    }
    return out;
}

} // namespace

CBaseNode::CBaseNode(const CBaseNode& other)
{
    copyMembers(other);
}

CBaseNode& CBaseNode::operator=(const CBaseNode& other)
{
    if (this != &other)
        copyMembers(other);
    return *this;
}

CBaseNode::~CBaseNode() = default;

void CBaseNode::copyMembers(const CBaseNode& other)
{
    m_nErrorCode = other.m_nErrorCode;
    m_nErrorLine = other.m_nErrorLine;
    m_nErrorColumn = other.m_nErrorColumn;
    m_qsFileName = other.m_qsFileName;
    m_qsErrorMessage = other.m_qsErrorMessage;
    m_lstWarnings = other.m_lstWarnings;
    m_qsExtTagName = other.m_qsExtTagName;
    m_nId = other.m_nId;
    m_mapMaxDynListIds = other.m_mapMaxDynListIds;
    m_bDefaulted = other.m_bDefaulted;
    dropPreservedElements();
    for (auto it = other.m_mapPreservedElements.constBegin(); it != other.m_mapPreservedElements.constEnd(); ++it)
        preserveElement(it.key(), it.value());
    m_bUseTempFile = other.m_bUseTempFile;
}

void CBaseNode::preserveElement(int position, const QDomElement& element)
{
    m_mapPreservedElements.insert(position, m_docDynamic.importNode(element, true).toElement());
}

void CBaseNode::dropPreservedElements()
{
    m_mapPreservedElements.clear();
    m_docDynamic = QDomDocument();
}

QDomElement CBaseNode::getXml(QDomDocument& /*document*/, bool /*noIds*/) const
{
    return QDomElement();
}

int CBaseNode::readXml(const QDomElement& /*element*/, const QString& /*extTagName*/, bool /*unite*/)
{
    return 0;
}

void CBaseNode::recurseChildren() {}

void CBaseNode::setDefaults(const QDomElement& /*element*/) {}

void CBaseNode::initListsHook() {}

void CBaseNode::initLists()
{
    initListsHook();
}

void CBaseNode::clearLists() {}

void CBaseNode::extraHook(const QVariant& /*value*/) {}

QVariant CBaseNode::getPropertyValue(const QString& /*name*/) const
{
    return QVariant();
}

bool CBaseNode::setPropertyValue(const QString& /*name*/, const QVariant& /*value*/)
{
    return false;
}

void CBaseNode::resetToDefaults()
{
    clearLists();
    initLists();
    setDefaults(QDomElement());
}

void CBaseNode::writeValue(QDomDocument& document, QDomElement& element, const QString& name,
                           const QString& value, ValueForm form) const
{
    if (form == ValueAsAttribute) {
        element.setAttribute(name, value);
        return;
    }
    QDomElement child = document.createElement(name);
    if (form == ValueAsCData)
        child.appendChild(document.createCDATASection(value));
    else
        child.appendChild(document.createTextNode(value));
    element.appendChild(child);
}

QString CBaseNode::readValue(const QDomElement& element, const QString& name, ValueForm form) const
{
    if (form == ValueAsAttribute)
        return element.attribute(name);
    // A text node and a CDATA section both read as text.
    return element.firstChildElement(name).firstChild().toText().data();
}

void CBaseNode::resetLists(bool /*unite*/, const QStringList& /*dynListNames*/, bool /*hasDynLists*/) {}

CBaseNode* CBaseNode::clone() const
{
    return new CBaseNode(*this);
}

int CBaseNode::loadFromFile(const QString& fileName)
{
    QFile file(fileName);
    return loadFromFile(&file, true);
}

int CBaseNode::loadFromFile(QFile* file, bool /*flag*/)
{
    if (file == nullptr) {
        m_qsErrorMessage = QStringLiteral("Error: loadFromFile - File pointer is NULL!");
        LogError(m_qsErrorMessage);
        m_nErrorCode = quint32(RC_XML_READ_FAILED);
        return RC_XML_READ_FAILED;
    }
    if (file->isOpen())
        file->close();
    if (!file->open(QIODevice::ReadOnly | QIODevice::Text)) {
        m_qsErrorMessage =
            QStringLiteral("Error: cannot open XML file '%1', err='%2'!").arg(file->fileName(), file->errorString());
        LogError(m_qsErrorMessage);
        m_nErrorCode = quint32(RC_XML_READ_FAILED);
        return RC_XML_READ_FAILED;
    }
    const int result = parse(file, QString(), QString(), false, nullptr, nullptr, nullptr);
    if (result == 0)
        m_qsFileName = file->fileName();
    file->close();
    return result;
}

int CBaseNode::fromXmlString(const QString& text, const QString& extTagName, bool unite, QString* errorText,
                             int* errorLine, int* errorColumn)
{
    return parse(nullptr, text, extTagName, unite, errorText, errorLine, errorColumn);
}

int CBaseNode::parse(QIODevice* device, const QString& text, const QString& extTagName, bool unite,
                     QString* errorText, int* errorLine, int* errorColumn)
{
    m_nErrorLine = 0;
    m_nErrorColumn = 0;
    m_nErrorCode = quint32(RC_XML_READ_FAILED);
    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    const bool parsed = device != nullptr ? document.setContent(device, false, &message, &line, &column)
                                          : document.setContent(text, false, &message, &line, &column);
    if (!parsed)
        return parseFailed(message, line, column, errorText, errorLine, errorColumn);
    return readDocument(document, extTagName, unite);
}

int CBaseNode::parseFailed(const QString& message, int line, int column, QString* errorText, int* errorLine,
                           int* errorColumn)
{
    m_qsErrorMessage = QStringLiteral("Error: %1, line: %2, column: %3.\n")
                           .arg(message, QString::number(line), QString::number(column));
    m_nErrorLine = line;
    m_nErrorColumn = column;
    if (errorText != nullptr)
        *errorText = message;
    if (errorLine != nullptr)
        *errorLine = line;
    if (errorColumn != nullptr)
        *errorColumn = column;
    return RC_XML_READ_FAILED;
}

int CBaseNode::readDocument(const QDomDocument& document, const QString& extTagName, bool unite)
{
    for (QDomElement element = document.firstChildElement(); !element.isNull();
         element = element.nextSiblingElement()) {
        if (readXml(element, extTagName, unite) == 0) {
            m_nId = element.attribute(QStringLiteral("id"), QStringLiteral("-1")).toInt();
            m_nErrorCode = 0;
            return 0;
        }
    }
    m_nErrorCode = quint32(RC_XML_READ_FAILED);
    return RC_XML_READ_FAILED;
}

QDomDocument CBaseNode::toXmlDocument(bool withHeader, bool noIds) const
{
    QDomDocument document;
    if (withHeader) {
        document.appendChild(document.createProcessingInstruction(QStringLiteral("xml"),
                                                                  QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    }
    QDomElement root = getXml(document, noIds);
    if (!noIds)
        root.setAttribute(QStringLiteral("id"), QString::number(m_nId));
    if (withHeader)
        root.setAttribute(QStringLiteral("schemaVersion"), QStringLiteral("1.0"));
    document.appendChild(root);
    return document;
}

QString CBaseNode::toXmlString(bool withHeader, bool noIds) const
{
    const QDomDocument document = toXmlDocument(withHeader, noIds);
    OurTextCodec* codec = OurTextCodec::instance();
    QString text;
    {
        QTextStream stream(&text);
        stream.setCodec(codec);
        document.save(stream, kIndent, QDomNode::EncodingFromTextStream);
    }
    const QString name = QString::fromLatin1(codec->name());
    if (text.midRef(kEncodingPosition, name.size()) == name)
        text.replace(kEncodingPosition, name.size(), QStringLiteral("UTF-8"));
    return RestoreCarriageReturns(text);
}

int CBaseNode::saveToFile()
{
    QFile file(m_qsFileName);
    return saveToFile(&file, true, true);
}

int CBaseNode::saveToFile(const QString& fileName, bool /*flag1*/, bool /*flag2*/)
{
    QFile file(fileName);
    return saveToFile(&file, true, true);
}

int CBaseNode::saveToFile(QFile* file, bool /*flag1*/, bool /*flag2*/)
{
    if (file == nullptr) {
        m_qsErrorMessage = QStringLiteral("Error: saveToFile - File pointer is NULL!");
        LogError(m_qsErrorMessage);
        return RC_XML_WRITE_FAILED;
    }
    if (file->isOpen())
        file->close();
    QFile temporary;
    if (m_bUseTempFile)
        temporary.setFileName(QStringLiteral("%1.tmp.%2").arg(file->fileName(), HostUtils::NewUuidText()));
    QFile* target = m_bUseTempFile ? &temporary : file;
    if (!target->open(QIODevice::ReadWrite)) {
        m_qsErrorMessage =
            QStringLiteral("Error: cannot open XML file '%1', err='%2'!").arg(target->fileName(), target->errorString());
        LogError(m_qsErrorMessage);
        return RC_XML_WRITE_FAILED;
    }
    const QByteArray targetName = target->fileName().toUtf8();
    const QByteArray text = toXmlString(true, true).toUtf8();
    const qint64 size = text.size();

    if (!FileCommit::ResizeFile(target->handle(), size) && target->size() != size) {
        const qint64 available = HostUtils::GetFreeSpace(target->fileName());
        const int result = available >= 0 && available < size ? RC_NOT_ENOUGH_DISK_SPACE : RC_XML_WRITE_FAILED;
        target->close();
        return result;
    }
    int result = 0;
    if (!target->seek(0) || target->write(text) != size) {
        LogMessage(kComponent, 0, "Unable to write to file '%s'", targetName.constData());
        result = RC_XML_WRITE_FAILED;
    }
    if (!target->flush()) {
        LogMessage(kComponent, 0, "Unable to flush data '%s' with %d", targetName.constData(), int(target->error()));
        result = RC_XML_WRITE_FAILED;
    }
    const int handle = target->handle();
    if (!FileCommit::CommitToDisk(handle)) {
        const int error = Platform::LastError();
        LogMessage(kComponent, 0, "fsync() failed - errno %d. fd %d. Filename = %s", error, handle,
                   targetName.constData());
    }
    target->close();
    if (result != 0)
        return result;

    if (m_bUseTempFile && !CFileHelper::MoveFile(temporary.fileName(), file->fileName())) {
        if (!temporary.remove())
            LogMessage(kComponent, 0, "Can't remove tmp file '%s'", targetName.constData());
        return RC_XML_WRITE_FAILED;
    }
    m_qsFileName = file->fileName();
    return 0;
}
