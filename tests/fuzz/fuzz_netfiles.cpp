// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the record files of a net folder. The input is split at
// "\n--\n" into freq.inf, ncs.net, start.net, net.inf, net.cmt and a station's
// comment file; then every reader a report uses runs over the folder.
#include "fuzzsupport.h"
#include "store/netfiles.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace rollcall;
    static const QString netpath = [] {
        const QString path = fuzz::scratch(QStringLiteral("NET")) + u'/';
        QDir().mkpath(path);
        return path;
    }();
    static const char *const names[]
        = { "freq.inf", "ncs.net", "start.net", "net.inf", "net.cmt", "Q1AW.cmt" };
    QByteArray rest = fuzz::bytesOf(data, size);
    for (const char *name : names) {
        const qsizetype cut = rest.indexOf("\n--\n");
        fuzz::writeScratch(netpath + QLatin1String(name), cut < 0 ? rest : rest.left(cut));
        rest = cut < 0 ? QByteArray() : rest.mid(cut + 4);
    }
    store::readFrequency(netpath);
    store::readNcsHistory(netpath);
    store::readStartNetLines(netpath);
    store::readStartLine(netpath);
    store::readEndLine(netpath);
    store::netLogsUtc(netpath);
    store::readNetComments(netpath);
    store::readStationComments(netpath, QStringLiteral("Q1AW"));
    store::readLocked(netpath);
    return 0;
}
