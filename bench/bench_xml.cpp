// Loads and saves a generated updates description of many updates and prints the time of each
// step and the peak memory of the process, then the same steps of Qt's DOM alone (parsing the file,
// serialising the document with the program's codec) and the ratios to them.
#include "xmlmodel/ourtextcodec.h"
#include "xmlmodel/updates.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <malloc.h>
#include <sys/resource.h>

namespace {

const int kProducts = 3;
const int kVersionsPerProduct = 4;
const char* const kLocales[] = {"en_US", "de_DE", "fr_FR", "ja_JP", "ru_RU"};

// Bytes of heap in use now.
long long HeapInUse()
{
    return (long long)mallinfo2().uordblks;
}

long PeakMemoryKiB()
{
    struct rusage usage;
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
}

// A description of `updates` updates spread over a few products and versions, each update with
// localised names and descriptions, a promotion link and an ancestry of a few versions.
QByteArray Description(int updates)
{
    QString text;
    QTextStream out(&text);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CorvantisUpdates dyn_lists=\"Product "
        << kProducts << "\">\n";
    const int versions = kProducts * kVersionsPerProduct;
    int made = 0;
    for (int p = 0; p < kProducts; ++p) {
        out << " <Product id=\"" << p << "\" dyn_lists=\"Version " << kVersionsPerProduct << "\">\n"
            << "  <ProductName>Corvantis Product " << p << "</ProductName>\n  <UpdateEnabled>1</UpdateEnabled>\n";
        for (int v = 0; v < kVersionsPerProduct; ++v) {
            const int version = p * kVersionsPerProduct + v;
            const int count = updates / versions + (version < updates % versions ? 1 : 0);
            out << "  <Version id=\"" << v << "\" dyn_lists=\"Update " << count << "\">\n"
                << "   <Major>5</Major><Minor>" << v << "</Minor><SubMinor>0</SubMinor><SubSubMinor>" << p
                << "</SubSubMinor>\n   <StringRepresentation>5." << v << ".0." << p << "</StringRepresentation>\n";
            for (int u = 0; u < count; ++u, ++made) {
                out << "   <Update id=\"" << u << "\" dyn_lists=\"UpdateName UpdateDescription UpdatePromoUrl\">\n"
                    << "    <Uuid>{" << QString::number(0x10000000 + made, 16) << "-0000-4000-8000-"
                    << QString::number(0x100000000000LL + made, 16) << "}</Uuid>\n"
                    << "    <UpdateType>" << (made % 3) << "</UpdateType>\n";
                for (const char* locale : kLocales)
                    out << "    <UpdateName>" << locale << "#Update " << made << " for version 5." << v
                        << " &amp; later</UpdateName>\n";
                for (const char* locale : kLocales)
                    out << "    <UpdateDescription>" << locale << "#This update fixes problem " << made
                        << " in the importer and improves the speed of the viewer.\nSee the notes.</UpdateDescription>\n";
                out << "    <UpdatePromoUrl>https://www.corvantis.example/promo/" << made << "</UpdatePromoUrl>\n"
                    << "    <FilePath>https://download.corvantis.example/updates/update-" << made << ".bin</FilePath>\n"
                    << "    <FileSize>" << (1000 + made) << "</FileSize>\n"
                    << "    <CheckSum>" << QString::number(0x123456789abcULL * (made + 1), 16) << "</CheckSum>\n"
                    << "    <Status>0</Status>\n    <DateTime>2015-03-01 12:00:00</DateTime>\n"
                    << "    <Chargeable>0</Chargeable>\n    <LocaleName>en_US</LocaleName>\n"
                    << "    <DistributorName>Corvantis</DistributorName>\n    <OsType>win</OsType>\n"
                    << "    <Ancestry dyn_lists=\"Ancestor\">\n";
                for (int a = 0; a < 3; ++a)
                    out << "     <Ancestor>lum.5." << v << "." << a << "-36436.en_US.corvantis.win</Ancestor>\n";
                out << "    </Ancestry>\n    <HotfixSN>" << (made % 7 == 0 ? made : 0) << "</HotfixSN>\n   </Update>\n";
            }
            out << "  </Version>\n";
        }
        out << " </Product>\n";
    }
    out << "</CorvantisUpdates>\n";
    out.flush();
    return text.toUtf8();
}

// Qt's DOM alone on the file: the parse and the serialisation with the program's codec, in ms.
bool DomAlone(const QString& input, qint64& parseMs, qint64& saveMs, qint64& characters)
{
    QElapsedTimer timer;
    timer.start();
    QDomDocument document;
    QFile domInput(input);
    if (!domInput.open(QIODevice::ReadOnly | QIODevice::Text) || !document.setContent(&domInput, false))
        return false;
    parseMs = timer.restart();
    QString domText;
    {
        QTextStream stream(&domText);
        stream.setCodec(OurTextCodec::instance());
        document.save(stream, 3, QDomNode::EncodingFromTextStream);
    }
    saveMs = timer.restart();
    characters = domText.size();
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int updates = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("description.xml"));
    const QString output = dir.filePath(QStringLiteral("saved.xml"));

