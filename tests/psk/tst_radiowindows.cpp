// SPDX-License-Identifier: GPL-3.0-or-later
// The radio settings in the PSK31 windows: the options dialog, the dial and
// the input level in the console, the transmit level.
#include "testmain.h"

#include "psk/pskmodem.h"
#include "psk/pskoptionsdialog.h"
#include "psk/psksettings.h"
#include "psk/pskterminal.h"
#include "hostilerig.h"
#include "radio/radiocheck.h"
#include "radio/radiosettings.h"
#include "radio/stationrig.h"
#include "pskwindowfixture.h"
#include "radiofixtures.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBlock>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

using namespace rollcall;
using namespace rollcall::psk;
using rollcall::test::child;
using rollcall::test::Desk;
using rollcall::test::DummyRigctld;
using rollcall::test::HostileRig;

namespace {
float peakOf(const std::vector<float> &samples)
{
    float peak = 0;
    for (float s : samples)
        peak = std::max(peak, std::abs(s));
    return peak;
}
} // namespace

class RadioWindowsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        netLists()->clear();
        pskSettings() = PskSettings();
        QSettings(radio::programSettingsPath(), QSettings::IniFormat).remove(QStringLiteral("Radio"));
    }
    void cleanup()
    {
        QSettings(radio::programSettingsPath(), QSettings::IniFormat).remove(QStringLiteral("Radio"));
        radio::stationRig()->use({});
    }

    void settingsKeptInTheSettingsStore()
    {
        radio::RadioSettings r;
        QCOMPARE(radio::loadRadioSettings(), r); // defaults: no rig, VOX, five minutes, full level
        QCOMPARE(r.transmitTimeoutSeconds, 300);
        r.rig = *radio::RigForm::parse(QStringLiteral("rigctld:localhost:4532"));
        r.ptt = *radio::PttForm::parse(QStringLiteral("rtsdtr:/dev/ttyUSB1"));
        r.transmitTimeoutSeconds = 90;
        r.transmitLevel = 40;
        r.inputDevice = QStringLiteral("cable_in");
        radio::saveRadioSettings(r);
        QCOMPARE(radio::loadRadioSettings(), r);
        // Damaged values fall back to their defaults, each on its own.
        QSettings s(radio::programSettingsPath(), QSettings::IniFormat);
        s.setValue(QStringLiteral("Radio/rig"), QStringLiteral("rigctld:nowhere"));
        s.setValue(QStringLiteral("Radio/transmitTimeout"), QStringLiteral("-5"));
        s.setValue(QStringLiteral("Radio/transmitLevel"), 250);
        s.sync();
        const radio::RadioSettings back = radio::loadRadioSettings();
        QVERIFY(back.rig.isNone());
        QCOMPARE(back.ptt, r.ptt);
        QCOMPARE(back.transmitTimeoutSeconds, 300);
        QCOMPARE(back.transmitLevel, 100);
        QSettings(radio::programSettingsPath(), QSettings::IniFormat).remove(QStringLiteral("PskModem/inputDevice"));
    }

    void optionsDialogRadioFields()
    {
        Desk d;
        auto *dialog = windows().window<PskOptionsDialog>(QStringLiteral("pskOptions"));
        dialog->fill();
        QCOMPARE(child<QLineEdit>(dialog, "rig")->text(), QStringLiteral("none"));
        QCOMPARE(child<QSpinBox>(dialog, "transmitTimeout")->value(), 300);
        // The hamlib model list, searchable, fills in the model number.
        auto *models = child<QComboBox>(dialog, "rigModel");
        QVERIFY(models->count() > 100);
        const int dummy = models->findData(1);
        QVERIFY(dummy > 0);
        QVERIFY(models->itemText(dummy).contains(QLatin1String("Dummy")));
        models->setCurrentIndex(dummy);
        Q_EMIT models->activated(dummy);
        QCOMPARE(child<QLineEdit>(dialog, "rig")->text(), QStringLiteral("hamlib:1:/dev/ttyUSB0"));

        // A form that does not parse is refused, and nothing is stored.
        const int before = int(d.f.prompts.messages().size());
        child<QLineEdit>(dialog, "rig")->setText(QStringLiteral("rigctld:localhost"));
        QVERIFY(!dialog->closeDialog());
        child<QLineEdit>(dialog, "rig")->setText(QStringLiteral("none"));
        child<QLineEdit>(dialog, "ptt")->setText(QStringLiteral("cat"));
        QVERIFY(!dialog->closeDialog()); // CAT without a rig
        QCOMPARE(int(d.f.prompts.messages().size()), before + 2);
        QVERIFY(radio::loadRadioSettings().ptt.kind == radio::PttForm::None);

        child<QLineEdit>(dialog, "ptt")->setText(QStringLiteral("none"));
        child<QSpinBox>(dialog, "transmitTimeout")->setValue(45);
        child<QSpinBox>(dialog, "transmitLevel")->setValue(50);
        QVERIFY(dialog->closeDialog());
        QCOMPARE(radio::loadRadioSettings().transmitTimeoutSeconds, 45);
        QCOMPARE(radio::loadRadioSettings().transmitLevel, 50);
        QCOMPARE(d.modem()->transmitTimeout(), 45);

        // As the user guide shows it: a rigctld shared with other programs, PTT by CAT.
        dialog->show(); // fills the fields from the settings
        child<QLineEdit>(dialog, "Text1")->setText(QStringLiteral("N0CALL"));
        child<QLineEdit>(dialog, "rig")->setText(QStringLiteral("rigctld:127.0.0.1:4532"));
        child<QLineEdit>(dialog, "ptt")->setText(QStringLiteral("cat"));
        child<QSpinBox>(dialog, "transmitTimeout")->setValue(300);
        child<QSpinBox>(dialog, "transmitLevel")->setValue(80);
        test::WindowFixture::snapshot(dialog, QStringLiteral("psk-preferences"));
    }

    // The model list fills in a hamlib rig only: a rig of another form typed
    // by the operator is kept.
    void modelLookupKeepsARigOfAnotherForm_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("rigctld") << "rigctld:127.0.0.1:4711" << "rigctld:127.0.0.1:4711";
        QTest::newRow("not a form") << "rigctl:localhost" << "rigctl:localhost";
        QTest::newRow("none") << "none" << "hamlib:1:/dev/ttyUSB0";
        QTest::newRow("empty") << "" << "hamlib:1:/dev/ttyUSB0";
        QTest::newRow("another model") << "hamlib:3019:/dev/ttyS1:9600" << "hamlib:1:/dev/ttyS1:9600";
    }
    void modelLookupKeepsARigOfAnotherForm()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        Desk d;
        auto *dialog = windows().window<PskOptionsDialog>(QStringLiteral("pskOptions"));
        dialog->fill();
        child<QLineEdit>(dialog, "rig")->setText(before);
        auto *models = child<QComboBox>(dialog, "rigModel");
        const int dummy = models->findData(1);
        models->setCurrentIndex(dummy);
        Q_EMIT models->activated(dummy);
        QCOMPARE(child<QLineEdit>(dialog, "rig")->text(), after);
    }

    // An entry that is wrong is told in a message once: leaving the field
    // again or pressing Close again shows it in the dialog only.
    void wrongEntryToldOnce()
    {
        Desk d;
        auto *dialog = windows().window<PskOptionsDialog>(QStringLiteral("pskOptions"));
        dialog->fill();
        auto *ptt = child<QLineEdit>(dialog, "ptt");
        auto *rig = child<QLineEdit>(dialog, "rig");
        auto *result = child<QLabel>(dialog, "radioResult");
        const int before = int(d.f.prompts.messages().size());
        ptt->setText(QStringLiteral("catt"));
        Q_EMIT ptt->editingFinished();
        QCOMPARE(int(d.f.prompts.messages().size()), before + 1);
        Q_EMIT ptt->editingFinished();
        Q_EMIT rig->editingFinished();
        QVERIFY(!dialog->closeDialog());
        QVERIFY(!dialog->closeDialog());
        QCOMPARE(int(d.f.prompts.messages().size()), before + 1);
        QVERIFY(result->text().contains(QLatin1String("catt")));
        // Another wrong entry is told once too; a PTT of cat waits for its rig
        // while the rig field is not the one left.
        ptt->setText(QStringLiteral("cat"));
        Q_EMIT ptt->editingFinished();
        QCOMPARE(int(d.f.prompts.messages().size()), before + 2);
        QVERIFY(result->text().contains(QLatin1String("needs a rig")));
        rig->setText(QStringLiteral("rigctld:127.0.0.1:4532"));
        Q_EMIT rig->editingFinished();
        ptt->setText(QStringLiteral("catt"));
        QVERIFY(!dialog->closeDialog()); // the same mistake, made again: told again
        QCOMPARE(int(d.f.prompts.messages().size()), before + 3);
        QVERIFY(radio::loadRadioSettings().ptt.kind == radio::PttForm::None);
    }

    // Test CAT reads the dial, Test PTT keys for a second and reads it back:
    // through the rig's thread, the dialog answering meanwhile.
    void testButtonsOnTheDummyRig()
    {
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        rigctld.rigctl({ QStringLiteral("F"), QStringLiteral("14070000") });
        Desk d;
        auto *dialog = windows().window<PskOptionsDialog>(QStringLiteral("pskOptions"));
        dialog->show();
        child<QLineEdit>(dialog, "rig")->setText(rigctld.rig());
        child<QLineEdit>(dialog, "ptt")->setText(QStringLiteral("cat"));
        auto *result = child<QLabel>(dialog, "radioResult");
        auto *cat = child<QPushButton>(dialog, "testCat");
        auto *ptt = child<QPushButton>(dialog, "testPtt");
        cat->click();
        QVERIFY(!cat->isEnabled()); // asked, not answered yet
        QTRY_VERIFY_WITH_TIMEOUT(cat->isEnabled(), 10000);
        QVERIFY2(result->text().contains(QLatin1String("14.070000 MHz")), qPrintable(result->text()));
        ptt->click();
        QTRY_VERIFY_WITH_TIMEOUT(ptt->isEnabled(), 10000);
        QCOMPARE(rigctld.ptt(), std::optional(false));
        QVERIFY2(result->text().contains(QLatin1String("said it was transmitting"))
                && result->text().contains(QLatin1String("said it was receiving")),
            qPrintable(result->text()));
        // The result shows whole in the dialog as it is on the screen.
        QVERIFY(result->height() >= result->heightForWidth(result->width()));
        QVERIFY(radio::RadioCheck::lastPttResult().contains(QLatin1String("released")));
        // Nothing was saved by testing.
        QVERIFY(radio::loadRadioSettings().rig.isNone());
    }

    // A rig that never answers: the test ends with the reason after the
    // rig's bound, the window's events running all along.
    void testCatOnAHungRig()
    {
        HostileRig peer(HostileRig::Silent);
        QVERIFY(peer.start());
        Desk d;
        auto *dialog = windows().window<PskOptionsDialog>(QStringLiteral("pskOptions"));
        dialog->fill();
        child<QLineEdit>(dialog, "rig")->setText(peer.rig());
        auto *result = child<QLabel>(dialog, "radioResult");
        auto *cat = child<QPushButton>(dialog, "testCat");
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(10);
        cat->click();
        QVERIFY(result->text().contains(QLatin1String("Asking")));
        QTRY_VERIFY_WITH_TIMEOUT(cat->isEnabled(), 30000);
        QVERIFY(ticks > 0);
        // The rig named once, then why it failed.
        QVERIFY2(result->text().startsWith(peer.rig()) && result->text().count(peer.rig()) == 1
                && !result->text().contains(QLatin1String("Asking")),
            qPrintable(result->text()));
    }

    // One PTT choice: a COM port writes the record's port and line and a
    // radio PTT of none; cat or a named device writes the radio PTT and port
    // 0; a record that holds both shows (and keys by) the radio PTT.
    void onePttChoice()
    {
        Desk d;
        auto *dialog = windows().window<PskOptionsDialog>(QStringLiteral("pskOptions"));
        dialog->fill();
        auto *ptt = child<QLineEdit>(dialog, "ptt");
        auto *com2 = child<QRadioButton>(dialog, "Option4");
        auto *none = child<QRadioButton>(dialog, "Option11");
        child<QLineEdit>(dialog, "rig")->setText(QStringLiteral("rigctld:127.0.0.1:4532"));
        ptt->setText(QStringLiteral("cat"));
        com2->setChecked(true); // the COM port is the choice now
        QCOMPARE(ptt->text(), QStringLiteral("none"));
        child<QRadioButton>(dialog, "Option9")->setChecked(true); // RTS
        QVERIFY(dialog->closeDialog());
        QCOMPARE(pskSettings().pttPort, qint16(2));
        QCOMPARE(pskSettings().pttControl, qint16(2));
        QCOMPARE(radio::loadRadioSettings().ptt.kind, radio::PttForm::None);

        dialog->fill();
        QVERIFY(com2->isChecked());
        ptt->setText(QStringLiteral("rts:/dev/ttyUSB7"));
        Q_EMIT ptt->textEdited(ptt->text()); // typed: the COM port goes
        QVERIFY(none->isChecked());
        QVERIFY(dialog->closeDialog());
        QCOMPARE(pskSettings().pttPort, qint16(0));
        QCOMPARE(radio::loadRadioSettings().ptt.toString(), QStringLiteral("rts:/dev/ttyUSB7"));
        QCOMPARE(d.modem()->keyer()->name(), QStringLiteral("rts:/dev/ttyUSB7"));

        // Written by an older version or by hand: both. The radio PTT wins.
        pskSettings().pttPort = 3;
        pskSettings().pttControl = 3;
        QVERIFY(savePskSettings(pskSettings()));
        dialog->fill();
        QVERIFY(none->isChecked());
        QCOMPARE(ptt->text(), QStringLiteral("rts:/dev/ttyUSB7"));
        d.desk->terminal()->applySettings();
        d.desk->terminal()->applyRadioSettings(radio::loadRadioSettings());
        QCOMPARE(d.modem()->keyer()->name(), QStringLiteral("rts:/dev/ttyUSB7"));
    }

    // The sound output goes while typed text waits to go out: the operator is
    // told the transmission was cut, and what was not sent is marked.
    void cutTransmissionMarksTheUnsentText()
    {
        Desk d;
        auto *typing = child<QPlainTextEdit>(d.desk, "Text1");
        QSignalSpy problems(d.desk->terminal(), &PskTerminal::problem);
        d.link.ncsAudio->setRoom(0); // nothing goes out yet
        d.desk->terminal()->transmit();
        QTest::keyClicks(typing, QStringLiteral("qrz de q1aw"));
        QCOMPARE(typing->toPlainText(), QStringLiteral("qrz de q1aw"));
        Q_EMIT d.link.ncsAudio->outputFailed(QStringLiteral("The sound output \"cable\" went away."));
        QVERIFY(!d.modem()->isTransmitting());
        QVERIFY(std::any_of(problems.begin(), problems.end(), [](const QList<QVariant> &p) {
            return p.first().toString().startsWith(
                QLatin1String("The transmission was cut: the sound output \"cable\" went away."));
        }));
        // Every typed character is marked, and only those.
        int marked = 0;
        for (QTextBlock b = typing->document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                if (it.fragment().charFormat().hasProperty(QTextFormat::BackgroundBrush))
                    marked += it.fragment().length();
        QCOMPARE(marked, 11);
        // What is typed next is plain.
        QTest::keyClicks(typing, QStringLiteral("k"));
        const QTextBlock last = typing->document()->lastBlock();
        auto it = last.begin();
        QTextFragment tail;
        for (; !it.atEnd(); ++it)
            tail = it.fragment();
        QVERIFY(!tail.charFormat().hasProperty(QTextFormat::BackgroundBrush));
    }

    // The whole dialog, its Close button included, fits a 1024x768 screen
    // under a title bar, however long the names of the devices and models.
    void optionsDialogFitsASmallScreen()
    {
        Desk d;
        radio::RadioSettings r;
        r.inputDevice = QStringLiteral(
            "alsa_input.usb-Burr-Brown_from_TI_USB_AUDIO_CODEC-00.analog-stereo.monitor");
        radio::saveRadioSettings(r);
        auto *dialog = windows().window<PskOptionsDialog>(QStringLiteral("pskOptions"));
        dialog->show();
        const QSize needed = dialog->sizeHint().expandedTo(dialog->minimumSizeHint());
        QVERIFY2(needed.width() <= 1024 && needed.height() <= 768 - 40,
            qPrintable(QStringLiteral("%1x%2").arg(needed.width()).arg(needed.height())));
    }

    // The transmit level scales everything sent, the Audio button's tones too.
    void transmitLevelScalesWhatIsSent()
    {
        Desk d;
        PskModem *m = d.modem();
        auto sendPeak = [&] {
            d.link.ncsAudio->clearWritten();
            d.desk->terminal()->sendPskText(QStringLiteral("eee"), 0);
            if (!QTest::qWaitFor([m] { return !m->isTransmitting(); }, 10000))
                return -1.0f;
            return peakOf(d.link.ncsAudio->written());
        };
        const float full = sendPeak();
        QVERIFY(full > 0.5f);
        radio::RadioSettings r;
        r.transmitLevel = 50;
        d.desk->terminal()->applyRadioSettings(r);
        const float half = sendPeak();
        QVERIFY2(std::abs(half / full - 0.5f) < 0.05f, qPrintable(QString::number(half / full)));
        m->setTxLevel(400); // the Audio button's low level, scaled as well
        QVERIFY(std::abs(sendPeak() / full - 0.2f) < 0.05f);
    }

    void inputLevelMeterFollowsTheAudio()
    {
        Desk d;
        auto *meter = child<QProgressBar>(d.desk, "inputLevel");
        QVERIFY(meter);
        std::vector<float> tone(8000);
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = 0.1f * float(std::sin(double(i) * 0.3)); // -20 dB of full scale
        d.link.ncsAudio->feed(tone);
        QTRY_VERIFY(meter->value() >= 35 && meter->value() <= 45);
    }

    // The console shows the rig's dial as it is read; a rig that does not
    // answer gives one status line and the console goes on.
    void consoleShowsTheDial()
    {
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        Desk d;
        radio::RadioSettings r;
        r.rig = *radio::RigForm::parse(rigctld.rig());
        r.ptt.kind = radio::PttForm::Cat;
        d.desk->terminal()->applyRadioSettings(r);
        auto *dial = child<QLabel>(d.desk, "dialFrequency");
        QTRY_COMPARE(dial->text(), QStringLiteral("145.000000"));
        QCOMPARE(radio::stationRig()->dialFrequency(), qint64(145000000));
        rigctld.rigctl({ QStringLiteral("F"), QStringLiteral("14070500") });
        QTRY_COMPARE_WITH_TIMEOUT(dial->text(), QStringLiteral("14.070500"), 3000);
        // Keyed by CAT while sending (the postamble follows the text).
        QVERIFY(d.desk->terminal()->sendPskText(QStringLiteral("eee"), 0));
        QTRY_COMPARE(rigctld.ptt(), std::optional(true));
        QTRY_VERIFY(!d.modem()->isTransmitting());
        QTRY_COMPARE(rigctld.ptt(), std::optional(false));

        QSignalSpy problems(d.desk->terminal(), &PskTerminal::problem);
        rigctld.stop();
        QTRY_COMPARE_WITH_TIMEOUT(dial->text(), QString(), 5000);
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems.first().first().toString().contains(QLatin1String("does not answer")));
        QCOMPARE(radio::stationRig()->dialFrequency(), qint64(0));
        // Nothing waits on the rig: the window thread still runs its events.
        bool ran = false;
        QTimer::singleShot(0, d.desk, [&ran] { ran = true; });
        QTRY_VERIFY(ran);
    }

    // The station rig is read from the program's start: the net window shows
    // the dial with the PSK31 terminal never opened; a terminal opened later
    // shows the same dial at once and keys the same rig; closed again, the
    // net window goes on reading it, and says so when the rig goes silent.
    void netWindowReadsTheDialWithoutTheTerminal()
    {
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        rigctld.rigctl({ QStringLiteral("F"), QStringLiteral("7070000") });
        test::WindowFixture f;
        test::BackToBack link;
        radio::RadioSettings r;
        r.rig = *radio::RigForm::parse(rigctld.rig());
        r.ptt.kind = radio::PttForm::Cat;
        radio::saveRadioSettings(r);
        radio::connectStationRig();
        NetWindow *net = test::openNet(f);
        auto *header = child<QLabel>(net, "lblDial");
        QVERIFY(header);
        QTRY_COMPARE_WITH_TIMEOUT(header->text(), QStringLiteral("Dial: 7.070"), 3000);
        QVERIFY(!windows().isFormLoaded(QStringLiteral("PSK_Desk")));

        auto *desk = windows().window<PskDeskWindow>(QStringLiteral("PSK_Desk"));
        desk->show();
        QCOMPARE(child<QLabel>(desk, "dialFrequency")->text(), QStringLiteral("7.070000"));
        QVERIFY(desk->terminal()->sendPskText(QStringLiteral("eee"), 0));
        QTRY_COMPARE(rigctld.ptt(), std::optional(true));
        QTRY_VERIFY(!desk->terminal()->modem()->isTransmitting());
        QTRY_COMPARE(rigctld.ptt(), std::optional(false));
        desk->close();
        windows().unload(QStringLiteral("PSK_Desk"));
        QVERIFY(!windows().isFormLoaded(QStringLiteral("PSK_Desk")));

        rigctld.rigctl({ QStringLiteral("F"), QStringLiteral("3573000") });
        QTRY_COMPARE_WITH_TIMEOUT(header->text(), QStringLiteral("Dial: 3.573"), 3000);
        rigctld.stop();
        QTRY_COMPARE_WITH_TIMEOUT(header->text(), QStringLiteral("Rig not answering"), 5000);
        QVERIFY2(header->toolTip().contains(QLatin1String("does not answer")),
            qPrintable(header->toolTip()));
    }

    // Keyed by hand (TX), then the terminal is closed: PTT is released.
    void closingTheTerminalReleasesPtt()
    {
        if (!DummyRigctld::available())
            QSKIP("rigctld/rigctl (Debian libhamlib-utils) are not installed");
        DummyRigctld rigctld;
        QVERIFY(rigctld.start());
        Desk d;
        radio::RadioSettings r;
        r.rig = *radio::RigForm::parse(rigctld.rig());
        r.ptt.kind = radio::PttForm::Cat;
        d.desk->terminal()->applyRadioSettings(r);
        d.desk->terminal()->transmit();
        QTRY_COMPARE(rigctld.ptt(), std::optional(true));
        d.desk->close();
        QTRY_COMPARE(rigctld.ptt(), std::optional(false));
    }
};

RC_TEST_CLASS(RadioWindowsTest)
#include "tst_radiowindows.moc"
