// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/radiogramformats.h"

#include "store/recordfile.h"

#include <QRegularExpression>

namespace rollcall::traffic {

namespace {
using store::trimTrailingBlanks;

constexpr int kPrintZone = 14;
constexpr QChar kCr = u'\r';

// Column of the nth print zone (1: column 1, 3: column 29, 4: column 43).
constexpr int zoneColumn(int zone)
{
    return 1 + (zone - 1) * kPrintZone;
}

QString upperTrimmed(const QString &text)
{
    return trimTrailingBlanks(text).toUpper();
}

bool isBlank(const QString &text)
{
    return text.trimmed().isEmpty();
}

// A multi-line box may hold CR LF (rows written on Windows), LF or CR alone.
QStringList textLines(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return text.split(lineBreak);
}

QString leadingBlanksRemoved(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == u' ')
        ++i;
    return text.mid(i);
}
} // namespace

QString renderNumber(const Radiogram &r)
{
    return upperTrimmed(r.originmessagenumber);
}

QString renderPrecedence(const QString &precedence)
{
    const QString prec = upperTrimmed(precedence);
    if (prec == QLatin1String("EMERGENCY"))
        return prec;
    return prec.left(1);
}

QString preambleLine(const Radiogram &r)
{
    return QStringList { renderNumber(r), renderPrecedence(r.precedence), upperTrimmed(r.handling),
        upperTrimmed(r.originsation), QString::number(CountWords(r.messagetext)),
        upperTrimmed(r.originplace), upperTrimmed(r.origintime), upperTrimmed(r.origindate) }
        .join(QLatin1String("  "));
}

QString cityLine(const Radiogram &r)
{
    return upperTrimmed(r.tocity) + QLatin1String(",  ") + upperTrimmed(r.tostate)
        + QLatin1String("  ") + upperTrimmed(r.tozip);
}

QString receivedWhen(const Radiogram &r)
{
    return trimTrailingBlanks(r.recdate) + u' ' + trimTrailingBlanks(r.rectime);
}

QList<LayoutLine> radiogramLayout(const Radiogram &r, RadiogramLayout layout)
{
    QList<LayoutLine> lines;
    auto add = [&lines](const QString &text, int column = 1) { lines.append({ text, column }); };
    const QString name = r.toname.toUpper();
    const QString street = r.tostreet.toUpper();
    const QStringList text = textLines(r.messagetext.toUpper());
    const QString signature = r.signature.toUpper();

    if (layout == RadiogramLayout::PacketFile) {
        // The packet file keeps the address lines even when they are empty.
        add(preambleLine(r));
        add({});
        add(name);
        add(street);
        add(cityLine(r));
        add(r.tophone);
        add({});
        for (const QString &line : text)
            add(line);
        add({});
        add(signature, zoneColumn(3));
        add({});
        return lines;
    }

    const bool full = layout != RadiogramLayout::DeliveredMessageFile;
    if (full) {
        if (!r.sendingstation.isEmpty()) {
            add(QStringLiteral("Received from Station: ") + r.sendingstation);
            add(QStringLiteral("Date/Time Received: ") + receivedWhen(r));
        }
        add({});
        add(QStringLiteral("*******************  NTS MESSAGE FOLLOWS *******************"));
        add({});
    }
    add(preambleLine(r));
    add({});
    add(name);
    if (!isBlank(r.tostreet))
        add(street);
    if (!isBlank(r.tocity))
        add(cityLine(r));
    if (!isBlank(r.tophone))
        add(layout == RadiogramLayout::Printed ? r.tophone.toUpper() : r.tophone);
    add({});
    add(QStringLiteral("BT"));
    for (const QString &line : text)
        add(line);
    add(QStringLiteral("BT"));
    add(signature, zoneColumn(layout == RadiogramLayout::Printed ? 4 : 3));
    if (full) {
        add({});
        add(QStringLiteral("******************* END OF NTS MESSAGE *******************"));
    }
    return lines;
}

QStringList radiogramLines(const Radiogram &r, RadiogramLayout layout)
{
    QStringList result;
    for (const LayoutLine &line : radiogramLayout(r, layout))
        result.append(QString(line.column - 1, u' ') + line.text);
    return result;
}

QByteArray radiogramFileBytes(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += store::toWindows1252(line);
        bytes += "\r\n";
    }
    return bytes;
}

QStringList packetProgramChunks(const Radiogram &r, const QString &checkLabel)
{
    QStringList chunks;
    chunks << QStringList { upperTrimmed(leadingBlanksRemoved(r.originmessagenumber)), r.precedence,
        upperTrimmed(r.handling), upperTrimmed(r.originsation), checkLabel,
        upperTrimmed(r.originplace), upperTrimmed(r.origintime), upperTrimmed(r.origindate) }
                  .join(u' ')
            + kCr;
    chunks << r.toname.toUpper() + kCr;
    if (!isBlank(r.tostreet))
        chunks << r.tostreet.toUpper() + kCr;
    // City, state and postal code make one line, ended by the postal code's CR.
    if (!isBlank(r.tocity))
        chunks << r.tocity.toUpper() + QLatin1String(", ");
    if (!isBlank(r.tostate))
        chunks << r.tostate.toUpper() + u' ';
    if (!isBlank(r.tozip))
        chunks << r.tozip.toUpper() + kCr;
    else if (!isBlank(r.tocity) || !isBlank(r.tostate))
        chunks.last() += kCr; // never run the phone number onto the city line
    if (!isBlank(r.tophone))
        chunks << r.tophone.toUpper() + kCr;
    chunks << QStringLiteral("BT") + kCr;
    // The packet program takes CR as the end of a line, so the text's own breaks become CR.
    chunks << textLines(r.messagetext.toUpper()).join(kCr) + kCr;
    chunks << QStringLiteral("BT") + kCr;
    chunks << r.signature.toUpper() + kCr;
    chunks << QStringLiteral("/EX") + kCr;
    return chunks;
}

QString proposedFileName(const Radiogram &r, MessageSource source)
{
    if (source == MessageSource::EntryWindow)
        return r.precedence.left(2).toUpper() + renderNumber(r);
    return renderNumber(r);
}

QString defaultExtension(MessageSource source)
{
    return source == MessageSource::EntryWindow ? QStringLiteral(".txt") : QStringLiteral(".nts");
}

QString messageFileFilter()
{
    return QStringLiteral("Text (*.txt)|*.txt|NTS  (*.nts)|*.nts");
}

} // namespace rollcall::traffic
