// Loads and saves a generated updates description of many updates and prints the time of each
// step and the peak memory of the process, then the same steps of Qt's DOM alone (parsing the file,
// serialising the document with the program's codec) and the ratios to them. The load and the DOM
// parse are then repeated in alternating order, and their medians compared, as one run of each
// varies with the machine's load and the state of the heap.
#include "xmlmodel/ourtextcodec.h"
#include "xmlmodel/updates.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>
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

// Processor time (user and system) and minor page faults of the process so far. Processor time
// depends less on the other load of the machine than elapsed time; a page fault is memory the
// process touches for the first time, which on some virtual machines costs tens of microseconds.
struct Usage {
    qint64 cpuUs = 0;
    long faults = 0;
};

Usage UsageNow()
{
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return {};
    const auto us = [](const timeval& t) { return qint64(t.tv_sec) * 1000000 + t.tv_usec; };
    return {us(usage.ru_utime) + us(usage.ru_stime), usage.ru_minflt};
}

// glibc merges small freed blocks only at the next large request, which then pays for all of them
// (after a document of Qt's DOM, about 100 ms). Each step starts with that done, so that it does
// not pay for the memory the step before it gave back.
void SettleHeap()
{
    // Through a volatile pointer: the compiler may drop a malloc/free pair whose block is unused.
    void* volatile block = std::malloc(64 * 1024);
    std::free(block);
}

// Elapsed and processor time and page faults of one step, which starts with a settled heap.
struct Cost {
    qint64 ms = 0;
    qint64 cpuMs = 0;
    long faults = 0;
};

class Meter
{
public:
    Meter()
    {
        SettleHeap();
        m_start = UsageNow();
        m_timer.start();
    }
    Cost cost() const
    {
        const Usage now = UsageNow();
        return {m_timer.elapsed(), (now.cpuUs - m_start.cpuUs) / 1000, now.faults - m_start.faults};
    }

private:
    QElapsedTimer m_timer;
    Usage m_start;
};

// The steps, each a function of its own, so that `callgrind_annotate --inclusive=yes` shows the
// instructions of each (bench/run-xml.sh N folder callgrind); the uncounted first pass of the DOM
// alone runs the instances <false>, which count themselves so that the compiler does not fold
// the two instances into one.
volatile int g_uncountedSteps = 0;

template <bool Counted>
Q_NEVER_INLINE bool StepDomParse(const QString& input, QDomDocument& document)
{
    if (!Counted)
        g_uncountedSteps = g_uncountedSteps + 1;
    QFile domInput(input);
    return domInput.open(QIODevice::ReadOnly | QIODevice::Text) && document.setContent(&domInput, false);
}

template <bool Counted>
Q_NEVER_INLINE qint64 StepDomSerialise(const QDomDocument& document)
{
    if (!Counted)
        g_uncountedSteps = g_uncountedSteps + 1;
    QString domText;
    QTextStream stream(&domText);
    stream.setCodec(OurTextCodec::instance());
    document.save(stream, 3, QDomNode::EncodingFromTextStream);
    stream.flush();
    return domText.size();
}

Q_NEVER_INLINE int StepLoad(CUpdates& description, const QString& input)
{
    return description.loadFromFile(input);
}

Q_NEVER_INLINE qint64 StepWriteText(const CUpdates& description)
{
    return description.toXmlString(true, true).size();
}

Q_NEVER_INLINE int StepSave(CUpdates& description, const QString& output)
{
    return description.saveToFile(output);
}

// Qt's DOM alone on the file: the parse and the serialisation with the program's codec.
template <bool Counted>
bool DomAlone(const QString& input, Cost& parse, Cost& save, qint64& characters)
{
    QDomDocument document;
    Meter meter;
    if (!StepDomParse<Counted>(input, document))
        return false;
    parse = meter.cost();
    Meter saveMeter;
    characters = StepDomSerialise<Counted>(document);
    save = saveMeter.cost();
    return true;
}

