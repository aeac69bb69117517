// Base of every persistent XML record: loading from a file or a string, the error and warning
// state of the last read, identifiers in object lists, preserved unknown elements, serialising
// and saving in place.
#pragma once

#include "xmlmodel/xmlsink.h"

#include <QDomDocument>
#include <QDomElement>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

class QFile;

// Return codes: 0 is success, and any value not below zero counts as success.
constexpr int RC_XML_READ_FAILED = int(0x80000036u);
constexpr int RC_XML_WRITE_FAILED = int(0x80000424u);
constexpr int RC_NOT_ENOUGH_DISK_SPACE = int(0x80000453u);

class CBaseNode
{
public:
    // How writeValue()/readValue() store a value.
    enum ValueForm { ValueAsAttribute, ValueAsCData, ValueAsText };

    CBaseNode() = default;
    // Full copy: every member, with the preserved elements deep-imported into the copy's own document.
    CBaseNode(const CBaseNode& other);
    CBaseNode& operator=(const CBaseNode& other);

    // The element of this node built in document; the base builds none.
    virtual QDomElement getXml(QDomDocument& document, bool noIds) const;
    // Reads this node from element (named extTagName, or the class's element name); 0 or RC_XML_READ_FAILED.
    virtual int readXml(const QDomElement& element, const QString& extTagName, bool unite);
    virtual void recurseChildren();
    // Sets the fields to their defaults; with an element only those that the element concerns.
    virtual void setDefaults(const QDomElement& element);
    virtual void initListsHook();
    // Creates the minimum children of each fixed object list, then calls initListsHook().
    virtual void initLists();
    // Destroys the children of all object lists.
    virtual void clearLists();
    virtual void extraHook(const QVariant& value);
    virtual QVariant getPropertyValue(const QString& name) const;
    virtual bool setPropertyValue(const QString& name, const QVariant& value);
    virtual int loadFromFile(const QString& fileName);
    // The flag is not consulted.
    virtual int loadFromFile(QFile* file, bool flag);
    // Saves to the file last loaded or saved.
    virtual int saveToFile();
    virtual int saveToFile(const QString& fileName, bool flag1 = true, bool flag2 = true);
    // The flags are not consulted: the file always gets the header and no root id.
    virtual int saveToFile(QFile* file, bool flag1, bool flag2);
    // clearLists(), initLists(), setDefaults(none).
    virtual void resetToDefaults();
    virtual ~CBaseNode();
    // One value of element stored as an attribute, or as a child element holding CDATA or text.
    virtual void writeValue(QDomDocument& document, QDomElement& element, const QString& name,
                            const QString& value, ValueForm form) const;
    virtual QString readValue(const QDomElement& element, const QString& name, ValueForm form) const;
    // Prepares the object lists before a read (see the record classes).
    virtual void resetLists(bool unite, const QStringList& dynListNames, bool hasDynLists);
    // A full copy of this node of its own class.
    virtual CBaseNode* clone() const;
    // Writes this node's element, with the given attributes first, into sink; the base writes the
    // element of getXml().
    virtual void writeXml(XmlModel::XmlSink& sink, const XmlModel::XmlSink::Attributes& attributes, bool noIds) const;

    QDomDocument toXmlDocument(bool withHeader, bool noIds) const;
    QString toXmlString(bool withHeader, bool noIds) const;
    // Reads text instead of a file; the out-parameters receive the parser's message, line and column
    // when the text is not well-formed.
    int fromXmlString(const QString& text, const QString& extTagName = QString(), bool unite = false,
                      QString* errorText = nullptr, int* errorLine = nullptr, int* errorColumn = nullptr);

    const QString& getErrorMessage() const { return m_qsErrorMessage; }
    const QStringList& getWarnings() const { return m_lstWarnings; }
    quint32 getErrorCode() const { return m_nErrorCode; }
    int getErrorLine() const { return m_nErrorLine; }
    int getErrorColumn() const { return m_nErrorColumn; }
    QString getFileName() const { return m_qsFileName; }
    int getId() const { return m_nId; }
    void setId(int id) { m_nId = id; }
    QString getExtTagName() const { return m_qsExtTagName; }
    void setExtTagName(const QString& name) { m_qsExtTagName = name; }
    bool isDefaulted() const { return m_bDefaulted; }
    // Safe-save mode: write a temporary file beside the target and move it into place.
    bool getUseTempFile() const { return m_bUseTempFile; }
    void setUseTempFile(bool use) { m_bUseTempFile = use; }
    // Unknown child elements kept from the last read, by their position among the element's children.
    const QMap<qint32, QDomElement>& getPreservedElements() const { return m_mapPreservedElements; }

protected:
    friend class CRecordNode;

    // Parses the bytes (which it empties), or the text when there are none, and reads this node.
    int parse(QByteArray* bytes, const QString& text, const QString& extTagName, bool unite, QString* errorText,
              int* errorLine, int* errorColumn);
    // Logs the error message and sets and returns the read-failure code.
    int readFailed();
    // Reads a parsed document: the first top-level element that reads gives the node and its id.
    int readDocument(const QDomDocument& document, const QString& extTagName, bool unite);
    int parseFailed(const QString& message, int line, int column, QString* errorText, int* errorLine,
                    int* errorColumn);
    void preserveElement(int position, const QDomElement& element);
    void dropPreservedElements();
    void copyMembers(const CBaseNode& other);

    quint32 m_nErrorCode = 0;
    qint32 m_nErrorLine = 0;
    qint32 m_nErrorColumn = 0;
    QString m_qsFileName;
    QString m_qsErrorMessage;
    QStringList m_lstWarnings;
    QString m_qsExtTagName;
    qint32 m_nId = -1;
    // Next free identifier of each dynamic object list; raised while writing.
    mutable QMap<QString, qint32> m_mapMaxDynListIds;
    bool m_bDefaulted = false;
    // Owns the preserved elements; stays a null document (no allocation) while there are none.
    QDomDocument m_docDynamic;
    QMap<qint32, QDomElement> m_mapPreservedElements;
    bool m_bUseTempFile = false;
};
