// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/adif.h"

#include "app/version.h"
#include "reports/netreports.h"
#include "store/recordfile.h"
#include "store/textrules.h"

#include <QRegularExpression>
#include <QTextStream>
#include <QXmlStreamWriter>
#include <algorithm>

namespace rollcall::reports {

namespace {

// A value for the file: the ASCII form every String field holds, and for the
// fields that have an _INTL twin the exact text, which only ADX can carry.
struct Field
{
    const char *name;
    QString ascii;
    QString intl;
};
using Fields = QList<Field>;

// The net's name is ours to file with the contacts: an application field.
constexpr char kNetField[] = "APP_ROLLCALL_NET";

Field field(const char *name, const QString &value)
{
    return { name, adifAscii(value), QString() };
}

Field intlField(const char *name, const QString &value)
{
    QString exact = value;
    for (QChar &c : exact)
        if (c == u'\r' || c == u'\n' || c == u'\t')
            c = u' ';
    return { name, adifAscii(value), store::dropControlCharacters(exact).trimmed() };
}

// "<NAME:length>value": all a reader takes is the counted bytes, whatever they hold.
void adiField(QByteArray &out, const char *name, const QString &value)
{
    if (value.isEmpty())
        return;
    const QByteArray bytes = value.toLatin1(); // ASCII by now
    out += '<';
    out += name;
    out += ':';
    out += QByteArray::number(bytes.size());
    out += '>';
    out += bytes;
    out += ' ';
}

QByteArray adiFile(const Fields &header, const QList<Fields> &records)
{
    // Text before the first field is free; it holds nothing from outside.
    QByteArray out = "Rollcall net log\r\n";
    for (const Field &f : header)
        adiField(out, f.name, f.ascii);
    out += "<EOH>\r\n";
    for (const Fields &record : records) {
        for (const Field &f : record)
            adiField(out, f.name, f.ascii);
        out += "<EOR>\r\n";
    }
    return out;
}

void adxField(QXmlStreamWriter &xml, const Field &f)
{
    if (qstrcmp(f.name, kNetField) == 0) {
        if (f.intl.isEmpty())
            return;
        xml.writeStartElement(QStringLiteral("APP"));
        xml.writeAttribute(QStringLiteral("PROGRAMID"), QStringLiteral("ROLLCALL"));
        xml.writeAttribute(QStringLiteral("FIELDNAME"), QStringLiteral("NET"));
        xml.writeAttribute(QStringLiteral("TYPE"), QStringLiteral("I"));
        xml.writeCharacters(f.intl);
        xml.writeEndElement();
        return;
    }
    const QString name = QLatin1String(f.name);
    if (!f.ascii.isEmpty())
        xml.writeTextElement(name, f.ascii);
    if (!f.intl.isEmpty())
        xml.writeTextElement(name + QStringLiteral("_INTL"), f.intl);
}

QByteArray adxFile(const Fields &header, const QList<Fields> &records)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("ADX"));
    xml.writeStartElement(QStringLiteral("HEADER"));
    for (const Field &f : header)
        adxField(xml, f);
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("RECORDS"));
    for (const Fields &record : records) {
        xml.writeStartElement(QStringLiteral("RECORD"));
        for (const Field &f : record)
            adxField(xml, f);
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return out;
}

struct Band
{
    double low, high;
    const char *name;
};
// The ADIF band table, in MHz.
constexpr Band kBands[] = { { 0.1357, 0.1378, "2190m" }, { 0.472, 0.479, "630m" },
    { 0.501, 0.504, "560m" }, { 1.8, 2.0, "160m" }, { 3.5, 4.0, "80m" }, { 5.06, 5.45, "60m" },
    { 7.0, 7.3, "40m" }, { 10.1, 10.15, "30m" }, { 14.0, 14.35, "20m" }, { 18.068, 18.168, "17m" },
    { 21.0, 21.45, "15m" }, { 24.890, 24.99, "12m" }, { 28.0, 29.7, "10m" }, { 40.0, 45.0, "8m" },
    { 50.0, 54.0, "6m" }, { 54.000001, 69.9, "5m" }, { 70.0, 71.0, "4m" }, { 144.0, 148.0, "2m" },
    { 222.0, 225.0, "1.25m" }, { 420.0, 450.0, "70cm" }, { 902.0, 928.0, "33cm" },
    { 1240.0, 1300.0, "23cm" }, { 2300.0, 2450.0, "13cm" }, { 3300.0, 3500.0, "9cm" },
    { 5650.0, 5925.0, "6cm" }, { 10000.0, 10500.0, "3cm" }, { 24000.0, 24250.0, "1.25cm" } };
} // namespace

std::optional<double> frequencyMhz(const QString &text)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{1,5}(?:\\.\\d+)?)\\s*(?:mhz)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const double mhz = m.captured(1).toDouble();
    if (mhz <= 0)
        return std::nullopt;
    return mhz;
}

QString adifBand(double mhz)
{
    for (const Band &b : kBands)
        if (mhz >= b.low && mhz <= b.high)
            return QLatin1String(b.name);
    return {};
}

bool isAdxFile(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".adx"), Qt::CaseInsensitive);
}