    QElapsedTimer timer;
    timer.start();
    const QByteArray text = Description(updates);
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return 2;
    file.close();
    std::printf("generated %d updates, %lld bytes in %lld ms\n", updates, (long long)text.size(),
                (long long)timer.restart());
    // Both sides are compared with a heap in use: a first pass of the DOM alone pays for the fresh
    // memory of the process, and is not counted.
    qint64 domParseMs = 0;
    qint64 domSaveMs = 0;
    qint64 domCharacters = 0;
    if (!DomAlone(input, domParseMs, domSaveMs, domCharacters))
        return 1;
    const long before = PeakMemoryKiB();
    const long long heapBefore = HeapInUse();

    CUpdates* loadedRecords = new CUpdates;
    CUpdates& description = *loadedRecords;
    timer.restart();
    const int loaded = description.loadFromFile(input);
    const qint64 loadMs = timer.restart();
    if (loaded != 0) {
        std::printf("load failed: %s\n", description.getErrorMessage().toUtf8().constData());
        return 1;
    }
    int count = 0;
    for (const CUpdProduct* product : description.Product)
        for (const CUpdProductVersion* version : product->Version)
            count += version->Update.size();
    const long afterLoad = PeakMemoryKiB();
    const long long recordHeap = HeapInUse() - heapBefore;

    timer.restart();
    const qint64 written = description.toXmlString(true, true).size();
    const qint64 textMs = timer.restart();
    const int saved = description.saveToFile(output);
    const qint64 saveMs = timer.restart();
    if (saved != 0)
        return 1;
    const long afterSave = PeakMemoryKiB();

    CUpdates* copy = new CUpdates(description);
    const qint64 copyMs = timer.restart();
    delete copy;
    const int warnings = description.getWarnings().size();
    delete loadedRecords;

    // Qt's DOM alone on the same file, counted this time.
    if (!DomAlone(input, domParseMs, domSaveMs, domCharacters))
        return 1;

    std::printf("load: %lld ms (%d updates, %d warnings)\n", (long long)loadMs, count, warnings);
    std::printf("write text: %lld ms (%lld characters)\n", (long long)textMs, (long long)written);
    std::printf("save: %lld ms (%lld bytes, with writing the text)\n", (long long)saveMs, (long long)QFile(output).size());
    std::printf("copy: %lld ms\n", (long long)copyMs);
    std::printf("DOM parse alone: %lld ms, DOM serialisation alone: %lld ms (%lld characters)\n", (long long)domParseMs,
                (long long)domSaveMs, (long long)domCharacters);
    std::printf("load / DOM parse: %.2f; write text / DOM serialisation: %.2f\n", double(loadMs) / double(qMax<qint64>(domParseMs, 1)),
                double(textMs) / double(qMax<qint64>(domSaveMs, 1)));
    std::printf("heap held by the loaded records: %lld KiB (%lld bytes per update)\n", recordHeap / 1024,
                count > 0 ? recordHeap / count : 0);
    std::printf("peak memory (ru_maxrss): %ld KiB before load, %ld KiB after load, %ld KiB after save\n", before,
                afterLoad, afterSave);
    return 0;
}
