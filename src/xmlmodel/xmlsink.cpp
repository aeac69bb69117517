#include "xmlmodel/xmlsink.h"

#include "xmlmodel/ourtextcodec.h"

#include <QDomNamedNodeMap>
#include <QTextStream>

#include <algorithm>

namespace XmlModel {

namespace {

const int kIndent = 3;

bool NeedsEscape(ushort c)
{
    return c < 0x20 || c == '<' || c == '>' || c == '&' || c == '"' || c >= 0xFFFE;
}

bool Forbidden(ushort c)
{
    return c <= 8 || c == 11 || c == 12 || (c >= 14 && c <= 31) || c >= 0xFFFE;
}

void AppendReference(QString& out, ushort c)
{
    out.append(QLatin1String("&#x")).append(QString::number(c, 16)).append(QLatin1Char(';'));
}

} // namespace

void AppendEscaped(QString& out, const QString& text, bool attributeValue)
{
    const int start = out.size();
    const QChar* const chars = text.constData();
    const int size = text.size();
    int clean = 0; // start of the run of characters not yet appended that need no escape
    for (int i = 0; i < size; ++i) {
        const ushort c = chars[i].unicode();
        if (!NeedsEscape(c))
            continue;
        out.append(chars + clean, i - clean);
        clean = i + 1;
        if (c == '<') {
            out.append(QLatin1String("&lt;"));
        } else if (c == '&') {
            out.append(QLatin1String("&amp;"));
        } else if (c == '"' && attributeValue) {
            out.append(QLatin1String("&quot;"));
        } else if (c == '>' && out.size() - start >= 2 && out.endsWith(QLatin1String("]]"))) {
            out.append(QLatin1String("&gt;")); // only the '>' that would close "]]>"
        } else if ((c == '\t' || c == '\n' || c == '\r') && attributeValue) {
            AppendReference(out, c);
        } else if (Forbidden(c)) {
            AppendReference(out, c);
        } else {
            out.append(QChar(c));
        }
    }
    out.append(chars + clean, size - clean);
}

XmlTextSink::XmlTextSink() : m_text(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")) {}

void XmlTextSink::indent(int depth)
{
    m_text.resize(m_text.size() + depth * kIndent, QLatin1Char(' '));
}

void XmlTextSink::closeStartTag()
{
    if (m_startTagOpen) {
        m_text.append(QLatin1String(">\n"));
        m_startTagOpen = false;
    }
}

void XmlTextSink::startElement(const QString& name, const Attributes& attributes)
{
    closeStartTag();
    indent(int(m_open.size()));
    m_text.append(QLatin1Char('<')).append(name);
    for (const Attribute& attribute : attributes) {
        m_text.append(QLatin1Char(' ')).append(attribute.name).append(QLatin1String("=\""));
        AppendEscaped(m_text, attribute.value, true);
        m_text.append(QLatin1Char('"'));
    }
    m_open.push_back(name);
    m_startTagOpen = true;
}

void XmlTextSink::endElement()
{
    const QString name = m_open.back();
    m_open.pop_back();
    if (m_startTagOpen) {
        m_text.append(QLatin1String("/>\n"));
        m_startTagOpen = false;
        return;
    }
    indent(int(m_open.size()));
    m_text.append(QLatin1String("</")).append(name).append(QLatin1String(">\n"));
}

void XmlTextSink::textElement(const QString& name, const QString& text)
{
    closeStartTag();
    indent(int(m_open.size()));
    m_text.append(QLatin1Char('<')).append(name).append(QLatin1Char('>'));
    AppendEscaped(m_text, text, false);
    m_text.append(QLatin1String("</")).append(name).append(QLatin1String(">\n"));
}

void XmlTextSink::copyElement(const QDomElement& element)
{
    closeStartTag();
    writeElement(element, int(m_open.size()));
}

// A node of a copied element, as the DOM serialiser writes it: no indentation and no line break
// where they would add to a neighbouring text (or CDATA) node.
void XmlTextSink::writeNode(const QDomNode& node, int depth)
{
    const bool afterText = node.previousSibling().isText();
    const bool beforeText = node.nextSibling().isText();
    switch (node.nodeType()) {
    case QDomNode::ElementNode:
        writeElement(node.toElement(), depth);
        return;
    case QDomNode::TextNode:
        AppendEscaped(m_text, node.nodeValue(), false);
        return;
    case QDomNode::CDATASectionNode:
        m_text.append(QLatin1String("<![CDATA[")).append(node.nodeValue()).append(QLatin1String("]]>"));
        return;
    case QDomNode::CommentNode:
        if (!afterText)
            indent(depth);
        m_text.append(QLatin1String("<!--")).append(node.nodeValue());
        if (node.nodeValue().endsWith(QLatin1Char('-')))
            m_text.append(QLatin1Char(' ')); // a comment must not end in "--->"
        m_text.append(QLatin1String("-->"));
        if (!beforeText)
            m_text.append(QLatin1Char('\n'));
        return;
    case QDomNode::ProcessingInstructionNode:
        m_text.append(QLatin1String("<?")).append(node.nodeName()).append(QLatin1Char(' '));
        m_text.append(node.nodeValue()).append(QLatin1String("?>\n"));
        return;
    case QDomNode::EntityReferenceNode:
        m_text.append(QLatin1Char('&')).append(node.nodeName()).append(QLatin1Char(';'));
        return;
    default: {
        // Nothing else occurs inside an element; should it, the DOM writes it itself.
        QTextStream stream(&m_text);
        stream.setCodec(OurTextCodec::instance());
        node.save(stream, kIndent);
        return;
    }
    }
}

void XmlTextSink::writeElement(const QDomElement& element, int depth)
{
    if (!element.previousSibling().isText())
        indent(depth);
    m_text.append(QLatin1Char('<')).append(element.tagName());
    const QDomNamedNodeMap map = element.attributes();
    std::vector<std::pair<QString, QString>> attributes;
    attributes.reserve(size_t(map.length()));
    for (int i = 0; i < map.length(); ++i)
        attributes.emplace_back(map.item(i).nodeName(), map.item(i).nodeValue());
    std::sort(attributes.begin(), attributes.end());
    for (const auto& attribute : attributes) {
        m_text.append(QLatin1Char(' ')).append(attribute.first).append(QLatin1String("=\""));
        AppendEscaped(m_text, attribute.second, true);
        m_text.append(QLatin1Char('"'));
    }
    if (!element.hasChildNodes()) {
        m_text.append(QLatin1String("/>"));
    } else {
        m_text.append(QLatin1Char('>'));
        if (!element.firstChild().isText())
            m_text.append(QLatin1Char('\n'));
        for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling())
            writeNode(child, depth + 1);
        if (!element.lastChild().isText())
            indent(depth);
        m_text.append(QLatin1String("</")).append(element.tagName()).append(QLatin1Char('>'));
    }
    if (!element.nextSibling().isText())
        m_text.append(QLatin1Char('\n'));
}

void XmlDomSink::append(const QDomNode& node)
{
    if (!m_open.empty())
        m_open.back().appendChild(node);
}

void XmlDomSink::startElement(const QString& name, const Attributes& attributes)
{
    QDomElement element = m_document.createElement(name);
    for (const Attribute& attribute : attributes)
        element.setAttribute(attribute.name, attribute.value);
    append(element);
    if (m_root.isNull())
        m_root = element;
    m_open.push_back(element);
}

void XmlDomSink::endElement()
{
    m_open.pop_back();
}

void XmlDomSink::textElement(const QString& name, const QString& text)
{
    QDomElement element = m_document.createElement(name);
    element.appendChild(m_document.createTextNode(text));
    append(element);
}

void XmlDomSink::copyElement(const QDomElement& element)
{
    append(m_document.importNode(element, true));
}

} // namespace XmlModel
