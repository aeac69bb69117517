// Where a record writes itself: as text in the form Qt's DOM serialiser gives a document (with an
// indentation of 3, the characters XML forbids as references), or as DOM elements. One walk over
// the fields serves both, so that the written text and the built document never differ.
#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <QVarLengthArray>

#include <vector>

namespace XmlModel {

class XmlSink
{
public:
    struct Attribute {
        QString name;
        QString value;
    };
    // Written in this order.
    using Attributes = QVarLengthArray<Attribute, 3>;

    virtual ~XmlSink() = default;
    // An element whose children follow until endElement().
    virtual void startElement(const QString& name, const Attributes& attributes) = 0;
    virtual void endElement() = 0;
    // An element holding one text node.
    virtual void textElement(const QString& name, const QString& text) = 0;
    // A deep copy of an element of another document.
    virtual void copyElement(const QDomElement& element) = 0;
};

// Builds the text of a document: the XML declaration (version 1.0, encoding UTF-8), then the
// elements. Attributes of copied elements are written in the order of their names.
class XmlTextSink : public XmlSink
{
public:
    XmlTextSink();
    void startElement(const QString& name, const Attributes& attributes) override;
    void endElement() override;
    void textElement(const QString& name, const QString& text) override;
    void copyElement(const QDomElement& element) override;
    const QString& text() const { return m_text; }

private:
    void closeStartTag();
    void indent(int depth);
    void writeNode(const QDomNode& node, int depth);
    void writeElement(const QDomElement& element, int depth);

    QString m_text;
    // Names of the elements open, and whether the innermost one still lacks its '>'.
    std::vector<QString> m_open;
    bool m_startTagOpen = false;
};

// Builds the elements in a document; the first one started is the root.
class XmlDomSink : public XmlSink
{
public:
    explicit XmlDomSink(QDomDocument& document) : m_document(document) {}
    void startElement(const QString& name, const Attributes& attributes) override;
    void endElement() override;
    void textElement(const QString& name, const QString& text) override;
    void copyElement(const QDomElement& element) override;
    const QDomElement& root() const { return m_root; }

private:
    void append(const QDomNode& node);

    QDomDocument& m_document;
    QDomElement m_root;
    std::vector<QDomElement> m_open;
};

// Appends text as the DOM serialiser writes it with the program's codec: markup characters as
// entities, the characters XML 1.0 forbids as hexadecimal references; in attribute values also the
// quote, tab, line feed and carriage return as references. Carriage returns in text stay as they are.
void AppendEscaped(QString& out, const QString& text, bool attributeValue);

} // namespace XmlModel
