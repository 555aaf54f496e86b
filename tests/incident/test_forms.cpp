// SPDX-License-Identifier: GPL-3.0-or-later
// The ICS forms a public-service net hands over: the activity journal and the
// ICS-214, the ICS-205 channel plan, the ICS-213 message and its flmsg file;
// as bytes, as printed pages read back, and as the program run from a shell.

#include "helperprocess.h"
#include "incident/ics205.h"
#include "incident/ics213.h"
#include "incident/ics214.h"
#include "reportsfixture.h"
#include "temphome.h"
#include "testfiles.h"
#include "testmain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall;
using namespace rollcall::incident;
using namespace Qt::StringLiterals;

namespace {
const QDateTime t0(QDate(2026, 12, 8), QTime(14, 0), Qt::UTC);

store::NcsRecord ncs(const QString &call, const QString &time)
{
    store::NcsRecord r;
    r.ncscall = call;
    r.ncstime = time;
    return r;
}

// pdftotext's reading of a PDF, one string a page; empty when poppler is missing.
QStringList pdfPages(const QByteArray &pdf)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"form.pdf"_s);
    if (!test::writeFileBytes(file, pdf))
        return {};
    QProcess p;
    p.start(u"pdftotext"_s, { u"-layout"_s, file, u"-"_s });
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\f', Qt::SkipEmptyParts);
}

// pdftoppm renders every page; the number of page images it made.
int renderedPages(const QByteArray &pdf)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"form.pdf"_s);
    if (!test::writeFileBytes(file, pdf))
        return -1;
    QProcess p;
    p.start(u"pdftoppm"_s, { u"-r"_s, u"40"_s, u"-png"_s, file, dir.filePath(u"page"_s) });
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return -1;
    int pages = 0;
    for (const QFileInfo &f : QDir(dir.path()).entryInfoList({ u"page*.png"_s }))
        pages += f.size() > 500 ? 1 : 0;
    return pages;
}

// A UTC marathon net: set up, started at 14:00 UTC, NCS handed over, a
// check-in with traffic, a marked and an unmarked comment.
reports::NetReportData marathonNet()
{
    reports::NetReportData net;
    net.netname = u"Marathon"_s;
    net.utc = true;
    net.startNetLines = { u"Start: 12/08/2026  2:00:00 PM"_s, u"End: 12/08/2026  6:00:00 PM"_s };
    net.startLine = net.startNetLines.first();
    net.endLine = net.startNetLines.last();
    net.ncs = { ncs(u"K1NCS"_s, u"13:55:00"_s), ncs(u"W1AW"_s, u"16:00:00"_s) };
    net.ncscall = u"W1AW"_s;
    reports::CheckIn c;
    c.callsign = u"N2AID"_s;
    c.logtime = u"14:10:00"_s;
    c.traffic = true;
    c.stationComments = u"12/08/2026 - 14:20:00(UTC): *Runner down at mile 12\r\n"
                        "12/08/2026 - 14:25:00(UTC): just chatting"_s;
    net.checkIns = { c };
    net.heldTraffic = { { u"N2AID"_s, u"1"_s, u"1"_s, u"Red Cross"_s, QString(), false } };
    return net;
}

QList<Post> marathonPosts()
{
    Post aid;
    aid.tactical = u"Aid 3"_s;
    aid.location = u"Mile 12"_s;
    aid.opened = t0.addSecs(5 * 60);
    aid.shifts = { { u"N2AID"_s, t0.addSecs(6 * 60), t0.addSecs(150 * 60) },
        { u"K3REL"_s, t0.addSecs(150 * 60), QDateTime() },
        { u"W9LATE"_s, t0.addSecs(48 * 3600), QDateTime() } };
    return { aid };
}

GeneralMessage sampleMessage()
{
    GeneralMessage m;
    m.incident = u"Marathon 2026"_s;
    m.to = u"Logistics Chief"_s;
    m.toPosition = u"LSC"_s;
    m.from = u"W1ABC"_s;
    m.fromPosition = u"Aid 3 lead"_s;
    m.date = u"2026-12-08"_s;
    m.time = u"1412"_s;
    m.subject = u"Need water, 20 cases"_s;
    m.approvedBy = u"K1NCS"_s;
    m.approvedPosition = u"Net Control"_s;
    m.repliedBy = u"Jane Roe"_s;
    m.repliedPosition = u"LSC"_s;
    m.replyDate = u"2026-12-08"_s;
    m.replyTime = u"1430"_s;
    m.message = u"Line one of the message\nSecond line: 50% more, \"quoted\" <tag>"_s;
    m.reply = u"Twenty cases on the way"_s;
    return m;
}
} // namespace

class FormsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The journal: written and read back; a damaged or hostile line is
    // skipped and counted; text is one bounded line; posts closed and opened
    // again become entries.
    void activityJournal()
    {
        QTemporaryDir dir;
        QVERIFY(!QFile::exists(dir.filePath(QLatin1String(kActivityFileName))));
        QVERIFY(appendActivity(dir.path(), { t0, u"K1NCS"_s, u"Shelter 2 at capacity"_s }));
        QVERIFY(appendActivity(dir.path(),
            { t0.addSecs(60), QString(), u"tab\there\nand\x01 break"_s + QString(2000, u'x') }));
        QVERIFY(!appendActivity(dir.path(), { t0, QString(), u"  "_s }));
        const QByteArray bytes = test::fileBytes(dir.filePath(QLatin1String(kActivityFileName)));
        QVERIFY(bytes.startsWith("Rollcall activity 1\n2026-12-08T14:00:00Z\tK1NCS\tShelter 2 at "
                                 "capacity\n2026-12-08T14:01:00Z\t\ttab here and breakxxx"));
        QList<ActivityEntry> read;
        QVERIFY(loadActivity(dir.path(), &read));
        QCOMPARE(read.size(), 2);
        QCOMPARE(read[1].text.size(), kLongestActivityText);

        int skipped = 0;
        const QList<ActivityEntry> some
            = readActivity("Rollcall activity 1\nnot a time\tx\ty\n2026-12-08T14:00:00Z\tonly two\n"
                           "2026-12-08T14:00:00Z\t\t\n2026-12-08T14:02:00Z\tW1AW\tkept\r\n",
                &skipped);
        QCOMPARE(skipped, 3);
        QCOMPARE(some.size(), 1);
        QCOMPARE(some[0].text, u"kept"_s);

        // The home agency: kept on its own line after the header, the entries
        // untouched; a journal from before agencies reads as it did.
        const QByteArray entriesOnly
            = test::fileBytes(dir.filePath(QLatin1String(kActivityFileName)));
        QVERIFY(setActivityAgency(dir.path(), u" Washtenaw ARES\tUnit 2 "_s));
        QByteArray withAgency = entriesOnly;
        withAgency.insert(20, "agency\tWashtenaw ARES Unit 2\n");
        QCOMPARE(test::fileBytes(dir.filePath(QLatin1String(kActivityFileName))), withAgency);
        QVERIFY(appendActivity(dir.path(), { t0.addSecs(120), QString(), u"third"_s }));
        ActivityJournal journal;
        QVERIFY(loadJournal(dir.path(), &journal));
        QCOMPARE(journal.agency, u"Washtenaw ARES Unit 2"_s);
        QCOMPARE(journal.entries.size(), 3);
        QCOMPARE(readJournal(entriesOnly, &skipped).entries.size(), 2);
        QCOMPARE(skipped, 0);
        QVERIFY(setActivityAgency(dir.path(), QString()));
        QVERIFY(
            !test::fileBytes(dir.filePath(QLatin1String(kActivityFileName))).contains("agency"));
        QCOMPARE(readJournal("agency\ttoo\tmany\nagency\tA\n", &skipped).agency, u"A"_s);
        QCOMPARE(skipped, 1);
        QTemporaryDir empty;
        QVERIFY(setActivityAgency(empty.path(), QString()));
        QVERIFY(!QFile::exists(empty.filePath(QLatin1String(kActivityFileName))));

        // Held traffic marked passed, and the mark taken back.
        QCOMPARE(
            trafficPassedText(u"N2AID"_s, u"2"_s, u"Priority"_s, u"BOSTON"_s, u"K1XYZ"_s, true),
            u"Traffic 2 Priority from N2AID for BOSTON passed to K1XYZ"_s);
        QCOMPARE(trafficPassedText(u"N2AID"_s, QString(), QString(), u" "_s, QString(), true),
            u"Traffic from N2AID passed"_s);
        QCOMPARE(trafficPassedText(u"N2AID"_s, u"1"_s, QString(), u"Red Cross"_s, u"W1AW"_s, false),
            u"Traffic 1 from N2AID for Red Cross no longer marked passed"_s);

        QList<Post> before = marathonPosts();
        QList<Post> after = before;
        after[0].open = false;
        QCOMPARE(postChanges(before, after), QStringList { u"Post Aid 3 closed"_s });
        QCOMPARE(postChanges(after, before), QStringList { u"Post Aid 3 opened again"_s });
        QVERIFY(postChanges(before, before).isEmpty());
    }

    // The log of a UTC net with a post: every kind of event in time order,
    // the resources the net control stations and the post's operators, a
    // shift still to come left out, an unmarked comment left out.
    void ics214Csv()
    {
        const QList<ActivityEntry> journal
            = { { t0.addSecs(30 * 60), u"K1NCS"_s, u"=Shelter 2 opened"_s } };
        Ics214Log log
            = ics214Log(marathonNet(), marathonPosts(), journal, QString(), t0.addSecs(5 * 3600),
                QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc());
        log.agency = u"Washtenaw ARES"_s;
        QCOMPARE(QString::fromUtf8(incident::ics214Csv(log)),
            u"\"ACTIVITY LOG (ICS 214)\"\r\n"
            "\"Incident Name\",\"Marathon\"\r\n"
            "\"Operational Period From\",\"2026-12-08 14:00 UTC\"\r\n"
            "\"Operational Period To\",\"2026-12-08 18:00 UTC\"\r\n"
            "\"Name\",\"W1AW\"\r\n"
            "\"ICS Position\",\"Net Control Station\"\r\n"
            "\"Home Agency (and Unit)\",\"Washtenaw ARES\"\r\n"
            "\"Resources Assigned\",\"Name\",\"ICS Position\",\"Home Agency (and Unit)\"\r\n"
            "\"\",\"K1NCS\",\"Net Control\",\"\"\r\n"
            "\"\",\"W1AW\",\"Net Control\",\"\"\r\n"
            "\"\",\"N2AID\",\"Aid 3\",\"\"\r\n"
            "\"\",\"K3REL\",\"Aid 3\",\"\"\r\n"
            "\"Date/Time (UTC)\",\"Notable Activities\"\r\n"
            "\"2026-12-08 13:55:00\",\"Net control: K1NCS\"\r\n"
            "\"2026-12-08 14:00:00\",\"Net started\"\r\n"
            "\"2026-12-08 14:05:00\",\"Post Aid 3 opened at Mile 12\"\r\n"
            "\"2026-12-08 14:06:00\",\"N2AID on at Aid 3\"\r\n"
            "\"2026-12-08 14:10:00\",\"Traffic listed by N2AID: 1 for Red Cross\"\r\n"
            "\"2026-12-08 14:20:00\",\"N2AID: Runner down at mile 12\"\r\n"
            "\"2026-12-08 14:30:00\",\"'=Shelter 2 opened\"\r\n"
            "\"2026-12-08 16:00:00\",\"Net control: W1AW\"\r\n"
            "\"2026-12-08 16:30:00\",\"N2AID off at Aid 3\"\r\n"
            "\"2026-12-08 16:30:00\",\"K3REL on at Aid 3\"\r\n"
            "\"2026-12-08 18:00:00\",\"Net ended\"\r\n"_s);
        QCOMPARE(ics214Log(marathonNet(), {}, {}, u"Flood"_s).incidentName, u"Flood"_s);
    }

    // Enough lines for three pages: every page carries the form's header and
    // its number, the rows run on in order; pdftoppm renders each page.
    void ics214Pdf()
    {
        QList<ActivityEntry> journal;
        for (int i = 0; i < 90; ++i)
            journal.append({ t0.addSecs(60 * (i + 1)), QString(),
                u"Entry %1 "_s.arg(i, 2, 10, QLatin1Char('0'))
                    + (i == 7 ? QString(300, u'w') : QString()) });
        Ics214Log log = ics214Log(
            marathonNet(), marathonPosts(), journal, u"Marathon 2026"_s, t0.addSecs(5 * 3600));
        log.agency = u"Washtenaw ARES, Unit 2"_s;
        const QByteArray pdf = incident::ics214Pdf(log);
        const QStringList pages = pdfPages(pdf);
        if (pages.isEmpty())
            QSKIP("pdftotext (poppler-utils) is needed");
        QVERIFY(pages.size() >= 2);
        for (int i = 0; i < pages.size(); ++i) {
            QVERIFY(pages[i].contains(u"ACTIVITY LOG (ICS 214)"_s));
            QVERIFY(pages[i].contains(u"1. Incident Name: Marathon 2026"_s));
            QVERIFY(pages[i].contains(u"8. Prepared by: Name: W1AW"_s));
            QVERIFY(pages[i].contains(u"5. Home Agency (and Unit): Washtenaw ARES, Unit 2"_s));
            QVERIFY(pages[i].contains(u"Page %1 of %2"_s.arg(i + 1).arg(pages.size())));
        }
        QVERIFY(pages[0].contains(u"6. Resources Assigned"_s));
        QVERIFY(pages[0].contains(u"K3REL"_s));
        QVERIFY(pages[0].contains(u"Entry 00"_s));
        QVERIFY(pages.last().contains(u"Entry 89"_s));
        QVERIFY(pages[1].contains(u"7. Activity Log: (continued)"_s));
        const QString all = pages.join(QString());
        QVERIFY(all.indexOf(u"Entry 41"_s) < all.indexOf(u"Entry 42"_s));
        QCOMPARE(renderedPages(pdf), int(pages.size()));
    }

    // The plan file: written whole and read back; a short, long or empty line
    // is skipped; fields lose tabs and control characters and are bounded.
    void channelsFile()
    {
        QTemporaryDir dir;
        QVERIFY(saveChannels(dir.path(), {}));
        QVERIFY(!QFile::exists(dir.filePath(QLatin1String(kChannelsFileName))));
        const Channel command { u"Command"_s, u"ARES 1"_s, u"NCS, all posts"_s, u"146.940"_s,
            u"146.340"_s, u"A"_s, u"100.0"_s, u"W1XYZ repeater"_s };
        Channel hostile { u"Tac\t2"_s, u"Simplex\x07"_s, QString(500, u'a'), u"146.520"_s,
            u"146.520"_s, u"FM"_s, QString(), u"line\nbreak"_s };
        QVERIFY(saveChannels(dir.path(), { command, hostile }));
        QVERIFY(test::fileBytes(dir.filePath(QLatin1String(kChannelsFileName)))
                    .startsWith("Rollcall channels 1\nCommand\tARES 1\tNCS, all posts\t146.940\t"
                                "146.340\tA\t100.0\tW1XYZ repeater\nTac 2\tSimplex\t"));
        QList<Channel> read;
        QVERIFY(loadChannels(dir.path(), &read));
        QCOMPARE(read.size(), 2);
        QCOMPARE(read[0], command);
        QCOMPARE(read[1].function, u"Tac 2"_s);
        QCOMPARE(read[1].name, u"Simplex"_s);
        QCOMPARE(read[1].assignment.size(), kLongestChannelField);
        QCOMPARE(read[1].remarks, u"line break"_s);
        int skipped = 0;
        QCOMPARE(
            readChannels("Rollcall channels 1\na\tb\n\t\t\t\t\t\t\t\nx\t\t\t\t\t\t\t\n", &skipped)
                .size(),
            1);
        QCOMPARE(skipped, 1); // the line of blanks is passed over as blank

        // The special instructions: a line of the file each, after the
        // channels; saving the channels alone keeps them; a plan file from
        // before them reads as it did.
        const QByteArray channelsOnly
            = test::fileBytes(dir.filePath(QLatin1String(kChannelsFileName)));
        ChannelPlan plan { { command },
            u"Relay via Aid 3\tif the repeater fails  \r\n\n"
            "  Check in by tactical call\x07\n\n"_s };
        QVERIFY(saveChannelPlan(dir.path(), plan));
        QCOMPARE(test::fileBytes(dir.filePath(QLatin1String(kChannelsFileName))),
            QByteArray(
                "Rollcall channels 1\nCommand\tARES 1\tNCS, all posts\t146.940\t146.340\tA\t"
                "100.0\tW1XYZ repeater\ninstructions\tRelay via Aid 3 if the repeater fails\n"
                "instructions\t\ninstructions\t  Check in by tactical call\n"));
        QVERIFY(saveChannels(dir.path(), { command, command }));
        ChannelPlan readPlan;
        QVERIFY(loadChannelPlan(dir.path(), &readPlan));
        QCOMPARE(readPlan.channels.size(), 2);
        QCOMPARE(readPlan.instructions,
            u"Relay via Aid 3 if the repeater fails\n\n  Check in by tactical call"_s);
        QCOMPARE(readChannelPlan(channelsOnly, &skipped).channels.size(), 2);
        QCOMPARE(skipped, 0);
        QByteArray many = "Rollcall channels 1\n";
        for (int i = 0; i < kMostInstructionLines + 2; ++i)
            many += "instructions\tline " + QByteArray::number(i) + '\n';
        many += "instructions\t" + QByteArray(kLongestInstructionLine * 5, 'x') + '\n';
        const ChannelPlan bounded = readChannelPlan(many, &skipped);
        QCOMPARE(skipped, 3);
        QCOMPARE(bounded.instructions.count(u'\n'), kMostInstructionLines - 1);
        QCOMPARE(cleanInstructions(QString(kLongestInstructionLine + 9, u'y')).size(),
            kLongestInstructionLine);
    }

    // The ICS-205 as CSV bytes, and as a PDF with every channel's columns.
    void ics205Forms()
    {
        Ics205Plan plan;
        plan.incidentName = u"Marathon"_s;
        plan.prepared = u"2026-12-08 13:00"_s;
        plan.periodFrom = u"2026-12-08 14:00 UTC"_s;
        plan.preparedBy = u"K1NCS"_s;
        plan.channels = { { u"Command"_s, u"ARES 1"_s, u"NCS"_s, u"146.940"_s, u"146.340"_s, u"A"_s,
                              u"100.0"_s, u"+cross band"_s },
            { u"Tactical"_s, u"Simplex 2"_s, u"Aid posts"_s, u"147.555"_s, u"147.555"_s, u"A"_s,
                QString(), QString() } };
        plan.instructions = u"Relay via Aid 3 if the repeater fails\nCheck in by tactical call"_s;
        QCOMPARE(ics205Csv(plan),
            QByteArray("\"INCIDENT RADIO COMMUNICATIONS PLAN (ICS 205)\"\r\n"
                       "\"Incident Name\",\"Marathon\"\r\n"
                       "\"Date/Time Prepared\",\"2026-12-08 13:00\"\r\n"
                       "\"Operational Period From\",\"2026-12-08 14:00 UTC\"\r\n"
                       "\"Operational Period To\",\"\"\r\n"
                       "\"Prepared by\",\"K1NCS\"\r\n"
                       "\"Function\",\"Channel Name\",\"Assignment\",\"RX Freq\",\"TX Freq\","
                       "\"Mode\",\"Tone/NAC\",\"Remarks\"\r\n"
                       "\"Command\",\"ARES 1\",\"NCS\",\"146.940\",\"146.340\",\"A\",\"100.0\","
                       "\"'+cross band\"\r\n"
                       "\"Tactical\",\"Simplex 2\",\"Aid posts\",\"147.555\",\"147.555\",\"A\","
                       "\"\",\"\"\r\n"
                       "\"Special Instructions\",\"Relay via Aid 3 if the repeater fails\n"
                       "Check in by tactical call\"\r\n"));
        const QByteArray pdf = ics205Pdf(plan);
        const QStringList pages = pdfPages(pdf);
        if (pages.isEmpty())
            QSKIP("pdftotext (poppler-utils) is needed");
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].contains(u"INCIDENT RADIO COMMUNICATIONS PLAN (ICS 205)"_s));
        QVERIFY(pages[0].contains(u"1. Incident Name: Marathon"_s));
        QVERIFY(pages[0].contains(u"146.940"_s));
        QVERIFY(pages[0].contains(u"Simplex 2"_s));
        QVERIFY(pages[0].contains(u"5. Special Instructions:"_s));
        QVERIFY(pages[0].contains(u"Relay via Aid 3 if the repeater fails"_s));
        QVERIFY(pages[0].indexOf(u"Check in by tactical call"_s)
            > pages[0].indexOf(u"5. Special Instructions:"_s));
        QVERIFY(pages[0].contains(u"Prepared by (Communications Unit Leader): K1NCS"_s));
        QCOMPARE(renderedPages(pdf), 1);
    }

    // Our .213 is byte for byte the file flmsg wrote for the same message; the
    // file flmsg wrote reads back to it; an empty field is left out.
    void flmsgFileBytes()
    {
        const QByteArray flmsgWrote = test::fileBytes(
            QStringLiteral(ROLLCALL_SOURCE_DIR "/tests/incident/data/flmsg-written.213"));
        QVERIFY(!flmsgWrote.isEmpty());
        QCOMPARE(write213(sampleMessage()), flmsgWrote);
        GeneralMessage read;
        QString error;
        QVERIFY2(read213(flmsgWrote, &read, &error), qPrintable(error));
        QCOMPARE(read, sampleMessage());

        GeneralMessage few;
        few.to = u"Café Ops"_s;
        few.message = u"\nOnly this"_s;
        QCOMPARE(write213(few),
            QByteArray("<flmsg>4.0.20\n<ics213>\n:to:9 Caf\xc3\xa9 Ops\n:mg:10 \nOnly this\n"));
        QVERIFY(read213(write213(few), &read));
        QCOMPARE(read, few);
        // Line ends made CR LF on the way keep the fields apart.
        QVERIFY(read213("<flmsg>4.0.20\r\n<ics213>\r\n:to:2 Al\r\n:sb:2 Hi\r\n", &read));
        QCOMPARE(read.to, u"Al"_s);
        QCOMPARE(read.subject, u"Hi"_s);
    }

    // A file flmsg wrote with a callsign set carries header lines (who wrote
    // and edited it) the form does not show: saved again unchanged it comes
    // back byte for byte; a changed field is the only change; a field emptied
    // goes, one the file lacked goes where flmsg puts it; a tag of another
    // version and CR LF line ends stay as they were.
    void flmsgFieldsKeptOnResave()
    {
        const QByteArray flmsg = test::fileBytes(
            QStringLiteral(ROLLCALL_SOURCE_DIR "/tests/incident/data/flmsg-header.213"));
        QVERIFY(flmsg.contains(":hdr_fm:21 \nW1FLM 20260812193105\n:hdr_ed:21 \n"));
        GeneralMessage m;
        QVERIFY(read213(flmsg, &m));
        QCOMPARE(m.subject, u"Need water, 20 cases now"_s);
        QCOMPARE(write213(m, flmsg), flmsg);

        GeneralMessage changed = m;
        changed.subject = u"Need water, 30 cases"_s;
        changed.repliedPosition.clear();
        QByteArray expected = flmsg;
        expected.replace(":sb:24 Need water, 20 cases now\n", ":sb:20 Need water, 30 cases\n");
        expected.replace(":p4:3 LSC\n", "");
        QCOMPARE(write213(changed, flmsg), expected);

        const QByteArray foreign("<flmsg>4.1.0\r\n:hdr_fm:5 W1XYZ\r\n<ics213>\r\n"
                                 ":to:2 Al\r\n:zz:3 a\nb\r\n:mg:4 a\r\nb\r\n:rp:2 ok");
        QVERIFY(read213(foreign, &m));
        QCOMPARE(m.message, u"a\nb"_s);
        QCOMPARE(write213(m, foreign), foreign);
        m.incident = u"Storm"_s;
        m.subject = u"Hi"_s;
        m.time = u"0900"_s;
        m.toPosition = u"Ops"_s;
        m.from = u"Bo"_s;
        QCOMPARE(write213(m, foreign),
            QByteArray("<flmsg>4.1.0\r\n:hdr_fm:5 W1XYZ\r\n<ics213>\r\n:inc:5 Storm\n"
                       ":to:2 Al\r\n:zz:3 a\nb\r\n:p1:3 Ops\n:fm:2 Bo\n:t1:4 0900\n:sb:2 Hi\n"
                       ":mg:4 a\r\nb\r\n:rp:2 ok"));
        m.reply = u"yes"_s;
        m.repliedBy = u"Cy"_s; // flmsg writes it before the message: after "Hi"
        GeneralMessage again;
        QVERIFY(read213(write213(m, foreign), &again));
        QCOMPARE(again, m);
        QVERIFY(write213(m, foreign).endsWith(":mg:4 a\r\nb\r\n:rp:3 yes\n"));
        // Bytes that are no .213 are no original: the message is written afresh.
        QCOMPARE(write213(sampleMessage(), "garbage"), write213(sampleMessage()));
    }

    // A hostile or damaged .213 is refused with a reason, never read past its
    // end; unknown tags are passed over; fields are bounded and cleaned.
    void hostile213_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");
        QTest::newRow("not flmsg") << QByteArray("hello\n:to:2 Al\n") << false;
        QTest::newRow("another form") << QByteArray("<flmsg>4.0.20\n<ics214>\n:to:2 Al\n") << false;
        QTest::newRow("length past end") << QByteArray("<flmsg>4\n<ics213>\n:to:99 Al\n") << false;
        QTest::newRow("huge length")
            << QByteArray("<flmsg>4\n<ics213>\n:to:99999999999 Al\n") << false;
        QTest::newRow("no length") << QByteArray("<flmsg>4\n<ics213>\n:to: Al\n") << false;
        QTest::newRow("garbage") << QByteArray("<flmsg>4\n<ics213>\nxx\n") << false;
        QTest::newRow("unknown tag")
            << QByteArray("<flmsg>4\n<ics213>\n:zz:3 abc\n:to:2 Al\n") << true;
        QTest::newRow("too big") << (QByteArray("<flmsg>4\n<ics213>\n:mg:70000 ")
            + QByteArray(70000, 'a') + '\n')
                                 << false;
        QTest::newRow("control characters")
            << QByteArray("<flmsg>4\n<ics213>\n:to:4 A\x1b[m\n:mg:4 a\x07\nb\n") << true;
    }
    void hostile213()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        GeneralMessage m;
        QString error;
        QCOMPARE(read213(bytes, &m, &error), ok);
        QCOMPARE(error.isEmpty(), ok);
        if (QByteArray(QTest::currentDataTag()) == "control characters") {
            QCOMPARE(m.to, u"A[m"_s);
            QCOMPARE(m.message, u"a\nb"_s);
        }
        GeneralMessage big;
        big.message = QString(20000, u'm');
        QVERIFY(read213(write213(big), &m));
        QCOMPARE(m.message.size(), kLongestMessageText);
    }

    // The message as text to send and as the printed form; the net's
    // messages numbered, rewritten in place, and listed.
    void messageTextPdfAndStore()
    {
        const QString text = messageText(sampleMessage());
        QVERIFY(text.startsWith(u"GENERAL MESSAGE (ICS 213)\r\nIncident: Marathon 2026\r\n"
                                "To: Logistics Chief, LSC\r\nFrom: W1ABC, Aid 3 lead\r\n"
                                "Subject: Need water, 20 cases\r\nDate: 2026-12-08  Time: 1412\r\n"
                                "Message:\r\nLine one of the message\r\n"_s));
        QVERIFY(text.endsWith(u"Reply:\r\nTwenty cases on the way\r\nReplied by: Jane Roe, LSC  "
                              "Date/Time: 2026-12-08 1430\r\n"_s));
        const QByteArray pdf = messagePdf(sampleMessage());
        const QStringList pages = pdfPages(pdf);
        if (!pages.isEmpty()) {
            QCOMPARE(pages.size(), 1);
            for (const QString &s : { u"GENERAL MESSAGE (ICS 213)"_s,
                     u"2. To (Name and Position): Logistics Chief, LSC"_s, u"7. Message:"_s,
                     u"Second line: 50% more"_s, u"Twenty cases on the way"_s, u"Jane Roe"_s })
                QVERIFY2(pages[0].contains(s), qPrintable(s));
            QCOMPARE(renderedPages(pdf), 1);
        }

        QTemporaryDir dir;
        QString first, second;
        QVERIFY(saveMessage(dir.path(), sampleMessage(), &first));
        QVERIFY(first.endsWith(u"/ics213/0001.213"_s));
        GeneralMessage other = sampleMessage();
        other.subject = u"Second"_s;
        QVERIFY(saveMessage(dir.path(), other, &second));
        QVERIFY(second.endsWith(u"/ics213/0002.213"_s));
        other.reply = u"Done"_s;
        QVERIFY(saveMessage(dir.path(), other, &second));
        QVERIFY(second.endsWith(u"/ics213/0002.213"_s));
        QVERIFY(test::writeFileBytes(dir.filePath(u"ics213/0003.213"_s), "damaged"));
        int unreadable = 0;
        const QList<StoredMessage> list = listMessages(dir.path(), &unreadable);
        QCOMPARE(list.size(), 2);
        QCOMPARE(unreadable, 1);
        QCOMPARE(list[1].message.reply, u"Done"_s);
        QString third;
        QVERIFY(saveMessage(dir.path(), other, &third));
        QVERIFY(third.endsWith(u"/ics213/0004.213"_s));
    }

    // flmsg itself opens a file we wrote, and one of its own we saved again
    // with a field changed: its print of each (--p, under an Xvfb of our
    // own) shows our fields.
    void flmsgReadsOurFile()
    {
        if (QStandardPaths::findExecutable(u"flmsg"_s).isEmpty()
            || QStandardPaths::findExecutable(u"Xvfb"_s).isEmpty())
            QSKIP("flmsg or Xvfb (Debian flmsg, xvfb) is not installed");
        QTemporaryDir dir;
        test::OwnXvfb xvfb;
        if (!xvfb.start(150))
            QSKIP("no Xvfb display could be started");
        // flmsg's own settings file, as it writes one: no first-run question.
        const QString home = dir.filePath(u"flmsg"_s) + u'/';
        QVERIFY(QDir().mkpath(home));
        QVERIFY(test::writeFileBytes(home + u"FLMSG.prefs"_s,
            "; FLTK preferences file format 1.0\n; vendor: w1hkj.com\n; application: FLMSG\n\n"
            "[.]\n\nversion:4.0.20\nUI_expert:1\nUI_default:1\n"));
        GeneralMessage m = sampleMessage();
        m.subject = u"Ours to flmsg"_s;
        QVERIFY(test::writeFileBytes(dir.filePath(u"ours.213"_s), write213(m)));
        const QByteArray theirs = test::fileBytes(
            QStringLiteral(ROLLCALL_SOURCE_DIR "/tests/incident/data/flmsg-header.213"));
        QVERIFY(read213(theirs, &m));
        m.subject = u"Resaved by us"_s;
        m.reply = u"Thirty cases\nby noon"_s;
        QVERIFY(test::writeFileBytes(dir.filePath(u"resaved.213"_s), write213(m, theirs)));
        const std::pair<QString, QStringList> files[] = {
            { u"ours"_s,
                { u"Ours to flmsg"_s, u"Logistics Chief"_s, u"Aid 3 lead"_s,
                    u"Twenty cases on the way"_s, u"Line one of the message"_s } },
            { u"resaved"_s,
                { u"Resaved by us"_s, u"Logistics Chief"_s, u"Thirty cases"_s, u"by noon"_s,
                    u"Line one of the message"_s } },
        };
        for (const auto &[name, shown] : files) {
            QProcess flmsg;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"DISPLAY"_s, xvfb.display());
            env.insert(u"HOME"_s, dir.path());
            flmsg.setProcessEnvironment(env);
            flmsg.start(
                u"flmsg"_s, { u"--flmsg-dir"_s, home, u"--p"_s, dir.filePath(name + u".213"_s) });
            const bool ended = flmsg.waitForFinished(60000);
            test::endProcess(flmsg);
            QVERIFY2(ended, "flmsg --p did not end");
            const QString html
                = QString::fromUtf8(test::fileBytes(home + u"ICS/"_s + name + u".html"_s));
            QVERIFY2(!html.isEmpty(), qPrintable(u"flmsg wrote no print of "_s + name));
            for (const QString &s : shown)
                QVERIFY2(html.contains(s), qPrintable(name + u": "_s + s));
        }
        xvfb.stop();
    }

    // The forms from a shell, with no display: a net folder with posts, a
    // journal and a plan, and a .213 file.
    void subcommands()
    {
        test::TempHome home;
        const QString netpath = test::makeNet(home.nets(), home.dbfiles(), u"Marathon"_s);
        QVERIFY(!netpath.isEmpty());
        test::addCheckIns(netpath, { { u"N2AID"_s, u"Al"_s, u"Mile 12"_s, u"14:10:00"_s } });
        const QLocale locale;
        store::appendStartNetLine(netpath,
            store::formatStartLine(locale.toString(QDate(2026, 12, 8), QLocale::ShortFormat),
                locale.toString(QTime(14, 0), QLocale::LongFormat)));
        PostList posts;
        Post aid = marathonPosts().first();
        aid.shifts = { { u"N2AID"_s, t0.addDays(-1), QDateTime() } }; // whatever the time zone
        QVERIFY(posts.add(aid));
        QVERIFY(savePosts(netpath, posts));
        QVERIFY(appendActivity(netpath, { t0, u"K1NCS"_s, u"Water low at Aid 3"_s }));
        QVERIFY(setActivityAgency(netpath, u"Washtenaw ARES"_s));
        QVERIFY(saveChannelPlan(netpath,
            { { { u"Command"_s, u"ARES 1"_s, u"NCS"_s, u"146.940"_s, u"146.340"_s, u"A"_s,
                  u"100.0"_s, QString() } },
                u"Relay via Aid 3"_s }));
        QTemporaryDir out;
        const QString message = out.filePath(u"m.213"_s);
        QVERIFY(test::writeFileBytes(message, write213(sampleMessage())));
        const auto run = [](const QStringList &args) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(u"QT_QPA_PLATFORM"_s);
            env.remove(u"DISPLAY"_s);
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(ROLLCALL_BINARY), args);
            p.waitForFinished(60000);
            return std::pair(p.exitCode(), QString::fromUtf8(p.readAllStandardError()));
        };
        struct Case
        {
            QStringList args;
            QString file;
            QString expect;
        };
        const QList<Case> cases = {
            { { u"ics214"_s, netpath, u"-o"_s, out.filePath(u"a.csv"_s), u"--incident"_s,
                  u"Run"_s },
                out.filePath(u"a.csv"_s), u"Water low at Aid 3"_s },
            { { u"ics214"_s, netpath, u"-o"_s, out.filePath(u"a.pdf"_s) }, out.filePath(u"a.pdf"_s),
                QString() },
            { { u"ics205"_s, netpath, u"-o"_s, out.filePath(u"c.csv"_s) }, out.filePath(u"c.csv"_s),
                u"146.940"_s },
            { { u"ics205"_s, netpath, u"-o"_s, out.filePath(u"c.pdf"_s) }, out.filePath(u"c.pdf"_s),
                QString() },
            { { u"ics213"_s, message, u"-o"_s, out.filePath(u"m.txt"_s) }, out.filePath(u"m.txt"_s),
                u"Subject: Need water, 20 cases"_s },
            { { u"ics213"_s, message, u"-o"_s, out.filePath(u"m.pdf"_s) }, out.filePath(u"m.pdf"_s),
                QString() },
            { { u"ics309"_s, netpath, u"-o"_s, out.filePath(u"l.csv"_s) }, out.filePath(u"l.csv"_s),
                u"\"N2AID Aid 3\""_s },
        };
        for (const Case &c : cases) {
            const auto [code, err] = run(c.args);
            QVERIFY2(code == 0, qPrintable(c.args.join(u' ') + u": "_s + err));
            const QByteArray bytes = test::fileBytes(c.file);
            if (c.file.endsWith(u".pdf"_s))
                QVERIFY(bytes.startsWith("%PDF"));
            else
                QVERIFY2(QString::fromUtf8(bytes).contains(c.expect), qPrintable(c.file));
        }
        QVERIFY(test::fileBytes(out.filePath(u"a.csv"_s)).contains("\"Incident Name\",\"Run\""));
        QVERIFY(test::fileBytes(out.filePath(u"a.csv"_s))
                    .contains("\"Home Agency (and Unit)\",\"Washtenaw ARES\""));
        QVERIFY(test::fileBytes(out.filePath(u"c.csv"_s))
                    .contains("\"Special Instructions\",\"Relay via Aid 3\""));
        for (const auto &[file, text] :
            { std::pair(u"a.pdf"_s, u"Home Agency (and Unit): Washtenaw ARES"_s),
                std::pair(u"c.pdf"_s, u"Relay via Aid 3"_s) }) {
            const QStringList pages = pdfPages(test::fileBytes(out.filePath(file)));
            QVERIFY2(pages.isEmpty() || pages[0].contains(text), qPrintable(file));
        }
        // Refusals: a file that is no .213, and an output of no known kind.
        QVERIFY(test::writeFileBytes(out.filePath(u"bad.213"_s), "<html>"));
        QCOMPARE(run({ u"ics213"_s, out.filePath(u"bad.213"_s), u"-o"_s, out.filePath(u"x.txt"_s) })
                     .first,
            1);
        QCOMPARE(run({ u"ics205"_s, netpath, u"-o"_s, out.filePath(u"x.doc"_s) }).first, 2);
        QVERIFY(!QFile::exists(out.filePath(u"x.txt"_s)));
    }
};

RC_TEST_CLASS(FormsTest)
#include "test_forms.moc"
