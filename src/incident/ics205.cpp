// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/ics205.h"

#include "incident/formpdf.h"
#include "incident/incidentfile.h"
#include "reports/ics309.h"
#include "reports/netreportsource.h"
#include "store/recordfile.h"
#include "store/textrules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rollcall::incident {

namespace {
constexpr const char *kHeader = "Rollcall channels 1";
constexpr int kFieldCount = 8;
constexpr qsizetype kLongestFile = 1024 * 1024;

QString cleanField(const QString &text)
{
    QString t = text;
    for (QChar &c : t)
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    t = store::dropControlCharacters(t).trimmed();
    t.truncate(kLongestChannelField);
    return t;
}
} // namespace

QStringList Channel::fields() const
{
    return { function, name, assignment, rxFrequency, txFrequency, mode, tone, remarks };
}

Channel Channel::fromFields(const QStringList &f)
{
    Channel c;
    QString *const targets[] = { &c.function, &c.name, &c.assignment, &c.rxFrequency,
        &c.txFrequency, &c.mode, &c.tone, &c.remarks };
    for (int i = 0; i < kFieldCount && i < f.size(); ++i)
        *targets[i] = f[i];
    return c;
}

QStringList channelHeadings()
{
    return { QStringLiteral("Function"), QStringLiteral("Channel Name"),
        QStringLiteral("Assignment"), QStringLiteral("RX Freq"), QStringLiteral("TX Freq"),
        QStringLiteral("Mode"), QStringLiteral("Tone/NAC"), QStringLiteral("Remarks") };
}

Channel cleanChannel(const Channel &c)
{
    QStringList f = c.fields();
    for (QString &x : f)
        x = cleanField(x);
    return Channel::fromFields(f);
}

QString cleanInstructions(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    t.replace(u'\t', u' ');
    QStringList lines;
    for (const QString &line : t.split(u'\n').mid(0, kMostInstructionLines)) {
        QString l = store::dropControlCharacters(line);
        l.truncate(kLongestInstructionLine);
        while (!l.isEmpty() && l.back().isSpace())
            l.chop(1);
        lines << l;
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.join(u'\n');
}

QByteArray writeChannelPlan(const ChannelPlan &plan)
{
    QByteArray out = QByteArray(kHeader) + '\n';
    for (const Channel &c : plan.channels.mid(0, kMostChannels))
        out += cleanChannel(c).fields().join(u'\t').toUtf8() + '\n';
    const QString instructions = cleanInstructions(plan.instructions);
    if (!instructions.isEmpty())
        for (const QString &line : instructions.split(u'\n'))
            out += "instructions\t" + line.toUtf8() + '\n';
    return out;
}

ChannelPlan readChannelPlan(const QByteArray &text, int *skipped)
{
    ChannelPlan plan;
    QStringList instructions;
    int bad = 0;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray line = lines[n];
        if (line.endsWith('\r'))
            line.chop(1);
        if ((n == 0 && line == kHeader) || line.trimmed().isEmpty())
            continue;
        const QStringList f = QString::fromUtf8(line).split(u'\t');
        if (f.size() == 2 && f[0] == QLatin1String("instructions")) {
            if (instructions.size() < kMostInstructionLines
                && line.size() <= kLongestInstructionLine * 4 + 13) {
                instructions << f[1];
                continue;
            }
            ++bad;
            continue;
        }
        if (f.size() != kFieldCount || plan.channels.size() >= kMostChannels
            || line.size() > kFieldCount * kLongestChannelField * 4) {
            ++bad;
            continue;
        }
        const Channel c = cleanChannel(Channel::fromFields(f));
        if (c.fields().join(QString()).isEmpty()) {
            ++bad;
            continue;
        }
        plan.channels << c;
    }
    plan.instructions = cleanInstructions(instructions.join(u'\n'));
    if (skipped)
        *skipped = bad;
    return plan;
}

QList<Channel> readChannels(const QByteArray &text, int *skipped)
{
    return readChannelPlan(text, skipped).channels;
}

bool loadChannelPlan(const QString &netFolder, ChannelPlan *plan, QString *error)
{
    return loadNetFile(netFolder, kChannelsFileName, kLongestFile,
        QStringLiteral("a communications plan"), readChannelPlan, plan, error);
}

