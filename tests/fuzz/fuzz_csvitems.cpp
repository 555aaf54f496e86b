// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: CSV items of the callsign import, read from memory and
// streamed from a device; both ways must give the same items, none too long.
#include "callsigns/callsigncsv.h"
#include "fuzzsupport.h"

#include <QBuffer>
#include <QList>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using rollcall::callsigns::CsvItemReader;
    const QByteArray bytes = rollcall::fuzz::bytesOf(data, size);
    QList<QByteArray> inMemory, streamed;
    CsvItemReader reader(bytes);
    for (QByteArray item; reader.next(item);)
        inMemory << item;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CsvItemReader device(&buffer);
    for (QByteArray item; device.next(item);) {
        if (item.size() > CsvItemReader::kMaxItemBytes)
            std::abort();
        streamed << item;
    }
    if (inMemory.size() > qsizetype(size) + 1 || streamed.size() != inMemory.size())
        std::abort();
    return 0;
}
