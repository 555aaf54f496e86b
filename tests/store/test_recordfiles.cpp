#include "store/netfiles.h"
#include "store/programfiles.h"
#include "store/recordfile.h"
#include "testmain.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <thread>
#include <vector>

using namespace rollcall::store;

namespace {
void putBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray blanks(int n)
{
    return QByteArray(n, ' ');
}
} // namespace

// The generic record rules: slots, partial records, text and integers.
class RecordFileTest : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString file(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private Q_SLOTS:
    void missingFileIsCreatedEmpty()
    {
        const RecordFile f(file("new.dat"));
        QVERIFY(!f.read(1, 2).has_value());
        QVERIFY(QFile::exists(file("new.dat")));
        QCOMPARE(QFileInfo(file("new.dat")).size(), 0);
        QCOMPARE(f.firstUnreadable(2), 1);
    }

    void recordsLiveInSlotsAndGapsReadAsZero()
    {
        const RecordFile f(file("slots.dat"));
        QVERIFY(f.write(3, "abc"));
        const QByteArray bytes = rollcall::test::fileBytes(file("slots.dat"));
        QCOMPARE(bytes.size(), 256 + 3);
        QCOMPARE(bytes.left(256), QByteArray(256, '\0'));
        QCOMPARE(*f.read(1, 3), QByteArray(3, '\0'));
        QCOMPARE(*f.read(3, 3), QByteArray("abc"));
        QCOMPARE(f.firstUnreadable(3), 4);
        QCOMPARE(f.lastReadable(3), 3);
    }

    void partialRecordIsEndOfFileAndLeavesTargetAlone()
    {
        putBytes(file("short.dat"), QByteArray(130, 'x')); // record 2 holds only 2 of 3 bytes
        const RecordFile f(file("short.dat"));
        QVERIFY(f.read(1, 3).has_value());
        QVERIFY(!f.read(2, 3).has_value());
        QVERIFY(f.read(2, 2).has_value());
        QCOMPARE(f.firstUnreadable(3), 2);

        PrefsRecord prefs;
        prefs.callsign = QStringLiteral("UNCHANGED");
        putBytes(file("prefs.inf"), QByteArray(50, 'Z'));
        QVERIFY(!readPrefs(file("prefs.inf"), prefs));
        QCOMPARE(prefs.callsign, QStringLiteral("UNCHANGED"));
        QCOMPARE(prefs.splash, QStringLiteral("2"));
    }

    void fixedTextPadsCutsAndTrims_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("width");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("padded") << "Q1AW" << 6 << QByteArray("Q1AW  ") << "Q1AW";
        QTest::newRow("cut") << "ABCDEFGH" << 5 << QByteArray("ABCDE") << "ABCDE";
        QTest::newRow("inner blanks kept") << "A B " << 6 << QByteArray("A B   ") << "A B";
        QTest::newRow("empty") << "" << 3 << QByteArray("   ") << "";
        QTest::newRow("windows-1252") << QStringLiteral("Caf\u00e9 \u20ac5") << 8
                                      << QByteArray("Caf\xe9 \x80"
                                                    "5 ")
                                      << QStringLiteral("Caf\u00e9 \u20ac5");
        QTest::newRow("not in code page")
            << QStringLiteral("\u4e2d") << 2 << QByteArray("? ") << "?";
    }
    void fixedTextPadsCutsAndTrims()
    {
        QFETCH(QString, value);
        QFETCH(int, width);
        QFETCH(QByteArray, stored);
        QFETCH(QString, readBack);
        QCOMPARE(fixedText(value, width), stored);
        QCOMPARE(trimFixed(stored), readBack);
    }

    void neverWrittenSlotReadsAsEmptyText()
    {
        QCOMPARE(trimFixed(QByteArray(12, '\0')), QString());
    }

    void int16IsLittleEndianSigned()
    {
        const RecordFile f(file("int.dat"));
        QVERIFY(f.writeInt16(1, -1));
        QCOMPARE(rollcall::test::fileBytes(file("int.dat")), QByteArray("\xff\xff", 2));
        QVERIFY(f.writeInt16(1, 258));
        QCOMPARE(rollcall::test::fileBytes(file("int.dat")), QByteArray("\x02\x01", 2));
        QCOMPARE(*f.readInt16(1), qint16(258));
    }
};

// Every per-net file, byte for byte.
class NetFilesTest : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    QString m_net;
    QString path(const char *name) const { return m_net + QLatin1String(name); }

