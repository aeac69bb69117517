// Guards in front of the DOM: a document is read whole within a size limit, and its elements are
// counted for their nesting depth before the DOM parser sees it, since the parser and the DOM
// recurse once per level and a deep enough document would overflow the stack.
#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

namespace XmlInput {

// Documents larger than this many bytes are refused before they are parsed.
constexpr qint64 kMaxDocumentBytes = qint64(256) * 1024 * 1024;
// Elements nested deeper than this are refused; the documents of this program use seven levels.
constexpr int kMaxElementDepth = 256;

enum class ReadResult { Read, TooLarge, Failed };

// Reads the device to its end into bytes, counting while reading (a pipe has no size), and drops
// every carriage return as a read in text mode does.
ReadResult ReadDocument(QIODevice& device, QByteArray& bytes);

// Where a document first nests elements deeper than kMaxElementDepth.
struct DepthFault {
    bool tooDeep = false;
    int line = 0;
    int column = 0;
};

// The raw bytes of a document (in any encoding the parser reads), or its text.
DepthFault CheckDepth(const QByteArray& bytes);
DepthFault CheckDepth(const QString& text);

// The parse-error text of a depth fault.
QString DepthFaultMessage();

} // namespace XmlInput
