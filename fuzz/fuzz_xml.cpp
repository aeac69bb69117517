// libFuzzer target: arbitrary bytes as an updates description and as an updater configuration,
// written back and read again (see xmlroundtrip.h).
#include "xmlroundtrip.h"

#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QString ScratchFile()
{
    // One file per fuzzing process, so that parallel jobs do not share it.
    static const QString path = QDir::tempPath() + QStringLiteral("/kvr-fuzz-xml-%1.xml").arg(::getpid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QString failure = XmlRoundTrip::Check(bytes, ScratchFile());
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "round trip failed: %s\n", failure.toUtf8().constData());
        std::abort();
    }
    return 0;
}
