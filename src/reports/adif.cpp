#include "reports/adif.h"

#include "app/version.h"
#include "reports/netreports.h"
#include "store/recordfile.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace rollcall::reports {

namespace {
// "<NAME:length>value"; the length counts the UTF-8 bytes ADIF reads.
void field(QByteArray &out, const char *name, const QString &value)
{
    const QByteArray bytes = value.toUtf8();
    if (bytes.isEmpty())
        return;
    out += '<';
    out += name;
    out += ':';
    out += QByteArray::number(bytes.size());
    out += '>';
    out += bytes;
    out += ' ';
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
    const QDateTime start = net.utc ? startInZone.toUTC() : startInZone;
    const std::optional<double> mhz = frequencyMhz(net.frequency);

    QByteArray out = "Net " + net.netname.toUtf8() + " from Rollcall\r\n";
    field(out, "ADIF_VER", QStringLiteral("3.1.0"));
    field(out, "PROGRAMID", QStringLiteral("Rollcall"));
    field(out, "PROGRAMVERSION", versionText());
    out += "<EOH>\r\n";
    for (const CheckIn &c : net.checkIns) {
        const QString call = c.callsign.trimmed().toUpper();
        if (call.isEmpty())
            continue;
        const std::optional<QTime> time = readLogTime(c.logtime, options.locale);
        if (!time)
            continue; // no contact without a time
        // A time before the start belongs to the next day.
        const QDate date = *time < start.time() ? start.date().addDays(1) : start.date();
        const QDateTime on
            = QDateTime(date, *time, net.utc ? QTimeZone::utc() : options.localZone).toUTC();
        field(out, "CALL", call);
        field(out, "QSO_DATE", on.date().toString(QStringLiteral("yyyyMMdd")));
        field(out, "TIME_ON", on.time().toString(QStringLiteral("HHmmss")));
        if (mhz) {
            field(out, "FREQ", QString::number(*mhz, 'g', 10));
            field(out, "BAND", adifBand(*mhz));
        }
        field(out, "MODE", options.mode.trimmed().toUpper());
        field(out, "NAME", c.name.trimmed());
        field(out, "QTH", c.location.trimmed());
        field(out, "STATE", c.state.trimmed().toUpper());
        field(out, "COMMENT", c.comment.trimmed());
        out += "<EOR>\r\n";
    }
    return out;
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
        return fail(QStringLiteral("usage: rollcall adif NETFOLDER -o FILE.adi [--mode MODE]"), 2);
    if (options.mode.trimmed().isEmpty())
        return fail(QStringLiteral("--mode needs a mode such as FM or SSB"), 2);
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
