// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/netfiles.h"
#include "store/processlock.h"
#include "store/programfiles.h"
#include "store/recordfile.h"
#include "testfiles.h"
#include "testmain.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <thread>
#include <vector>

#include <sys/stat.h>

using namespace rollcall::store;
using rollcall::test::fileBytes;
using rollcall::test::writeFileBytes;

namespace {
QByteArray blanks(int n)
{
    return QByteArray(n, ' ');
}

// The id of a process that has ended.
qint64 deadPid()
{
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    gone.waitForStarted();
    const qint64 pid = gone.processId();
    gone.waitForFinished();
    return pid;
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
    // A FIFO given as the output (or a link to one) is written into and stays a
    // FIFO; replacing it with a regular file would, for /dev/null run as root,
    // replace the system's device. One that nobody reads is refused after a
    // while instead of blocking for good.
    void wholeFileWriteKeepsAFifo_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::addColumn<bool>("reader");
        QTest::newRow("fifo") << false << true;
        QTest::newRow("link to a fifo") << true << true;
        QTest::newRow("fifo nobody reads") << false << false;
    }
    void wholeFileWriteKeepsAFifo()
    {
        QFETCH(bool, throughLink);
        QFETCH(bool, reader);
        const QString fifo = file(throughLink ? "linked.fifo" : reader ? "out.fifo" : "lone.fifo");
        QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString target = throughLink ? file("link") : fifo;
        if (throughLink)
            QVERIFY(QFile::link(fifo, target));
        QProcess cat;
        if (reader) {
            cat.start(
                QStringLiteral("timeout"), { QStringLiteral("20"), QStringLiteral("cat"), fifo });
            QVERIFY(cat.waitForStarted());
        }
        QString error;
        bool written = false;
        {
            // Frees a writer that waits for ever, so the test fails instead of hanging.
            const rollcall::test::FifoRelease release(
                { fifo }, kFifoWaitMs + 5000, {}, rollcall::test::FifoRelease::As::Reader);
            written = writeWholeFile(target, "one line\n", &error);
        }
        struct stat st = {};
        const bool stillFifo
            = ::lstat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
        if (!reader) {
            QVERIFY(!written);
            QVERIFY2(error.contains(fifo) && error.contains("no program read"), qPrintable(error));
            QVERIFY(stillFifo);
            return;
        }
        if (!stillFifo)
            cat.kill();
        QVERIFY(cat.waitForFinished(25000));
        QVERIFY2(written, qPrintable(error));
        QVERIFY(stillFifo);
        QCOMPARE(cat.readAllStandardOutput(), QByteArray("one line\n"));
    }