bool loadChannels(const QString &netFolder, QList<Channel> *channels, QString *error)
{
    ChannelPlan plan;
    const bool ok = loadChannelPlan(netFolder, &plan, error);
    *channels = plan.channels;
    return ok;
}

bool saveChannelPlan(const QString &netFolder, const ChannelPlan &plan, QString *error)
{
    const QString path = QDir(netFolder).filePath(QLatin1String(kChannelsFileName));
    if (plan.channels.isEmpty() && cleanInstructions(plan.instructions).isEmpty()
        && !QFileInfo::exists(path))
        return true;
    if (plan.channels.size() > kMostChannels) {
        if (error)
            *error = QStringLiteral("A plan holds at most %1 channels.").arg(kMostChannels);
        return false;
    }
    return store::writeWholeFile(path, writeChannelPlan(plan), error);
}

bool saveChannels(const QString &netFolder, const QList<Channel> &channels, QString *error)
{
    ChannelPlan plan;
    loadChannelPlan(netFolder, &plan); // what can be read of a damaged one
    plan.channels = channels;
    return saveChannelPlan(netFolder, plan, error);
}

QByteArray ics205Csv(const Ics205Plan &plan)
{
    QList<QStringList> rows;
    rows << QStringList { QStringLiteral("INCIDENT RADIO COMMUNICATIONS PLAN (ICS 205)") };
    rows << QStringList { QStringLiteral("Incident Name"), plan.incidentName };
    rows << QStringList { QStringLiteral("Date/Time Prepared"), plan.prepared };
    rows << QStringList { QStringLiteral("Operational Period From"), plan.periodFrom };
    rows << QStringList { QStringLiteral("Operational Period To"), plan.periodTo };
    rows << QStringList { QStringLiteral("Prepared by"), plan.preparedBy };
    rows << channelHeadings();
    for (const Channel &c : plan.channels)
        rows << c.fields();
    rows << QStringList { QStringLiteral("Special Instructions"),
        cleanInstructions(plan.instructions) };
    return csvRows(rows);
}

QByteArray ics205Pdf(const Ics205Plan &plan)
{
    FormPages form;
    form.documentTitle = QStringLiteral("ICS 205 ") + plan.incidentName;
    form.formTitle = QStringLiteral("INCIDENT RADIO COMMUNICATIONS PLAN (ICS 205)");
    form.header = { QStringLiteral("1. Incident Name: ") + plan.incidentName,
        QStringLiteral("2. Date/Time Prepared: ") + plan.prepared,
        QStringLiteral("3. Operational Period: Date/Time From: %1  To: %2")
            .arg(plan.periodFrom, plan.periodTo) };
    FormTable table { QStringLiteral("4. Basic Radio Channel Use:"), channelHeadings(),
        { 7, 8, 8, 6, 6, 4, 5, 10 }, {} };
    for (const Channel &c : plan.channels)
        table.rows << c.fields();
    const FormTable instructions { QStringLiteral("5. Special Instructions:"), { QString() }, { 1 },
        { { cleanInstructions(plan.instructions) } } };
    form.tables = { table, instructions };
    form.footer
        = { QStringLiteral("6. Prepared by (Communications Unit Leader): ") + plan.preparedBy };
    return formPdf(form);
}

int runIcs205Command(const QStringList &args)
{
    const QString command = QStringLiteral("ics205");
    return runNetFormCommand(command, args,
        [&command](const reports::NetReportData &net, const QString &incident, bool pdf) {
            Ics205Plan plan;
            ChannelPlan kept;
            QString error;
            if (!loadChannelPlan(net.netpath, &kept, &error))
                commandFailure(command, error, 0);
            plan.channels = kept.channels;
            plan.instructions = kept.instructions;
            const reports::Ics309Log log = reports::ics309Log(net, incident);
            plan.incidentName = log.incidentName;
            plan.periodFrom = log.periodFrom;
            plan.periodTo = log.periodTo;
            plan.preparedBy = net.ncscall;
            plan.prepared
                = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
            return pdf ? ics205Pdf(plan) : ics205Csv(plan);
        });
}

} // namespace rollcall::incident
