#include "xmlmodel/ourtextcodec.h"

OurTextCodec* OurTextCodec::instance()
{
    // Qt registers every codec at construction and owns it from then on.
    static OurTextCodec* const codec = new OurTextCodec;
    return codec;
}

QByteArray OurTextCodec::name() const
{
    return QByteArrayLiteral("?????");
}

int OurTextCodec::mibEnum() const
{
    return -1;
}

QString OurTextCodec::convertToUnicode(const char* /*input*/, int /*length*/, ConverterState* /*state*/) const
{
    return QString();
}

QByteArray OurTextCodec::convertFromUnicode(const QChar* input, int length, ConverterState* state) const
{
    if (input != nullptr && length > 0 && state != nullptr) {
        const ushort code = input[0].unicode();
        const bool forbidden = code <= 8 || code == 11 || code == 12 || (code >= 14 && code <= 31) || code >= 0xFFFE;
        if (forbidden)
            state->invalidChars = 1;
    }
    return QByteArray();
}