    // A full disk in the middle of a save leaves the old file whole and says
    // why, however small the output: one that fits the write buffer is cut off
    // only when the buffer is flushed at the end.
    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("size");
        QTest::newRow("small whole file") << "whole" << 100;
        QTest::newRow("large whole file") << "whole" << 100000;
        QTest::newRow("in pieces") << "pieces" << 3000;
        QTest::newRow("record appended") << "record" << 30;
    }
    void fullDiskKeepsTheOldFile()
    {
        QFETCH(QString, how);
        QFETCH(int, size);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.txt"));
        const QByteArray old("the old file\n");
        QVERIFY(writeFileBytes(path, old));
        const QByteArray bytes(size, 'n');
        bool written = true;
        QString error;
        {
            const rollcall::test::FileSizeLimit full(16);
            QVERIFY(full.isSet());
            if (how == QLatin1String("whole")) {
                written = writeWholeFile(path, bytes, &error);
            } else if (how == QLatin1String("pieces")) {
                WholeFileWriter writer(path);
                written = writer.open();
                for (int i = 0; i < 3; ++i)
                    written = writer.write(bytes) && written;
                written = writer.commit() && written;
                error = writer.errorString();
            } else {
                written = RecordFile(path).write(2, bytes, &error);
            }
        }
        QVERIFY(!written);
        QCOMPARE(fileBytes(path), old);
        QVERIFY2(error.contains("File too large"), qPrintable(error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "out.txt" });
    }

    // A full disk is named as such, not as an unknown error.
    void wholeFileWriteNamesAFullDisk()
    {
        QString error;
        QVERIFY(!writeWholeFile(QStringLiteral("/dev/full"), QByteArray(100000, 'x'), &error));
        QVERIFY2(error.contains("/dev/full") && error.contains("No space left"), qPrintable(error));
        QVERIFY(QFileInfo(QStringLiteral("/dev/full")).exists()
            && !QFileInfo(QStringLiteral("/dev/full")).isFile());
    }

    // A missing file is created empty; records live in 128-byte slots, gaps read as
    // zeros, and a record cut short by the end of the file is not there.
    void slotsGapsAndPartialRecords()
    {
        const RecordFile f(file("slots.dat"));
        QVERIFY(!f.read(1, 2).has_value());
        QCOMPARE(QFileInfo(file("slots.dat")).size(), 0);
        QCOMPARE(f.firstUnreadable(2), 1);
        QVERIFY(f.write(3, "abc"));
        QCOMPARE(fileBytes(file("slots.dat")), QByteArray(256, '\0') + "abc");
        QCOMPARE(*f.read(1, 3), QByteArray(3, '\0'));
        QCOMPARE(*f.read(3, 3), QByteArray("abc"));
        QCOMPARE(f.firstUnreadable(3), 4);
        QCOMPARE(f.lastReadable(3), 3);

        QVERIFY(writeFileBytes(file("short.dat"), QByteArray(130, 'x'))); // record 2: 2 bytes
        const RecordFile s(file("short.dat"));
        QVERIFY(!s.read(2, 3).has_value());
        QVERIFY(s.read(2, 2).has_value());
        QCOMPARE(s.firstUnreadable(3), 2);
        QCOMPARE(trimFixed(QByteArray(12, '\0')), QString()); // a never-written slot

        // All records at once: the same as reading them one by one, up to the
        // first that is cut short.
        QCOMPARE(
            f.readAll(3), (QList<QByteArray> { QByteArray(3, '\0'), QByteArray(3, '\0'), "abc" }));
        QCOMPARE(s.readAll(3), QList<QByteArray> { QByteArray(3, 'x') });
        QCOMPARE(s.readAll(2).size(), 2);
        QVERIFY(RecordFile(file("none.dat")).readAll(2).isEmpty());
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
        QTest::newRow("windows-1252")
            << QStringLiteral("Caf\u00e9 \u20ac5") << 8 << QByteArray("Caf\xe9 \x80") + "5 "
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
        QCOMPARE(netname("/home/op/nets/ARES - 12-5-2026/"), QStringLiteral("ARES - 12-5-2026"));
        QCOMPARE(netname("/home/op/nets/GSPN"), QStringLiteral("GSPN"));
    }

    void ncsAfterSetUpIs170BytesAndChangesAppend()
    {
        QVERIFY(writeFirstNcs(m_net, "q1aw", "17:40:09"));
        QCOMPARE(fileBytes(path("ncs.net")),
            QByteArray(128, '\0') + "Q1AW        " + "17:40:09" + blanks(22));
        NcsHistory h = readNcsHistory(m_net);
        QCOMPARE(h.nextFree, 3);
        QCOMPARE(h.records.size(), 1);
        QCOMPARE(h.current->ncscall, QStringLiteral("Q1AW"));
        QCOMPARE(h.current->rawTime, QByteArray("17:40:09") + blanks(22));

        QCOMPARE(appendNcs(m_net, "QX0ZZZ", "18:00:00"), 3);
        QCOMPARE(appendNcs(m_net, "Q1AW", "18:30:00"), 4);
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
        QCOMPARE(readNetComments(m_net), QString());
        QCOMPARE(readStationComments(m_net, "Q1AW"), QString());
        QVERIFY(!stationCommentExists(m_net, "Q1AW"));
        // The missing record files were created empty; freq.inf and net.cmt only tolerated.
        QCOMPARE(QFileInfo(path("ncs.net")).size(), 0);
        QVERIFY(!QFile::exists(path("freq.inf")));
        QVERIFY(!QFile::exists(path("net.cmt")));
    }

    void startAndEndLines()
    {
        const QString start = formatStartLine("12/5/2026", "6:05:09 PM");
        QCOMPARE(start, QStringLiteral("Start: 12/5/2026   6:05:09 PM "));
        const QString end = formatEndLine("12/5/2026", "7:10:00 PM");
        QCOMPARE(end, QStringLiteral("End: 12/5/2026   7:10:00 PM   "));
        // A long date or time is cut to its width, never spills over.
        QCOMPARE(formatEndLine("Saturday, December 5", "x").size(), 30);

        QCOMPARE(appendStartNetLine(m_net, start), 1);
        QCOMPARE(appendStartNetLine(m_net, end), 2);
        QCOMPARE(
            fileBytes(path("start.net")), start.toLatin1() + QByteArray(98, '\0') + end.toLatin1());
        QCOMPARE(*readStartLine(m_net), start);
        QCOMPARE(*readEndLine(m_net), end);
        QCOMPARE(appendStartNetLine(m_net, start), 3); // started again
        QCOMPARE(readStartNetLines(m_net).size(), 3);
        QCOMPARE(*readEndLine(m_net), start);
    }

    void frequencyIsReadUpToTheComma()
    {
        const QList<QPair<QString, QString>> cases { { "3.940 MHz", "3.940 MHz" },
            { "146.520,PL 100", "146.520" }, { "  7.240  ", "7.240" },
            { "\"147.0,+\"", "147.0,+" }, // quoted keeps the comma
            { "0123456789012345678901234", "01234567890123456789" } };
        for (const auto &[typed, readBack] : cases) {
            QVERIFY(writeFrequency(m_net, typed));
            QCOMPARE(fileBytes(path("freq.inf")), typed.toLatin1() + "\r\n");
            QCOMPARE(readFrequency(m_net), readBack);
        }
    }

    void lockFlagAndTimeFormat()
    {
        QVERIFY(writeFileBytes(path("net.lck"), QByteArray("\xff", 1))); // too short: unlocked
        QVERIFY(!readLocked(m_net));
        QVERIFY(writeLocked(m_net, true));
        QCOMPARE(fileBytes(path("net.lck")), QByteArray("\xff\xff", 2));
        QVERIFY(readLocked(m_net));
        QVERIFY(writeLocked(m_net, false));
        QCOMPARE(fileBytes(path("net.lck")), QByteArray(2, '\0'));

        QVERIFY(writeTimeFormat(m_net, true));
        QCOMPARE(fileBytes(path("net.inf")), QByteArray("1"));
        QVERIFY(netLogsUtc(m_net));
        QVERIFY(writeTimeFormat(m_net, false));
        QVERIFY(!netLogsUtc(m_net));
    }

    void commentFilesHaveFixedSizes()
    {
        QVERIFY(writeNetComments(m_net, "Good net"));
        QCOMPARE(fileBytes(path("net.cmt")), QByteArray("Good net") + blanks(232));
        QVERIFY(writeNetComments(m_net, QString(300, u'x'))); // cut at 240
        QCOMPARE(QFileInfo(path("net.cmt")).size(), 240);

        QVERIFY(ensureStationCommentFile(m_net, "Q1AW"));
        QCOMPARE(fileBytes(path("Q1AW.cmt")), QByteArray(".") + blanks(19999));
        QCOMPARE(readStationComments(m_net, "Q1AW"), QStringLiteral("."));
        const QString history = QStringLiteral(".\r\n12/05/2026 - 17:40:09(UTC): relay");
        QVERIFY(writeStationComments(m_net, "Q1AW", history));
        QCOMPARE(QFileInfo(path("Q1AW.cmt")).size(), 20000);
        QVERIFY(ensureStationCommentFile(m_net, "Q1AW")); // kept, not reset
        QCOMPARE(readStationComments(m_net, "Q1AW"), history);
    }

    void stationCommentNamesStayInsideTheNet()
    {
        const QList<QPair<QString, QString>> cases { { "Q1AW   ", "Q1AW.cmt" },
            { "Q1AW/M", "Q1AW_M.cmt" }, { "../x", ".._x.cmt" }, { "/etc/pw", "_etc_pw.cmt" },
            { "..\\..\\x", ".._.._x.cmt" }, { "A\nB\x01", "A_B_.cmt" }, { "..", "...cmt" } };
        for (const auto &[callsign, fileName] : cases) {
            QCOMPARE(stationCommentFileName(callsign), fileName);
            QVERIFY(writeStationComments(m_net, callsign, "x"));
            const QFileInfo written(stationCommentPath(m_net, callsign));
            QCOMPARE(written.absolutePath() + u'/', QDir(m_net).absolutePath() + u'/');
            QCOMPARE(written.size(), 20000);
        }
    }
};

