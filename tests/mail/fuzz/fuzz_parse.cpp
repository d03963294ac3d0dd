// libFuzzer target: any bytes, cut into lines, handed to the message parser.

#include "mail/mailmessage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    kirvane::mail::MailMessage msg;
    QString error;
    msg.parse(lines, &error);
    // Whatever was parsed must compose again without harm.
    msg.from = QStringLiteral("a@b.c");
    QString composeError;
    if (!msg.compose(&composeError))
        __builtin_trap();
    return 0;
}
