#include "xmlmodel/xmlinput.h"

#include <QBuffer>
#include <QIODevice>
#include <QXmlDefaultHandler>
#include <QXmlInputSource>
#include <QXmlSimpleReader>

#include <algorithm>
#include <cstring>

namespace XmlInput {

namespace {

const qint64 kReadChunk = 1 << 20;

// Where the fast scan stopped: the document fits, nests too deep at position, or holds a document
// type declaration, whose entities can expand to elements, so that only the parser can tell.
enum class Scan { Fits, TooDeep, NeedsParser };

struct ScanResult {
    Scan scan = Scan::Fits;
    const void* position = nullptr;
};

template <typename Char>
bool StartsWith(const Char* p, const Char* end, const char* literal)
{
    for (; *literal != '\0'; ++p, ++literal) {
        if (p == end || *p != Char(*literal))
            return false;
    }
    return true;
}

template <typename Char>
const Char* Find(const Char* p, const Char* end, Char c)
{
    return std::find(p, end, c);
}

const char* Find(const char* p, const char* end, char c)
{
    const void* found = std::memchr(p, c, size_t(end - p));
    return found != nullptr ? static_cast<const char*>(found) : end;
}

// One past the first occurrence of the terminator at or after p, or end.
template <typename Char>
const Char* After(const Char* p, const Char* end, const char* terminator)
{
    const std::size_t length = std::strlen(terminator);
    for (p = Find(p, end, Char(terminator[0])); p != end; p = Find(p + 1, end, Char(terminator[0]))) {
        if (StartsWith(p, end, terminator))
            return p + length;
    }
    return end;
}

// Counts the nesting of elements in the text of a document without a document type declaration.
// Where the text is not well-formed the count errs on the high side: the parser stops at such a
// place anyway, and what it has built until then is no deeper than counted.
template <typename Char>
ScanResult ScanDepth(const Char* p, const Char* end)
{
    int depth = 0;
    while ((p = Find(p, end, Char('<'))) != end) {
        const Char* markup = p++;
        if (StartsWith(p, end, "!--")) {
            p = After(p + 3, end, "-->");
        } else if (StartsWith(p, end, "![CDATA[")) {
            p = After(p + 8, end, "]]>");
        } else if (StartsWith(p, end, "!")) {
            return {Scan::NeedsParser, markup};
        } else if (StartsWith(p, end, "?")) {
            p = After(p + 1, end, "?>");
        } else if (StartsWith(p, end, "/")) {
            depth = std::max(depth - 1, 0);
        } else {
            if (++depth > kMaxElementDepth)
                return {Scan::TooDeep, markup};
            // The tag ends at the first '>' outside quotes; a '<' before it starts new markup.
            Char quote = 0;
            for (; p != end && *p != Char('<'); ++p) {
                if (quote != 0) {
                    quote = *p == quote ? Char(0) : quote;
                } else if (*p == Char('"') || *p == Char('\'')) {
                    quote = *p;
                } else if (*p == Char('>')) {
                    if (p[-1] == Char('/'))
                        --depth;
                    ++p;
                    break;
                }
            }
        }
    }
    return {};
}

// Line and column (from 1) of a position; columns count UTF-8 sequences, or UTF-16 units of text.
template <typename Char>
DepthFault FaultAt(const Char* begin, const Char* position)
{
    DepthFault fault;
    fault.tooDeep = true;
    fault.line = 1 + int(std::count(begin, position, Char('\n')));
    const Char* lineStart = position;
    while (lineStart != begin && lineStart[-1] != Char('\n'))
        --lineStart;
    fault.column = 1 + int(std::count_if(lineStart, position, [](Char c) { return (c & 0xC0) != 0x80 || sizeof(Char) > 1; }));
    return fault;
}

// True when every character that markup is made of is one byte of its ASCII value: UTF-8 and
// the ISO 8859 and Windows single-byte encodings, named by the declaration or taken by default.
bool IsAsciiMarkup(const QByteArray& bytes)
{
    if (bytes.size() >= 2 && (bytes.at(0) == '\0' || bytes.at(1) == '\0' || uchar(bytes.at(0)) >= 0xFE))
        return false; // UTF-16 or UTF-32
    const int start = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    if (bytes.mid(start, 5) != "<?xml")
        return true;
    const int close = bytes.indexOf('>', start);
    const int found = bytes.indexOf("encoding", start);
    if (close < 0)
        return false;
    if (found < 0 || found > close)
        return true;
    QByteArray rest = bytes.mid(found + 8, close - found - 8).trimmed();
    if (!rest.startsWith('='))
        return false;
    rest = rest.mid(1).trimmed();
    if (rest.isEmpty() || (rest.at(0) != '"' && rest.at(0) != '\''))
        return false;
    const QByteArray name = rest.mid(1, rest.indexOf(rest.at(0), 1) - 1).toLower();
    return name == "utf-8" || name == "utf8" || name == "us-ascii" || name.startsWith("iso-8859-")
           || name.startsWith("windows-125") || name == "latin1";
}

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED

// Counts the nesting with the parser that the DOM uses, entities expanded as the DOM would; the
// parse stops at the first element too deep, before the parser's own recursion goes far.
class DepthHandler : public QXmlDefaultHandler
{
public:
    DepthFault fault;

