// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the line reader of the FCC licence import. The first byte
// picks the longest line kept and the size of the pieces read, so line ends
// fall on every boundary; the lines must be those of a plain split at '\n',
// each too long one reported in its place and none of them ever held.
#include "callsigns/ulsimport.h"
#include "fuzzsupport.h"

#include <QByteArrayList>

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using rollcall::callsigns::UlsLineReader;
    if (size == 0)
        return 0;
    const qsizetype maxLine = 1 + (data[0] & 0x3F);
    const qint64 piece = 1 + (data[0] >> 6) * 7;
    const QByteArray bytes = rollcall::fuzz::bytesOf(data + 1, size - 1);
    qsizetype at = 0;
    UlsLineReader reader(
        [&](char *into, qint64 max) {
            const qint64 n = std::min<qint64>(max, bytes.size() - at);
            std::memcpy(into, bytes.constData() + at, size_t(n));
            at += n;
            return n;
        },
        maxLine, piece);
    QByteArrayList expected = bytes.split('\n');
    if (bytes.isEmpty() || bytes.endsWith('\n'))
        expected.removeLast(); // no line after the last line end
    qsizetype next = 0;
    for (QByteArray line;;) {
        const UlsLineReader::Result got = reader.next(line);
        if (got == UlsLineReader::Result::End)
            break;
        if (got == UlsLineReader::Result::Failed || next >= expected.size())
            std::abort();
        const QByteArray &want = expected[next++];
        const bool tooLong = want.size() > maxLine;
        if (tooLong != (got == UlsLineReader::Result::TooLong) || (!tooLong && line != want))
            std::abort();
    }
    if (next != expected.size() || reader.bytesRead() != bytes.size())
        std::abort();
    return 0;
}