private Q_SLOTS:
    void init()
    {
        static int n = 0;
        m_net = m_tmp.filePath(QStringLiteral("net%1/").arg(++n));
        QVERIFY(QDir().mkpath(m_net));
    }

    void netnameIsTheLastComponent()
    {
        QCOMPARE(netname(QStringLiteral("/home/op/nets/ARES - 12-5-2026/")),
            QStringLiteral("ARES - 12-5-2026"));
        QCOMPARE(netname(QStringLiteral("/home/op/nets/GSPN")), QStringLiteral("GSPN"));
        QCOMPARE(
            netFile(QStringLiteral("/n"), QStringLiteral("net.inf")), QStringLiteral("/n/net.inf"));
    }

    void ncsAfterSetUpIs170BytesAndChangesAppend()
    {
        QVERIFY(writeFirstNcs(m_net, QStringLiteral("q1aw"), QStringLiteral("17:40:09")));
        const QByteArray first = QByteArray(128, '\0') + "Q1AW        " + "17:40:09" + blanks(22);
        QCOMPARE(rollcall::test::fileBytes(path("ncs.net")), first);

        NcsHistory h = readNcsHistory(m_net);
        QCOMPARE(h.nextFree, 3);
        QCOMPARE(h.records.size(), 1);
        QCOMPARE(h.current->ncscall, QStringLiteral("Q1AW"));
        QCOMPARE(h.current->rawTime, QByteArray("17:40:09") + blanks(22));

        QCOMPARE(appendNcs(m_net, QStringLiteral("QX0ZZZ"), QStringLiteral("18:00:00")), 3);
        QCOMPARE(appendNcs(m_net, QStringLiteral("Q1AW"), QStringLiteral("18:30:00")), 4);
        QCOMPARE(QFileInfo(path("ncs.net")).size(), 3 * 128 + 42);
        h = readNcsHistory(m_net);
        QCOMPARE(h.records.size(), 3);
        QCOMPARE(h.records[1].ncscall, QStringLiteral("QX0ZZZ"));
        QCOMPARE(h.current->ncstime, QStringLiteral("18:30:00"));
        QCOMPARE(h.nextFree, 5);
    }

    void emptyNetFilesGiveTheDefaults()
    {
        const NcsHistory h = readNcsHistory(m_net);
        QVERIFY(!h.current.has_value());
        QCOMPARE(h.nextFree, 1);
        QVERIFY(!netLogsUtc(m_net));
        QVERIFY(!readStartLine(m_net).has_value());
        QVERIFY(!readLocked(m_net));
        QCOMPARE(readFrequency(m_net), QString());
        // The missing record files were created empty; freq.inf is only tolerated.
        QCOMPARE(QFileInfo(path("ncs.net")).size(), 0);
        QVERIFY(!QFile::exists(path("freq.inf")));
    }

    void startAndEndLines()
    {
        const QString start
            = formatStartLine(QStringLiteral("12/5/2026"), QStringLiteral("6:05:09 PM"));
        QCOMPARE(start, QStringLiteral("Start: 12/5/2026   6:05:09 PM "));
        QCOMPARE(start.size(), 30);
        const QString end
            = formatEndLine(QStringLiteral("12/5/2026"), QStringLiteral("7:10:00 PM"));
        QCOMPARE(end, QStringLiteral("End: 12/5/2026   7:10:00 PM   "));
        // A long date or time is cut to its width, never spills over.
        QCOMPARE(
            formatEndLine(QStringLiteral("Saturday, December 5"), QStringLiteral("x")).size(), 30);

        QCOMPARE(appendStartNetLine(m_net, start), 1);
        QCOMPARE(rollcall::test::fileBytes(path("start.net")), start.toLatin1());
        QCOMPARE(appendStartNetLine(m_net, end), 2);
        QCOMPARE(
            rollcall::test::fileBytes(path("start.net")), start.toLatin1() + QByteArray(98, '\0') + end.toLatin1());
        QCOMPARE(*readStartLine(m_net), start);
        QCOMPARE(*readEndLine(m_net), end);
        QCOMPARE(appendStartNetLine(m_net, start), 3); // started again
        QCOMPARE(readStartNetLines(m_net).size(), 3);
        QCOMPARE(*readEndLine(m_net), start);
    }

    void frequencyIsReadUpToTheComma_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("plain") << "3.940 MHz"
                               << "3.940 MHz";
        QTest::newRow("comma and tone") << "146.520,PL 100"
                                        << "146.520";
        QTest::newRow("leading blanks") << "  7.240  "
                                        << "7.240";
        QTest::newRow("quoted keeps comma") << "\"147.0,+\""
                                            << "147.0,+";
        QTest::newRow("cut to 20") << "0123456789012345678901234"
                                   << "01234567890123456789";
    }
    void frequencyIsReadUpToTheComma()
    {
        QFETCH(QString, typed);
        QFETCH(QString, readBack);
        QVERIFY(writeFrequency(m_net, typed));
        QCOMPARE(rollcall::test::fileBytes(path("freq.inf")), typed.toLatin1() + "\r\n");
        QCOMPARE(readFrequency(m_net), readBack);
    }

    void lockFlag()
    {
        putBytes(path("net.lck"), QByteArray("\xff", 1)); // too short: unlocked
        QVERIFY(!readLocked(m_net));
        QVERIFY(writeLocked(m_net, true));
        QCOMPARE(rollcall::test::fileBytes(path("net.lck")), QByteArray("\xff\xff", 2));
        QVERIFY(readLocked(m_net));
        QVERIFY(writeLocked(m_net, false));
        QCOMPARE(rollcall::test::fileBytes(path("net.lck")), QByteArray(2, '\0'));
    }

    void timeFormat()
    {
        QVERIFY(writeTimeFormat(m_net, true));
        QCOMPARE(rollcall::test::fileBytes(path("net.inf")), QByteArray("1"));
        QVERIFY(netLogsUtc(m_net));
        QVERIFY(writeTimeFormat(m_net, false));
        QVERIFY(!netLogsUtc(m_net));
    }

    void commentFilesHaveFixedSizes()
    {
        QCOMPARE(readNetComments(m_net), QString()); // missing: empty, not created
        QVERIFY(writeNetComments(m_net, QStringLiteral("Good net")));
        QCOMPARE(rollcall::test::fileBytes(path("net.cmt")), QByteArray("Good net") + blanks(232));
        QVERIFY(writeNetComments(m_net, QString(300, u'x'))); // cut at 240
        QCOMPARE(QFileInfo(path("net.cmt")).size(), 240);

        QCOMPARE(readStationComments(m_net, QStringLiteral("Q1AW")), QString());
        QVERIFY(!stationCommentExists(m_net, QStringLiteral("Q1AW")));
        QVERIFY(ensureStationCommentFile(m_net, QStringLiteral("Q1AW")));
        QCOMPARE(rollcall::test::fileBytes(path("Q1AW.cmt")), QByteArray(".") + blanks(19999));
        QCOMPARE(readStationComments(m_net, QStringLiteral("Q1AW")), QStringLiteral("."));
        const QString history = QStringLiteral(".\r\n12/05/2026 - 17:40:09(UTC): relay");
        QVERIFY(writeStationComments(m_net, QStringLiteral("Q1AW"), history));
        QCOMPARE(QFileInfo(path("Q1AW.cmt")).size(), 20000);
        QCOMPARE(readStationComments(m_net, QStringLiteral("Q1AW")), history);
        QVERIFY(ensureStationCommentFile(m_net, QStringLiteral("Q1AW"))); // kept, not reset
        QCOMPARE(readStationComments(m_net, QStringLiteral("Q1AW")), history);
    }

    void stationCommentNamesStayInsideTheNet_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("plain") << "Q1AW"
                               << "Q1AW.cmt";
        QTest::newRow("trailing blanks") << "Q1AW   "
                                         << "Q1AW.cmt";
        QTest::newRow("portable") << "Q1AW/M"
                                  << "Q1AW_M.cmt";
        QTest::newRow("climb out") << "../x"
                                   << ".._x.cmt";
        QTest::newRow("absolute") << "/etc/passwd"
                                  << "_etc_passwd.cmt";
        QTest::newRow("backslash") << "..\\..\\x"
                                   << ".._.._x.cmt";
        QTest::newRow("control") << QStringLiteral("A\nB\x01") << "A_B_.cmt";
        QTest::newRow("dots only") << ".."
                                   << "...cmt";
    }
    void stationCommentNamesStayInsideTheNet()
    {
        QFETCH(QString, callsign);
        QFETCH(QString, fileName);
        QCOMPARE(stationCommentFileName(callsign), fileName);
        QVERIFY(writeStationComments(m_net, callsign, QStringLiteral("x")));
        const QFileInfo written(stationCommentPath(m_net, callsign));
        QCOMPARE(written.absolutePath() + u'/', QDir(m_net).absolutePath() + u'/');
        QCOMPARE(written.size(), 20000);
    }
};