    void setDocumentLocator(QXmlLocator* locator) override { m_locator = locator; }
    bool startElement(const QString&, const QString&, const QString&, const QXmlAttributes&) override
    {
        if (++m_depth <= kMaxElementDepth)
            return true;
        fault.tooDeep = true;
        fault.line = m_locator != nullptr ? m_locator->lineNumber() : 0;
        fault.column = m_locator != nullptr ? m_locator->columnNumber() : 0;
        return false;
    }
    bool endElement(const QString&, const QString&, const QString&) override
    {
        --m_depth;
        return true;
    }

private:
    QXmlLocator* m_locator = nullptr;
    int m_depth = 0;
};

DepthFault ParserDepth(QXmlInputSource& source)
{
    QXmlSimpleReader reader;
    // The features the DOM sets: no namespace processing, and whitespace-only text not reported.
    reader.setFeature(QStringLiteral("http://xml.org/sax/features/namespaces"), false);
    reader.setFeature(QStringLiteral("http://xml.org/sax/features/namespace-prefixes"), true);
    reader.setFeature(QStringLiteral("http://trolltech.com/xml/features/report-whitespace-only-CharData"), false);
    DepthHandler handler;
    reader.setContentHandler(&handler);
    reader.setErrorHandler(&handler);
    reader.setLexicalHandler(&handler);
    reader.setDeclHandler(&handler);
    reader.setDTDHandler(&handler);
    reader.parse(&source);
    return handler.fault;
}

DepthFault ParserDepth(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QXmlInputSource source(&buffer);
    return ParserDepth(source);
}

DepthFault ParserDepth(const QString& text)
{
    QXmlInputSource source;
    source.setData(text);
    return ParserDepth(source);
}

QT_WARNING_POP

template <typename Char, typename Input>
DepthFault CheckDepth(const Char* begin, const Char* end, const Input& input)
{
    const ScanResult result = ScanDepth(begin, end);
    if (result.scan == Scan::TooDeep)
        return FaultAt(begin, static_cast<const Char*>(result.position));
    if (result.scan == Scan::NeedsParser)
        return ParserDepth(input);
    return {};
}

} // namespace

ReadResult ReadDocument(QIODevice& device, QByteArray& bytes)
{
    bytes.clear();
    // A file of known size is read in one piece (a short read is its end); a pipe in chunks until
    // it reports its end. Never more than one byte beyond the limit is read.
    const bool sequential = device.isSequential();
    qint64 chunk = sequential ? kReadChunk : std::min(device.size(), kMaxDocumentBytes) + 1;
    qint64 used = 0;
    for (;;) {
        const qint64 room = std::min(chunk, kMaxDocumentBytes + 1 - used);
        bytes.resize(int(used + room));
        const qint64 got = device.read(bytes.data() + used, room);
        if (got < 0) {
            bytes.clear();
            return ReadResult::Failed;
        }
        used += got;
        if (used > kMaxDocumentBytes) {
            bytes.clear();
            return ReadResult::TooLarge;
        }
        if (got == 0 || (!sequential && got < room))
            break;
        chunk = kReadChunk; // a file that grew while it was read
    }
    bytes.resize(int(used));
    char* const data = bytes.data();
    bytes.resize(int(std::remove(data, data + used, '\r') - data));
    return ReadResult::Read;
}

DepthFault CheckDepth(const QByteArray& bytes)
{
    if (!IsAsciiMarkup(bytes))
        return ParserDepth(bytes);
    return CheckDepth(bytes.constData(), bytes.constData() + bytes.size(), bytes);
}

DepthFault CheckDepth(const QString& text)
{
    const ushort* begin = text.utf16();
    return CheckDepth(begin, begin + text.size(), text);
}

QString DepthFaultMessage()
{
    return QStringLiteral("elements nested deeper than %1 levels").arg(kMaxElementDepth);
}

} // namespace XmlInput
