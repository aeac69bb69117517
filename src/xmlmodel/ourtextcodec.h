// Codec of the text stream into which documents are serialised. It converts nothing: it only tells
// the DOM serialiser which characters XML 1.0 forbids, so that exactly those become character
// references, and its name marks the encoding in the declaration for replacement.
#pragma once

#include <QTextCodec>

class OurTextCodec : public QTextCodec
{
public:
    // The one instance, created on first use and kept for the life of the process.
    static OurTextCodec* instance();

    QByteArray name() const override;
    int mibEnum() const override;

protected:
    QString convertToUnicode(const char* input, int length, ConverterState* state) const override;
    QByteArray convertFromUnicode(const QChar* input, int length, ConverterState* state) const override;

private:
    OurTextCodec() = default;
};