// rollcall.inf, the release-notes files and the message-number file.
class ProgramFilesTest : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString file(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private Q_SLOTS:
    void prefsRecordLayout()
    {
        PrefsRecord p;
        p.splash = "1";
        p.callsign = "QX0ZZZ";
        p.name = "Pat";
        p.location = "Springfield,IL";
        p.optionCheckboxes = 1;
        p.spaceBarTab = 0;
        QVERIFY(writePrefs(file("rollcall.inf"), p));
        QCOMPARE(fileBytes(file("rollcall.inf")),
            "1    QX0ZZZ" + blanks(14) + "Pat" + blanks(22) + "Springfield,IL" + blanks(36)
                + QByteArray("\x01\x00\x00\x00", 4));
        PrefsRecord back;
        QVERIFY(readPrefs(file("rollcall.inf"), back));
        QCOMPARE(back, p);
    }

    // A missing or short rollcall.inf leaves the start-up values alone.
    void missingOrShortPrefsKeepTheDefaults()
    {
        PrefsRecord p;
        p.callsign = "UNCHANGED";
        QVERIFY(!readPrefs(file("none.inf"), p));
        QVERIFY(QFile::exists(file("none.inf")));
        QVERIFY(writeFileBytes(file("short.inf"), QByteArray(50, 'Z')));
        QVERIFY(!readPrefs(file("short.inf"), p));
        QCOMPARE(p.callsign, QStringLiteral("UNCHANGED"));
        QCOMPARE(p.splash, QStringLiteral("2"));
    }

    void releaseNotesFiles()
    {
        const QString flag = file("100.inf");
        QVERIFY(!releaseNotesSeen(flag));
        QVERIFY(markReleaseNotesSeen(flag));
        QCOMPARE(fileBytes(flag), QByteArray("\xff\xff", 2));
        QVERIFY(releaseNotesSeen(flag));

        const QString notes = file("changes.txt");
        const QString hundred = QString(99, u'n') + u'!';
        QVERIFY(writeReleaseNotes(notes, hundred));
        QCOMPARE(QFileInfo(notes).size(), 4096);
        QCOMPARE(readReleaseNotes(notes), hundred);
        QVERIFY(writeReleaseNotes(notes, QString(5000, u'x')));
        QCOMPARE(QFileInfo(notes).size(), 4096);
    }

    // A typed number is read as far as it goes, rounded half to even, kept in range.
    void messageNumberSet()
    {
        const QList<QPair<QString, int>> cases { { "100", 100 }, { " 42abc", 42 }, { "abc", 0 },
            { "", 0 }, { "12.6", 13 }, { "12.5", 12 }, { "99999", 32767 }, { "-5", 0 } };
        const MessageNumberFile counter(file("msg/hammessagenumber.ini"));
        for (const auto &[typed, stored] : cases) {
            QCOMPARE(int(*counter.set(typed)), stored);
            QCOMPARE(QFileInfo(counter.path()).size(), 2);
            QCOMPARE(int(counter.read()), stored);
        }
    }

    // Consuming reads, adds one and writes back; past 32767, or from a damaged
    // negative value, it starts again at 1 instead of overflowing.
    void consumeCountsAndWraps()
    {
        const MessageNumberFile counter(file("count.ini"));
        QCOMPARE(counter.read(), qint16(0)); // missing: 0
        QCOMPARE(*counter.consume(), qint16(1));
        QVERIFY(counter.set("100"));
        QCOMPARE(*counter.consume(), qint16(101));
        QCOMPARE(fileBytes(counter.path()), QByteArray("\x65\x00", 2));
        QVERIFY(counter.write(32766));
        QCOMPARE(*counter.consume(), qint16(32767));
        QCOMPARE(*counter.consume(), qint16(1));
        QVERIFY(counter.write(-7));
        QCOMPARE(*counter.consume(), qint16(1));
    }

    // The lock of a running holder is never taken over, however old it is. One
    // that no live process here holds is free, whatever its file holds; one
    // from another machine is waited on while its copy may still be at it.
    void messageNumberLock_data()
    {
        QTest::addColumn<QByteArray>("content"); // "live": held by this process
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("free");
        QTest::newRow("live holder, old") << QByteArray("live") << 600 << false;
        QTest::newRow("empty, a day old") << QByteArray() << 86400 << true;
        QTest::newRow("empty, new") << QByteArray() << 0 << true;
        QTest::newRow("damaged") << QByteArray("\xff\x00garbage") << 5 << true;
        QTest::newRow("crashed copy here") << (QByteArray::number(deadPid()) + "\nrollcall\n"
            + QSysInfo::machineHostName().toUtf8() + '\n' + QSysInfo::machineUniqueId() + '\n')
                                           << 5 << true;
        QTest::newRow("another machine, long ago")
            << QByteArray("4242\nrollcall\nfar-away\n0123456789abcdef\n") << 120 << true;
    }
    void messageNumberLock()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, ageSeconds);
        QFETCH(bool, free);
        const QString path = file("traffic.num");
        const QString lockPath = path + ".lock";
        ProcessLock holder(lockPath);
        if (content == "live")
            QCOMPARE(holder.tryLock(), ProcessLock::Result::Taken);
        else
            QVERIFY(writeFileBytes(lockPath, content));
        QFile lockFile(lockPath);
        QVERIFY(lockFile.open(QIODevice::ReadWrite));
        QVERIFY(lockFile.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-ageSeconds),
            QFileDevice::FileModificationTime));
        lockFile.close();
        const MessageNumberFile numbers(path);
        QVERIFY(numbers.write(0));
        QCOMPARE(numbers.consume(), free ? std::optional<qint16>(1) : std::nullopt);
        QVERIFY(!QFile::exists(lockPath) || holder.isLocked()); // let go behind it
        holder.unlock();
        QVERIFY(!QFile::exists(lockPath));
    }

    void concurrentConsumersNeverShareANumber()
    {
        const QString path = file("shared.ini");
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
        // Every number from 1 up given out exactly once, and no consume failed.
        std::vector<int> all;
        for (const auto &list : got)
            all.insert(all.end(), list.begin(), list.end());
        std::sort(all.begin(), all.end());
        for (int i = 0; i < kThreads * kEach; ++i)
            QCOMPARE(all[i], i + 1);
        QCOMPARE(MessageNumberFile(path).read(), qint16(kThreads * kEach));
    }
};

RC_TEST_CLASS(RecordFileTest)
RC_TEST_CLASS(NetFilesTest)
RC_TEST_CLASS(ProgramFilesTest)

#include "test_recordfiles.moc"
