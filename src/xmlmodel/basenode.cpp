#include "xmlmodel/basenode.h"

#include "platform/filecommit.h"
#include "platform/filehelper.h"
#include "platform/hostutils.h"
#include "platform/lasterror.h"
#include "platform/log.h"
#include "xmlmodel/xmlinput.h"

#include <QBuffer>
#include <QDomCDATASection>
#include <QDomProcessingInstruction>
#include <QDomText>
#include <QFile>

namespace {

const char kComponent[] = "KvrXmlModel";

void LogError(const QString& text)
{
    LogMessage(kComponent, 0, "%s", text.toUtf8().constData());
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
    CNamedFile file(fileName);
    return loadFromFile(&file, true);
}

int CBaseNode::loadFromFile(QFile* file, bool /*flag*/)
{
    if (file == nullptr) {
        m_qsErrorMessage = QStringLiteral("Error: loadFromFile - File pointer is NULL!");
        return readFailed();
    }
    // Read once: a file that the caller opened for reading is read from where it stands, so that a
    // pipe loses nothing to a second open; any other file is opened here.
    const QString name = file->fileName();
    if (!file->isOpen() || !file->isReadable()) {
        file->close();
        if (!CFileHelper::OpenForReading(*file)) {
            m_qsErrorMessage = QStringLiteral("Error: cannot open XML file '%1', err='%2'!").arg(name, file->errorString());
            return readFailed();
        }
    }
    QByteArray bytes;
    const XmlInput::ReadResult read = XmlInput::ReadDocument(*file, bytes);
    const QString readError = file->errorString();
    file->close();
    if (read == XmlInput::ReadResult::TooLarge) {
        m_qsErrorMessage = QStringLiteral("Error: XML file '%1' is larger than %2 bytes!")
                               .arg(name, QString::number(XmlInput::kMaxDocumentBytes));
        return readFailed();
    }
    if (read == XmlInput::ReadResult::Failed) {
        m_qsErrorMessage = QStringLiteral("Error: cannot read XML file '%1', err='%2'!").arg(name, readError);
        return readFailed();
    }
    const int result = parse(&bytes, QString(), QString(), false, nullptr, nullptr, nullptr);
    if (result == 0)
        m_qsFileName = name;
    return result;
}

int CBaseNode::fromXmlString(const QString& text, const QString& extTagName, bool unite, QString* errorText,
                             int* errorLine, int* errorColumn)
{
    return parse(nullptr, text, extTagName, unite, errorText, errorLine, errorColumn);
}

int CBaseNode::readFailed()
{
    LogError(m_qsErrorMessage);
    m_nErrorCode = quint32(RC_XML_READ_FAILED);
    return RC_XML_READ_FAILED;
}

int CBaseNode::parse(QByteArray* bytes, const QString& text, const QString& extTagName, bool unite,
                     QString* errorText, int* errorLine, int* errorColumn)
{
    m_nErrorLine = 0;
    m_nErrorColumn = 0;
    m_nErrorCode = quint32(RC_XML_READ_FAILED);
    // Nesting is counted before the DOM sees the text: the DOM recurses once per level.
    const XmlInput::DepthFault fault = bytes != nullptr ? XmlInput::CheckDepth(*bytes) : XmlInput::CheckDepth(text);
    if (fault.tooDeep)
        return parseFailed(XmlInput::DepthFaultMessage(), fault.line, fault.column, errorText, errorLine, errorColumn);
    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    bool parsed = false;
    if (bytes != nullptr) {
        QBuffer buffer(bytes);
        buffer.open(QIODevice::ReadOnly);
        parsed = document.setContent(&buffer, false, &message, &line, &column);
        buffer.close();
        bytes->clear(); // not needed any more, and as large as the document
    } else {
        parsed = document.setContent(text, false, &message, &line, &column);
    }
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
    // The text that the DOM serialiser gives toXmlDocument() through a stream with the program's
    // codec, written straight from the record: the declaration names UTF-8, carriage returns in
    // text stay characters, and attributes come in a fixed order (the DOM's follows its hashes).
    XmlModel::XmlSink::Attributes root;
    if (!noIds)
        root.append({QStringLiteral("id"), QString::number(m_nId)});
    if (withHeader)
        root.append({QStringLiteral("schemaVersion"), QStringLiteral("1.0")});
    XmlModel::XmlTextSink sink;
    writeXml(sink, root, noIds);
    return sink.text();
}

void CBaseNode::writeXml(XmlModel::XmlSink& sink, const XmlModel::XmlSink::Attributes& attributes, bool noIds) const
{
    QDomDocument document;
    QDomElement element = getXml(document, noIds);
    if (element.isNull())
        return;
    for (const XmlModel::XmlSink::Attribute& attribute : attributes)
        element.setAttribute(attribute.name, attribute.value);
    sink.copyElement(element);
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