QString adifAscii(const QString &text)
{
    // Letters with no accent to take off.
    static const std::pair<char16_t, const char *> spelled[]
        = { { u'\u00df', "ss" }, { u'\u00e6', "ae" }, { u'\u00c6', "AE" }, { u'\u0153', "oe" },
              { u'\u0152', "OE" }, { u'\u00f8', "o" }, { u'\u00d8', "O" }, { u'\u0142', "l" },
              { u'\u0141', "L" }, { u'\u0111', "d" }, { u'\u0110', "D" }, { u'\u00f0', "d" },
              { u'\u00d0', "D" }, { u'\u00fe', "th" }, { u'\u00de', "Th" }, { u'\u0131', "i" },
              { u'\u2018', "'" }, { u'\u2019', "'" }, { u'\u201c', "\"" }, { u'\u201d', "\"" },
              { u'\u2013', "-" }, { u'\u2014', "-" } };
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (qsizetype i = 0; i < decomposed.size(); ++i) {
        const QChar c = decomposed[i];
        const char16_t u = c.unicode();
        if (u >= 32 && u < 127) {
            out += c;
        } else if (u == u'\r' || u == u'\n' || u == u'\t') {
            out += u' ';
        } else if (u < 32 || u == 127 || (u >= 0x80 && u < 0xa0)
            || c.category() == QChar::Mark_NonSpacing) {
            // controls and the accents NFKD split off
        } else {
            const auto it = std::find_if(std::begin(spelled), std::end(spelled),
                [u](const auto &s) { return s.first == u; });
            out += it != std::end(spelled) ? QLatin1String(it->second) : QLatin1String("?");
            if (c.isHighSurrogate() && i + 1 < decomposed.size()
                && decomposed[i + 1].isLowSurrogate())
                ++i; // one character, one '?'
        }
    }
    return out.trimmed();
}

std::optional<QByteArray> adifFile(
    const NetReportData &net, const AdifOptions &options, QString *error)
{
    const std::optional<QDateTime> startLocal = lineDateTime(net.startLine, options.locale);
    if (!startLocal) {
        if (error)
            *error = QStringLiteral("the net's start line gives no date and time: \"%1\"")
                         .arg(net.startLine.trimmed());
        return std::nullopt;
    }
    // The start line is local time; a UTC net logs its check-ins in UTC.
    const QDateTime startInZone(startLocal->date(), startLocal->time(), options.localZone);
    DayFinder days(net.utc ? startInZone.toUTC() : startInZone);
    const std::optional<double> mhz = frequencyMhz(net.frequency);

    const Fields header = { field("ADIF_VER", QStringLiteral("3.1.0")),
        field("PROGRAMID", QStringLiteral("Rollcall")), field("PROGRAMVERSION", versionText()),
        intlField(kNetField, net.netname) };
    QList<Fields> records;
    for (const CheckIn &c : net.checkIns) {
        const QString call = c.callsign.trimmed().toUpper();
        if (call.isEmpty())
            continue;
        const std::optional<QTime> time = readLogTime(c.logtime, options.locale);
        if (!time)
            continue; // no contact without a time
        const QDateTime on = days.place(*time).toUTC();
        Fields r = { field("CALL", call),
            field("QSO_DATE", on.date().toString(QStringLiteral("yyyyMMdd"))),
            field("TIME_ON", on.time().toString(QStringLiteral("HHmmss"))) };
        if (mhz)
            r << field("FREQ", QString::number(*mhz, 'g', 10)) << field("BAND", adifBand(*mhz));
        r << field("MODE", options.mode.trimmed().toUpper()) << intlField("NAME", c.name)
          << intlField("QTH", c.location) << field("STATE", c.state.trimmed().toUpper())
          << intlField("COMMENT", c.comment);
        records << r;
    }
    return options.xml ? adxFile(header, records) : adiFile(header, records);
}

int runAdifCommand(const QStringList &args)
{
    const auto fail = [](const QString &message, int code = 1) {
        QTextStream(stderr) << "rollcall adif: " << message << '\n';
        return code;
    };
    QString folder, output;
    AdifOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if ((a == QLatin1String("-o") || a == QLatin1String("--mode")) && i + 1 < args.size()) {
            (a == QLatin1String("-o") ? output : options.mode) = args[++i];
        } else if (a.startsWith(QLatin1String("--mode="))) {
            options.mode = a.mid(7);
        } else if (a.startsWith(u'-')) {
            return fail(QStringLiteral("unknown option or missing value: %1").arg(a), 2);
        } else if (folder.isEmpty()) {
            folder = a;
        } else {
            return fail(QStringLiteral("one net folder only (%1?)").arg(a), 2);
        }
    }
    if (folder.isEmpty() || output.isEmpty())
        return fail(
            QStringLiteral("usage: rollcall adif NETFOLDER -o FILE.adi|FILE.adx [--mode MODE]"), 2);
    if (options.mode.trimmed().isEmpty())
        return fail(QStringLiteral("--mode needs a mode such as FM or SSB"), 2);
    options.xml = isAdxFile(output);
    QString error;
    const std::optional<NetReportData> net = loadNetFromFolder(folder, &error);
    if (!net)
        return fail(error);
    const std::optional<QByteArray> bytes = adifFile(*net, options, &error);
    if (!bytes)
        return fail(error);
    return store::writeWholeFile(output, *bytes, &error) ? 0 : fail(error);
}

} // namespace rollcall::reports
