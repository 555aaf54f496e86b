// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptypair.h"
#include "terminal/tnccommand.h"
#include "testfiles.h"
#include "testmain.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <cstdio>
#include <unistd.h>

using rollcall::terminal::runTncCommand;
using rollcall::test::PtyPair;

namespace {
// Runs the command with standard output and standard error captured.
int runCaptured(const QStringList &args, QByteArray *out, QByteArray *err)
{
    QTemporaryFile o, e;
    if (!o.open() || !e.open())
        return -1;
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = dup(1), savedErr = dup(2);
    dup2(o.handle(), 1);
    dup2(e.handle(), 2);
    const int rc = runTncCommand(args);
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    ::close(savedOut);
    ::close(savedErr);
    o.seek(0);
    e.seek(0);
    *out = o.readAll();
    *err = e.readAll();
    return rc;
}

// A packet BBS on the far end: takes the message and answers the end command.
struct FakeBbs
{
    explicit FakeBbs(QIODevice *device)
    {
        QObject::connect(device, &QIODevice::readyRead, device, [this, device] {
            got += device->readAll();
            if (got.endsWith("\r/EX\r") && !answered) {
                answered = true;
                device->write("Msg 1234 saved\r\n>\r\n");
            }
        });
    }
    QByteArray got;
    bool answered = false;
};
} // namespace

class TncCommandTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Over a TCP port the command runs the same way; the link's own test
    // covers that transport.
    void sendsToAPty()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        QTemporaryDir dir;
        const QByteArray data = rollcall::test::messageText(1100);
        const QString file = dir.filePath(QStringLiteral("bulletin.txt"));
        QVERIFY(rollcall::test::writeFileBytes(file, data));
        FakeBbs bbs(&pty.peer());
        QByteArray out, err;
        const int rc = runCaptured(
            { "send", file, "--port", pty.a, "--settings", "9600,n,8,1", "--pause", "0.05" }, &out,
            &err);
        QCOMPARE(rc, 0);
        QCOMPARE(bbs.got, data + "\r/EX\r");
        QCOMPARE(out, QByteArray("Msg 1234 saved\n>\n"));
        QVERIFY2(err.contains("in 3 blocks"), err.constData());
    }

    void failuresAreOneLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such device")
            << QStringList { "send", "@", "--port", "/dev/rollcall-no-such-tnc" } << 1
            << "rollcall tnc: cannot open /dev/rollcall-no-such-tnc: ";
        QTest::newRow("bad settings")
            << QStringList { "send", "@", "--port", "/dev/null", "--settings", "fast" } << 2
            << "rollcall tnc: Invalid settings \"fast\"";
        QTest::newRow("no port") << QStringList { "send", "@" } << 2
                                 << "rollcall tnc: give the FILE and --port";
        QTest::newRow("bad pause") << QStringList { "send", "@", "--port", "/dev/null", "--pause",
            "soon" } << 2 << "rollcall tnc: --pause needs";
        QTest::newRow("no such file") << QStringList { "send", "/nonexistent/x.txt", "--port",
            "/dev/null" } << 1 << "rollcall tnc: cannot read /nonexistent/x.txt";
        QTest::newRow("no verb") << QStringList {} << 2 << "rollcall tnc: usage:";
    }
    void failuresAreOneLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, rc);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("m.txt"));
        QVERIFY(rollcall::test::writeFileBytes(file, "x"));
        args.replaceInStrings(QStringLiteral("@"), file);
        QByteArray out, err;
        QCOMPARE(runCaptured(args, &out, &err), rc);
        QVERIFY2(err.startsWith(message.toUtf8()), err.constData());
        QCOMPARE(err.count('\n'), 1);
        QVERIFY(out.isEmpty());
    }
};

RC_TEST_CLASS(TncCommandTest)
#include "test_tnccommand.moc"
