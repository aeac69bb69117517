// The floor under a check: what Qt's DOM alone costs for the documents of one run. It parses the
// description and the configuration, then serialises the configuration's document and writes it
// to a file as the program saves one (resize, write, flush, commit to disk), and nothing else.
// The serialiser gets the program's codec, the cheapest one for Qt's DOM.
// Usage: bench_floor DESCRIPTION CONFIGURATION OUTPUT
#include "xmlmodel/ourtextcodec.h"

#include <QDomDocument>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace {

bool Parse(const char* path, QDomDocument& document)
{
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::ReadOnly | QIODevice::Text) && document.setContent(&file, false);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_floor DESCRIPTION CONFIGURATION OUTPUT\n");
        return 2;
    }
    QDomDocument description;
    QDomDocument configuration;
    if (!Parse(argv[1], description) || !Parse(argv[2], configuration))
        return 1;
    QString text;
    {
        QTextStream stream(&text);
        stream.setCodec(OurTextCodec::instance());
        configuration.save(stream, 3, QDomNode::EncodingFromTextStream);
    }
    const QByteArray bytes = text.toUtf8();
    QFile output(QString::fromLocal8Bit(argv[3]));
    if (!output.open(QIODevice::ReadWrite) || !output.resize(bytes.size()) || output.write(bytes) != bytes.size()
        || !output.flush() || ::fsync(output.handle()) != 0)
        return 1;
    return 0;
}