// rollcall.inf, the release-notes files and the message-number file.
class ProgramFilesTest : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString file(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void prefsRecordLayout()
    {
        PrefsRecord p;
        p.splash = QStringLiteral("1");
        p.callsign = QStringLiteral("QX0ZZZ");
        p.name = QStringLiteral("Pat");
        p.location = QStringLiteral("Springfield,IL");
        p.optionCheckboxes = 1;
        p.spaceBarTab = 0;
        QVERIFY(writePrefs(file(QStringLiteral("rollcall.inf")), p));
        const QByteArray bytes = rollcall::test::fileBytes(file(QStringLiteral("rollcall.inf")));
        QCOMPARE(bytes.size(), 104);
        QCOMPARE(bytes.mid(0, 5), QByteArray("1    "));
        QCOMPARE(bytes.mid(5, 20), QByteArray("QX0ZZZ") + blanks(14));
        QCOMPARE(bytes.mid(25, 25), QByteArray("Pat") + blanks(22));
        QCOMPARE(bytes.mid(50, 50), QByteArray("Springfield,IL") + blanks(36));
        QCOMPARE(bytes.mid(100, 2), QByteArray("\x01\x00", 2));
        QCOMPARE(bytes.mid(102, 2), QByteArray("\x00\x00", 2));

        PrefsRecord back;
        QVERIFY(readPrefs(file(QStringLiteral("rollcall.inf")), back));
        QCOMPARE(back, p);
    }

    void missingPrefsKeepTheStartUpDefaults()
    {
        PrefsRecord p;
        QVERIFY(!readPrefs(file(QStringLiteral("none.inf")), p));
        QCOMPARE(p.splash, QStringLiteral("2"));
        QCOMPARE(p.callsign, QString());
        QVERIFY(QFile::exists(file(QStringLiteral("none.inf"))));
    }

    void releaseNotesFiles()
    {
        const QString flag = file(QStringLiteral("100.inf"));
        QVERIFY(!releaseNotesSeen(flag));
        QVERIFY(markReleaseNotesSeen(flag));
        QCOMPARE(rollcall::test::fileBytes(flag), QByteArray("\xff\xff", 2));
        QVERIFY(releaseNotesSeen(flag));

        const QString notes = file(QStringLiteral("changes.txt"));
        const QString hundred = QString(99, u'n') + u'!';
        QVERIFY(writeReleaseNotes(notes, hundred));
        QCOMPARE(QFileInfo(notes).size(), 4096);
        QCOMPARE(readReleaseNotes(notes), hundred);
        QVERIFY(writeReleaseNotes(notes, QString(5000, u'x')));
        QCOMPARE(QFileInfo(notes).size(), 4096);
    }

    void messageNumberSetAndConsume_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::newRow("plain") << "100" << 100;
        QTest::newRow("leading number") << " 42abc" << 42;
        QTest::newRow("no number") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("rounded") << "12.6" << 13;
        QTest::newRow("half to even") << "12.5" << 12;
        QTest::newRow("too large") << "99999" << 32767;
        QTest::newRow("negative") << "-5" << 0;
    }
    void messageNumberSetAndConsume()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        const MessageNumberFile counter(file(QStringLiteral("msg/hammessagenumber.ini")));
        QCOMPARE(int(*counter.set(typed)), stored);
        QCOMPARE(QFileInfo(counter.path()).size(), 2);
        QCOMPARE(int(counter.read()), stored);
    }

    void consumeIsReadIncrementWrite()
    {
        const MessageNumberFile counter(file(QStringLiteral("count.ini")));
        QCOMPARE(counter.read(), qint16(0)); // missing: 0, created empty
        QCOMPARE(*counter.consume(), qint16(1));
        QVERIFY(counter.set(QStringLiteral("100")));
        QCOMPARE(*counter.consume(), qint16(101));
        QCOMPARE(*counter.consume(), qint16(102));
        QCOMPARE(rollcall::test::fileBytes(counter.path()), QByteArray("\x66\x00", 2));
    }

    void consumeWrapsInsteadOfOverflowing()
    {
        const MessageNumberFile counter(file(QStringLiteral("wrap.ini")));
        QVERIFY(counter.write(32766));
        QCOMPARE(*counter.consume(), qint16(32767));
        QCOMPARE(*counter.consume(), qint16(1));
        QVERIFY(counter.write(-7)); // a damaged or foreign file
        QCOMPARE(*counter.consume(), qint16(1));
    }

    void concurrentConsumersNeverShareANumber()
    {
        const QString path = file(QStringLiteral("shared.ini"));
        constexpr int kThreads = 4, kEach = 40;
        std::vector<std::vector<int>> got(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                const MessageNumberFile counter(path);
                for (int i = 0; i < kEach; ++i)
                    got[t].push_back(counter.consume().value_or(-1));
            });
        for (auto &th : threads)
            th.join();
        QSet<int> seen;
        for (const auto &list : got)
            for (int v : list) {
                QVERIFY2(v > 0, "a consume failed");
                QVERIFY2(
                    !seen.contains(v), qPrintable(QStringLiteral("number %1 given twice").arg(v)));
                seen.insert(v);
            }
        QCOMPARE(MessageNumberFile(path).read(), qint16(kThreads * kEach));
    }
};

RC_TEST_CLASS(RecordFileTest)
RC_TEST_CLASS(NetFilesTest)
RC_TEST_CLASS(ProgramFilesTest)

#include "test_recordfiles.moc"
