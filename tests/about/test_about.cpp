// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/aboutbox.h"
#include "about/releasenoteswindow.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "store/programfiles.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

using namespace rollcall;

class AboutAndReleaseNotesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aboutBoxShowsProgramVersionAndOperator()
    {
        test::WindowFixture f;
        session().mycall = QStringLiteral("QX0ZZZ   ");
        auto *about = windows().window<AboutBox>(QStringLiteral("frmAbout"));
        QCOMPARE(about->windowTitle(), QStringLiteral("About Rollcall"));
        auto text = [about](const char *name) {
            return about->findChild<QLabel *>(QLatin1String(name))->text();
        };
        QCOMPARE(text("lblTitle"), QStringLiteral("Rollcall"));
        QCOMPARE(text("lblVersion"), QStringLiteral("Version 1.0.0"));
        QCOMPARE(text("lblCallsign"), QStringLiteral("QX0ZZZ"));
        QVERIFY(text("lblLicense").contains(QStringLiteral("GPL-3.0-or-later")));
        QCOMPARE(text("lblDisclaimer"),
            QStringLiteral("Warning: ...There is no warranty on this sofware, expressed or "
                           "implied.  Use at your own risk and as always, MAKE BACKUP COPIES "
                           "OF YOUR DATA!"));
        // The program's own icon, not a generic one.
        const QImage shown = about->findChild<QLabel *>(QStringLiteral("picIcon"))
                                 ->pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QVERIFY(QFile::exists(QStringLiteral(":/icons/rollcall-48.png")));
        QCOMPARE(shown.size(), QSize(48, 48));
        QCOMPARE(shown, QImage(QStringLiteral(":/icons/rollcall-48.png"))
                            .convertToFormat(QImage::Format_ARGB32_Premultiplied));
        about->show();
        test::WindowFixture::snapshot(about, QStringLiteral("frmAbout"));
    }

    void notesShowTheStoredTextAndMarkTheVersionSeen()
    {
        test::WindowFixture f;
        const QString hundred
            = QString(63, u'a') + QStringLiteral(" and forty more characters here, 1234");
        QCOMPARE(hundred.size(), 100);
        QVERIFY(store::writeReleaseNotes(session().releaseNotesPath(), hundred));
        QFile::remove(session().releaseFlagPath());

        auto *notes = windows().window<ReleaseNotesWindow>(QStringLiteral("newchanges"));
        QCOMPARE(notes->windowTitle(), QStringLiteral("Major Changes in This Release:"));
        QCOMPARE(
            notes->findChild<QPlainTextEdit *>(QStringLiteral("Text1"))->toPlainText(), hundred);
        QVERIFY(!QFile::exists(session().releaseFlagPath()));
        notes->show();
        QFile flag(session().releaseFlagPath());
        QVERIFY(flag.open(QIODevice::ReadOnly));
        QCOMPARE(flag.readAll(), QByteArray("\xff\xff", 2));
        QVERIFY(session().releaseFlagPath().endsWith(QStringLiteral("/dbfiles/100.inf")));
        test::WindowFixture::snapshot(notes, QStringLiteral("newchanges"));

        notes->ok();
        QVERIFY(windows().loaded(QStringLiteral("Form1"))->isVisible());
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("newchanges")));
    }

    void clickingTheLabelSavesEditedNotes()
    {
        test::WindowFixture f;
        auto *notes = windows().window<ReleaseNotesWindow>(QStringLiteral("newchanges"));
        auto *text = notes->findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
        text->setPlainText(QStringLiteral("Line one\nLine two   "));
        notes->show();
        QTest::mouseClick(notes->findChild<QLabel *>(QStringLiteral("lblLabel1")), Qt::LeftButton);
        QCOMPARE(QFileInfo(session().releaseNotesPath()).size(), 4096);
        QCOMPARE(store::readReleaseNotes(session().releaseNotesPath()),
            QStringLiteral("Line one\r\nLine two"));
        QTRY_VERIFY(!windows().isFormLoaded(QStringLiteral("newchanges")));

        // Shown again, the edited notes come back as typed.
        notes = windows().window<ReleaseNotesWindow>(QStringLiteral("newchanges"));
        QCOMPARE(notes->findChild<QPlainTextEdit *>(QStringLiteral("Text1"))->toPlainText(),
            QStringLiteral("Line one\nLine two"));
    }
};

RC_TEST_CLASS(AboutAndReleaseNotesTest)

#include "test_about.moc"