// The load alone, into records that are freed after it.
bool LoadAlone(const QString& input, Cost& load)
{
    CUpdates* records = new CUpdates;
    Meter meter;
    const int result = StepLoad(*records, input);
    load = meter.cost();
    delete records;
    return result == 0;
}

qint64 Median(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int updates = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    const int rounds = std::max(1, argc > 2 ? QByteArray(argv[2]).toInt() : 7);
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
    Cost domParse;
    Cost domSave;
    qint64 domCharacters = 0;
    if (!DomAlone<false>(input, domParse, domSave, domCharacters))
        return 1;
    const long before = PeakMemoryKiB();
    const long long heapBefore = HeapInUse();

    CUpdates* loadedRecords = new CUpdates;
    CUpdates& description = *loadedRecords;
    Meter loadMeter;
    const int loaded = StepLoad(description, input);
    const Cost load = loadMeter.cost();
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

    Meter textMeter;
    const qint64 written = StepWriteText(description);
    const Cost writeText = textMeter.cost();
    Meter saveMeter;
    const int saved = StepSave(description, output);
    const Cost save = saveMeter.cost();
    if (saved != 0)
        return 1;
    const long afterSave = PeakMemoryKiB();

    Meter copyMeter;
    CUpdates* copy = new CUpdates(description);
    const Cost copied = copyMeter.cost();
    delete copy;
    const int warnings = description.getWarnings().size();
    delete loadedRecords;

    // Qt's DOM alone on the same file, counted this time.
    if (!DomAlone<true>(input, domParse, domSave, domCharacters))
        return 1;

    // Further rounds of the load and the DOM parse alone, the one or the other first in turn.
    std::vector<qint64> loadCpu{load.cpuMs};
    std::vector<qint64> domCpu{domParse.cpuMs};
    for (int round = 1; round < rounds; ++round) {
        Cost cost;
        Cost unused;
        qint64 unusedCharacters = 0;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (round % 2 == 0)) {
                if (!LoadAlone(input, cost))
                    return 1;
                loadCpu.push_back(cost.cpuMs);
            } else {
                if (!DomAlone<true>(input, cost, unused, unusedCharacters))
                    return 1;
                domCpu.push_back(cost.cpuMs);
            }
        }
    }

    const auto print = [](const char* step, const Cost& cost) {
        std::printf("%s: %lld ms, %lld ms processor time, %ld page faults", step, (long long)cost.ms,
                    (long long)cost.cpuMs, cost.faults);
    };
    print("load", load);
    std::printf(" (%d updates, %d warnings)\n", count, warnings);
    print("write text", writeText);
    std::printf(" (%lld characters)\n", (long long)written);
    print("save", save);
    std::printf(" (%lld bytes, with writing the text)\n", (long long)QFile(output).size());
    print("copy", copied);
    print("\nDOM parse alone", domParse);
    print("\nDOM serialisation alone", domSave);
    std::printf(" (%lld characters)\n", (long long)domCharacters);
    const auto ratio = [](qint64 a, qint64 b) { return double(a) / double(qMax<qint64>(b, 1)); };
    std::printf("load / DOM parse: %.2f (processor time %.2f); write text / DOM serialisation: %.2f (processor time "
                "%.2f)\n",
                ratio(load.ms, domParse.ms), ratio(load.cpuMs, domParse.cpuMs), ratio(writeText.ms, domSave.ms),
                ratio(writeText.cpuMs, domSave.cpuMs));
    if (rounds > 1)
        std::printf("load / DOM parse over %d rounds: median %lld / %lld ms processor time = %.2f\n", rounds,
                    (long long)Median(loadCpu), (long long)Median(domCpu), ratio(Median(loadCpu), Median(domCpu)));
    std::printf("heap held by the loaded records: %lld KiB (%lld bytes per update)\n", recordHeap / 1024,
                count > 0 ? recordHeap / count : 0);
    std::printf("peak memory (ru_maxrss): %ld KiB before load, %ld KiB after load, %ld KiB after save\n", before,
                afterLoad, afterSave);
    return 0;
}
