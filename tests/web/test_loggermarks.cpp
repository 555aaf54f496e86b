// SPDX-License-Identifier: GPL-3.0-or-later
// The net folder's file of which rows came from which logger: its bytes, the
// lines it refuses, and a file that is damaged, too large or no file at all.
#include "testfiles.h"
#include "testmain.h"
#include "web/loggermarks.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall;
using namespace rollcall::web;

class LoggerMarksTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void bytesAndBack()
    {
        const LoggerMarks marks { { 12, QStringLiteral("Bob K") }, { 3, QStringLiteral("Ann") },
            { 1, QStringLiteral("Zo\u00eb") } };
        const QByteArray bytes = writeLoggerMarks(marks);
        QCOMPARE(bytes, QByteArray("Rollcall logger rows 1\n1\tZo\xc3\xab\n3\tAnn\n12\tBob K\n"));
        int skipped = 99;
        QCOMPARE(readLoggerMarks(bytes, &skipped), marks);
        QCOMPARE(skipped, 0);
        // Written on another system: CRLF and blank lines read the same.
        QByteArray crlf = bytes;
        crlf.replace("\n", "\r\n").append("\r\n\r\n");
        QCOMPARE(readLoggerMarks(crlf, &skipped), marks);
        QCOMPARE(skipped, 0);
        QCOMPARE(writeLoggerMarks({}), QByteArray("Rollcall logger rows 1\n"));
    }

    void refusesDamagedLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("record 0") << QByteArray("0\tAnn");
        QTest::newRow("negative") << QByteArray("-4\tAnn");
        QTest::newRow("not a number") << QByteArray("four\tAnn");
        QTest::newRow("blank before the number") << QByteArray(" 4\tAnn");
        QTest::newRow("no tab") << QByteArray("4 Ann");
        QTest::newRow("no name") << QByteArray("4\t");
        QTest::newRow("19 digits") << QByteArray("1234567890123456789\tAnn");
        QTest::newRow("marked twice") << QByteArray("2\tAnn");
        QTest::newRow("name with blanks around") << QByteArray("4\t Ann");
        QTest::newRow("control character") << QByteArray("4\tAn\x01n");
        QTest::newRow("second tab") << QByteArray("4\tAnn\tx");
        QTest::newRow("not UTF-8") << QByteArray("4\tAnn\xff");
        QTest::newRow("name too long") << "4\t" + QByteArray(25, 'A');
    }

    void refusesDamagedLines()
    {
        QFETCH(QByteArray, line);
        int skipped = 0;
        const LoggerMarks marks
            = readLoggerMarks("Rollcall logger rows 1\n2\tBea\n" + line + "\n7\tCy\n", &skipped);
        QCOMPARE(skipped, 1);
        QCOMPARE(
            marks, (LoggerMarks { { 2, QStringLiteral("Bea") }, { 7, QStringLiteral("Cy") } }));
    }

    void refusesOtherText()
    {
        int skipped = 0;
        for (const QByteArray &text :
            { QByteArray(), QByteArray("2\tBea\n"), QByteArray("Rollcall logger rows 2\n2\tBea\n"),
                QByteArray("\nRollcall logger rows 1\n") }) {
            QVERIFY(readLoggerMarks(text, &skipped).isEmpty());
            QCOMPARE(skipped, -1);
        }
    }

    // The file of a net folder: none until there is a mark, written whole,
    // read back; what cannot be read is refused with its reason, at once.
    void theNetFoldersFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        const QString path = dir.filePath(QLatin1String(kLoggerMarksFileName));
        LoggerMarks read { { 1, QStringLiteral("old") } };
        QString error;
        QVERIFY(loadLoggerMarks(folder, &read, &error));
        QVERIFY(read.isEmpty() && error.isEmpty());
        QVERIFY(saveLoggerMarks(folder, {}, &error));
        QVERIFY(!QFile::exists(path));

        const LoggerMarks marks { { 5, QStringLiteral("Ann") }, { 9, QStringLiteral("Bob") } };
        QVERIFY(saveLoggerMarks(folder, marks, &error));
        QCOMPARE(test::fileBytes(path), QByteArray("Rollcall logger rows 1\n5\tAnn\n9\tBob\n"));
        QVERIFY(loadLoggerMarks(folder, &read, &error));
        QCOMPARE(read, marks);

        // A damaged line: the rest are read, and the reason given.
        QVERIFY(test::writeFileBytes(path, "Rollcall logger rows 1\n5\tAnn\nrubbish\n"));
        QVERIFY(!loadLoggerMarks(folder, &read, &error));
        QCOMPARE(read, (LoggerMarks { { 5, QStringLiteral("Ann") } }));
        QCOMPARE(error, path + QStringLiteral(" cannot be read (1 damaged line(s) left out)."));

        QVERIFY(test::writeFileBytes(path, "\x89PNG\r\n\x1a\n"));
        QVERIFY(!loadLoggerMarks(folder, &read, &error));
        QVERIFY(read.isEmpty());
        QCOMPARE(error, path + QStringLiteral(" cannot be read (not a file of logger marks)."));

        // Too large: refused unread, whatever it holds.
        QByteArray huge = "Rollcall logger rows 1\n";
        huge += QByteArray(kLongestLoggerMarksFile, '\n');
        QVERIFY(test::writeFileBytes(path, huge));
        QVERIFY(!loadLoggerMarks(folder, &read, &error));
        QVERIFY(read.isEmpty());
        QVERIFY2(error.contains(QStringLiteral("larger than a file of logger marks can be")),
            qPrintable(error));

        // A FIFO in its place is neither waited on nor written to.
        QVERIFY(QFile::remove(path));
        QVERIFY(test::makeFifo(path));
        QVERIFY(!loadLoggerMarks(folder, &read, &error));
        QCOMPARE(error, path + QStringLiteral(" cannot be read (not a file)."));
        QVERIFY(!saveLoggerMarks(folder, marks, &error));
        QCOMPARE(error, path + QStringLiteral(" cannot be written (not a file)."));
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir(dir.path()).mkdir(QLatin1String(kLoggerMarksFileName)));
        QVERIFY(!loadLoggerMarks(folder, &read, &error));
        QVERIFY(!saveLoggerMarks(folder, marks, &error));
    }
};

RC_TEST_CLASS(LoggerMarksTest)

#include "test_loggermarks.moc"
