// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/pskoptionsdialog.h"

#include "app/session.h"
#include "psk/pskdeskwindow.h"
#include "psk/pskmodem.h"
#include "psk/psksettings.h"
#include "radio/radiocheck.h"
#include "radio/radiosettings.h"
#include "radio/rig.h"
#include "psk/pskterminal.h"
#include "psk/pskwindows.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCompleter>
#include <QSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace rollcall::psk {

namespace {
const char *const kSquelchTip
    = "The SquelchThreshold collection item accepts values in the range of 0 to 99. A value of 0 "
      "will decode PSK31 data regardless of the signal level (Open Squelch). The default "
      "SquelchThreshold setting is 50.";
const char *const kSpeedTip
    = "0= Fast (uses a fixed value for fast filtering)  1=Slow (uses a fixed value for slow "
      "filtering) 10-200=User selectable response speed. 10 is fastest and 200 is slowest.";
const char *const kAfcTip
    = "0=AFC operation is disabled 1-1000=Sets the AFC to this range in Hertz. The PSK center "
      "frequency will be bounded +/- this limit. 3000=\"Fast Mode\" AFC for tracking doppler "
      "shifting signals.";

class SelectAllUpper : public QObject
{
public:
    SelectAllUpper(QObject *parent, bool upper) : QObject(parent), upper_(upper) { }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *edit = qobject_cast<QLineEdit *>(watched);
        if (edit && event->type() == QEvent::FocusIn)
            QTimer::singleShot(0, edit, &QLineEdit::selectAll);
        if (edit && upper_ && event->type() == QEvent::FocusOut)
            edit->setText(edit->text().toUpper());
        return false;
    }

private:
    bool upper_;
};
} // namespace

PskOptionsDialog::PskOptionsDialog(PskTerminal *terminal, QWidget *parent)
    : QDialog(parent), terminal_(terminal)
{
    setObjectName(QStringLiteral("pskOptions"));
    setWindowTitle(QStringLiteral("Preferences"));
    auto *form = new QFormLayout;
    const char *captions[]
        = { "My Callsign:", "My Tactical:", "Group1:", "Group2:", "Group3:", "Group4:", "Group5:" };
    for (int i = 0; i < 7; ++i) {
        texts_[std::size_t(i)] = new QLineEdit(this);
        texts_[std::size_t(i)]->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        texts_[std::size_t(i)]->setMaxLength(PskSettings::kCallWidth);
        texts_[std::size_t(i)]->installEventFilter(new SelectAllUpper(this, true));
        form->addRow(QString::fromUtf8(captions[i]), texts_[std::size_t(i)]);
    }
    const auto number = [&](const char *name, const char *caption, const char *tip) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setToolTip(QString::fromUtf8(tip));
        e->installEventFilter(new SelectAllUpper(this, false));
        form->addRow(QString::fromUtf8(caption), e);
        return e;
    };
    squelch_ = number("Text8", "Squelch:", kSquelchTip);
    speed_ = number("Text9", "Sq. Speed", kSpeedTip);
    afc_ = number("Text10", "AFC Limit", kAfcTip);

    auto *modeBox = new QGroupBox(QStringLiteral("Mode"), this);
    auto *modeLayout = new QVBoxLayout(modeBox);
    bpsk_ = new QRadioButton(QStringLiteral("BPSK31"), modeBox);
    bpsk_->setObjectName(QStringLiteral("Option1"));
    qpsk_ = new QRadioButton(QStringLiteral("QPSK63"), modeBox);
    qpsk_->setObjectName(QStringLiteral("Option2"));
    modeLayout->addWidget(bpsk_);
    modeLayout->addWidget(qpsk_);

    auto *portBox = new QGroupBox(QStringLiteral("PTT PORT"), this);
    auto *portLayout = new QVBoxLayout(portBox);
    const char *portNames[] = { "Option11", "Option3", "Option4", "Option5", "Option6" };
    const char *portCaptions[] = { "None", "COM1", "COM2", "COM3", "COM4" };
    for (int i = 0; i < 5; ++i) {
        ports_[std::size_t(i)] = new QRadioButton(QString::fromUtf8(portCaptions[i]), portBox);
        ports_[std::size_t(i)]->setObjectName(QLatin1String(portNames[i]));
        portLayout->addWidget(ports_[std::size_t(i)]);
    }
    // The COM number stays in pskdesk.ini; the Linux device it stands for is
    // kept in the settings store.
    device_ = new QComboBox(portBox);
    device_->setObjectName(QStringLiteral("pttDevice"));
    device_->setEditable(true);
    device_->setToolTip(tr("The serial device of the chosen COM port, e.g. /dev/ttyUSB0."));
    for (const QSerialPortInfo &p : QSerialPortInfo::availablePorts())
        device_->addItem(p.systemLocation());
    portLayout->addWidget(new QLabel(tr("Device:"), portBox));
    portLayout->addWidget(device_);
    auto *portGroup = new QButtonGroup(portBox);
    for (int i = 0; i < 5; ++i) {
        portGroup->addButton(ports_[std::size_t(i)], i);
        connect(ports_[std::size_t(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            device_->setEnabled(i > 0);
            // One PTT choice: a COM port, or the PTT entry below.
            if (on && i > 0) {
                device_->setEditText(PskModem::comPortDevice(i));
                if (ptt_ && !filling_)
                    ptt_->setText(QStringLiteral("none"));
            }
        });
    }

    auto *lineBox = new QGroupBox(QStringLiteral("PTT CONTROL"), this);
    auto *lineLayout = new QVBoxLayout(lineBox);
    const char *lineNames[] = { "Option7", "Option8", "Option9", "Option10" };
    const char *lineCaptions[] = { "NONE", "RTS&&DTR", "RTS", "DTR" };
    for (int i = 0; i < 4; ++i) {
        lines_[std::size_t(i)] = new QRadioButton(QString::fromUtf8(lineCaptions[i]), lineBox);
        lines_[std::size_t(i)]->setObjectName(QLatin1String(lineNames[i]));
        lineLayout->addWidget(lines_[std::size_t(i)]);
    }

    dock_ = new QCheckBox(QStringLiteral("Dock Net Window"), this);
    dock_->setObjectName(QStringLiteral("Check1"));
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("Command1"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, [this] {
        if (closeDialog())
            QDialog::close();
    });

    auto *radioBox = new QGroupBox(tr("Radio and sound"), this);
    auto *radioForm = new QFormLayout(radioBox);
    rig_ = new QLineEdit(radioBox);
    rig_->setObjectName(QStringLiteral("rig"));
    rig_->setPlaceholderText(QStringLiteral("none, hamlib:MODEL:DEVICE[:SPEED], rigctld:HOST:PORT"));
    rig_->setToolTip(tr("The rig whose dial is read and which PTT by CAT keys: none; a hamlib "
                        "model number with its serial device and speed; or a rigctld shared "
                        "with other programs (rigctld:localhost:4532)."));
    rigModel_ = new QComboBox(radioBox);
    rigModel_->setObjectName(QStringLiteral("rigModel"));
    rigModel_->setEditable(true);
    rigModel_->setInsertPolicy(QComboBox::NoInsert);
    rigModel_->addItem(QString());
    for (const radio::RigModel &m : radio::hamlibModels())
        rigModel_->addItem(QStringLiteral("%1  %2").arg(m.number).arg(m.name), m.number);
    rigModel_->completer()->setFilterMode(Qt::MatchContains);
    rigModel_->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    rigModel_->setToolTip(tr("Type part of the radio's name; the model number goes into the rig "
                             "setting."));
    connect(rigModel_, &QComboBox::activated, this, [this](int index) {
        const int model = rigModel_->itemData(index).toInt();
        if (model <= 0)
            return;
        const auto now = radio::RigForm::parse(rig_->text());
        // A rigctld, or an entry that is not a rig form, is the operator's:
        // the model list fills in a hamlib rig only.
        if (!now || (now->kind != radio::RigForm::Hamlib && !now->isNone())) {
            showRadioResult(tr("The model list fills in a hamlib rig; the rig entry "
                                     "\"%1\" was kept.")
                                      .arg(rig_->text()));
            return;
        }
        radio::RigForm form;
        form.kind = radio::RigForm::Hamlib;
        form.model = model;
        form.device = now && now->kind == radio::RigForm::Hamlib ? now->device : QStringLiteral("/dev/ttyUSB0");
        form.speed = now && now->kind == radio::RigForm::Hamlib ? now->speed : 0;
        rig_->setText(form.toString());
    });
    ptt_ = new QLineEdit(radioBox);
    ptt_->setObjectName(QStringLiteral("ptt"));
    ptt_->setPlaceholderText(QStringLiteral("none, cat, rts:DEVICE, dtr:DEVICE, rtsdtr:DEVICE"));
    ptt_->setToolTip(tr("none keeps the PTT PORT and PTT CONTROL choice (or the radio's "
                        "VOX); cat keys through the rig; rts:, dtr: or rtsdtr: a serial line. "
                        "Choosing a COM port sets none here; anything but none here sets the "
                        "PTT PORT to None."));
    connect(ptt_, &QLineEdit::textEdited, this, [this](const QString &text) {
        const auto form = radio::PttForm::parse(text);
        if (form && form->kind != radio::PttForm::None)
            ports_[0]->setChecked(true);
    });
    timeout_ = new QSpinBox(radioBox);
    timeout_->setObjectName(QStringLiteral("transmitTimeout"));
    timeout_->setRange(0, radio::RadioSettings::kLongestTimeoutSeconds);
    timeout_->setSuffix(tr(" s"));
    timeout_->setSpecialValueText(tr("never"));
    timeout_->setToolTip(tr("The longest a transmission may last; then PTT is dropped."));
    level_ = new QSpinBox(radioBox);
    level_->setObjectName(QStringLiteral("transmitLevel"));
    level_->setRange(0, 100);
    level_->setSuffix(QStringLiteral(" %"));
    level_->setToolTip(tr("Scales everything sent, the Audio button's tones included."));
    input_ = new QComboBox(radioBox);
    input_->setObjectName(QStringLiteral("inputDevice"));
    output_ = new QComboBox(radioBox);
    output_->setObjectName(QStringLiteral("outputDevice"));
    radioForm->addRow(tr("Rig:"), rig_);
    radioForm->addRow(tr("Hamlib model:"), rigModel_);
    radioForm->addRow(tr("PTT:"), ptt_);
    radioForm->addRow(tr("Transmit time-out:"), timeout_);
    radioForm->addRow(tr("Transmit level:"), level_);
    radioForm->addRow(tr("Sound input:"), input_);
    radioForm->addRow(tr("Sound output:"), output_);
    testCat_ = new QPushButton(tr("Test C&AT"), radioBox); // Alt+C is Close
    testCat_->setObjectName(QStringLiteral("testCat"));
    testCat_->setToolTip(tr("Reads the dial and mode of the rig entered above."));
    testCat_->setAutoDefault(false);
    testPtt_ = new QPushButton(tr("Test &PTT"), radioBox);
    testPtt_->setObjectName(QStringLiteral("testPtt"));
    testPtt_->setToolTip(tr("Keys the transmitter for a second with the PTT entered above, "
                            "reads it back where the rig can tell, and releases it."));
    testPtt_->setAutoDefault(false);
    auto *tests = new QHBoxLayout;
    tests->addWidget(testCat_);
    tests->addWidget(testPtt_);
    tests->addStretch(1);
    radioForm->addRow(tests);
    radioResult_ = new QLabel(radioBox);
    radioResult_->setObjectName(QStringLiteral("radioResult"));
    radioResult_->setWordWrap(true);
    radioResult_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A result of two lines shows whole without moving what is below.
    radioResult_->setMinimumHeight(2 * fontMetrics().lineSpacing());
    radioForm->addRow(radioResult_);
    check_ = new radio::RadioCheck(this);
    connect(check_, &radio::RadioCheck::progress, this, &PskOptionsDialog::showRadioResult);
    connect(check_, &radio::RadioCheck::finished, this, [this](bool, const QString &result) {
        showRadioResult(result);
        testCat_->setEnabled(true);
        testPtt_->setEnabled(true);
    });
    connect(testCat_, &QPushButton::clicked, this, [this] { testRadio(false); });
    connect(testPtt_, &QPushButton::clicked, this, [this] { testRadio(true); });
    connect(rig_, &QLineEdit::editingFinished, this, &PskOptionsDialog::checkRadioEntry);
    connect(ptt_, &QLineEdit::editingFinished, this, &PskOptionsDialog::checkRadioEntry);

    // Lists of models and devices hold long names: the boxes do not grow to them.
    for (QComboBox *box : { rigModel_, input_, output_ }) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(24);
    }

    // A callsign or group name shows whole (up to 16 characters).
    const int fieldWidth = fontMetrics().horizontalAdvance(QString(PskSettings::kCallWidth, u'W'));
    for (QLineEdit *e : texts_)
        e->setMinimumWidth(fieldWidth);
    for (QLineEdit *e : { squelch_, speed_, afc_ })
        e->setMinimumWidth(fieldWidth / 2);

    // Side by side, so the whole dialog fits a 1024x768 screen.
    auto *top = new QHBoxLayout;
    top->addLayout(form, 1);
    top->addWidget(radioBox, 1, Qt::AlignTop);
    auto *groups = new QHBoxLayout;
    groups->addWidget(modeBox);
    groups->addWidget(portBox);
    groups->addWidget(lineBox);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(dock_);
    bottom->addStretch(1);
    bottom->addWidget(close);
    auto *column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addLayout(groups);
    column->addLayout(bottom);
}

PskTerminal *PskOptionsDialog::terminal() const
{
    return terminal_ ? terminal_ : pskTerminal();
}

void PskOptionsDialog::showEvent(QShowEvent *event)
{
    fill();
    QDialog::showEvent(event);
}

void PskOptionsDialog::fill()
{
    PskSettings &s = pskSettings();
    loadPskSettings(s);
    (s.mode != 0 ? qpsk_ : bpsk_)->setChecked(true);
    const QString values[] = { s.myCallsign, s.myTactical, s.groups[0], s.groups[1], s.groups[2],
        s.groups[3], s.groups[4] };
    for (int i = 0; i < 7; ++i)
        texts_[std::size_t(i)]->setText(PskSettings::trimmed(values[i]));
    squelch_->setText(QString::number(s.squelch));
    speed_->setText(QString::number(s.squelchSpeed));
    afc_->setText(QString::number(s.afcLimit));
    lines_[0]->setChecked(true);
    if (s.pttControl >= 1 && s.pttControl <= 3)
        lines_[std::size_t(s.pttControl)]->setChecked(true);
    filling_ = true;
    ports_[0]->setChecked(true);
    device_->setEnabled(false);
    // A PTT of the radio settings other than none wins over the COM port.
    if (s.pttPort >= 1 && s.pttPort <= 4
        && radio::loadRadioSettings().ptt.kind == radio::PttForm::None)
        ports_[std::size_t(s.pttPort)]->setChecked(true);
    filling_ = false;
    dock_->setChecked(s.dockNetWindow == 1);

    const radio::RadioSettings radio = radio::loadRadioSettings();
    toldRig_.clear();
    toldPtt_.clear();
    QStringList last;
    if (const QString cat = radio::RadioCheck::lastCatResult(); !cat.isEmpty())
        last << tr("Last CAT test %1").arg(cat);
    if (const QString ptt = radio::RadioCheck::lastPttResult(); !ptt.isEmpty())
        last << tr("Last PTT test %1").arg(ptt);
    if (!check_->busy())
        showRadioResult(last.join(u'\n'));
    rig_->setText(radio.rig.toString());
    rigModel_->setCurrentIndex(
        radio.rig.kind == radio::RigForm::Hamlib ? std::max(0, rigModel_->findData(radio.rig.model)) : 0);
    ptt_->setText(radio.ptt.toString());
    timeout_->setValue(radio.transmitTimeoutSeconds);
    level_->setValue(radio.transmitLevel);
    // The system's default first; a chosen device that is not there now stays
    // listed, so that saving keeps the choice. A choice is kept by id, or by
    // description as older settings have it; either finds its device here.
    const auto fillDevices = [](QComboBox *box, const QList<radio::QtAudioIo::Device> &devices,
                                 const QString &chosen) {
        box->clear();
        box->addItem(tr("System default"), QString());
        for (const radio::QtAudioIo::Device &d : devices) {
            const bool shared = std::count_if(devices.begin(), devices.end(),
                                    [&](const auto &o) { return o.description == d.description; })
                > 1;
            box->addItem(shared ? QStringLiteral("%1 (%2)").arg(d.description, d.id) : d.description,
                d.id);
        }
        int at = chosen.isEmpty() ? 0 : box->findData(chosen);
        if (at < 0 && !chosen.isEmpty()) {
            if (const auto named = std::find_if(devices.begin(), devices.end(),
                    [&](const auto &d) { return d.description == chosen; });
                named != devices.end()) {
                at = box->findData(named->id);
                box->setItemData(at, chosen);
            }
        }
        if (at < 0) {
            box->addItem(tr("%1 (not there now)").arg(chosen), chosen);
            at = box->count() - 1;
        }
        box->setCurrentIndex(at);
    };
    fillDevices(input_, PskModem::inputDevices(), radio.inputDevice);
    fillDevices(output_, PskModem::outputDevices(), radio.outputDevice);
}

QString PskOptionsDialog::radioEntryProblem(QLineEdit **field) const
{
    QString problem;
    const auto rig = radio::RigForm::parse(rig_->text(), &problem);
    if (!rig) {
        *field = rig_;
        return problem;
    }
    const auto ptt = radio::PttForm::parse(ptt_->text(), &problem);
    *field = ptt_;
    if (!ptt)
        return problem;
    if (ptt->kind == radio::PttForm::Cat && rig->isNone())
        return tr("PTT by CAT needs a rig.");
    return {};
}

// A longer result lengthens the dialog, which does not grow by itself once
// shown: the label wraps to the width it has.
void PskOptionsDialog::showRadioResult(const QString &text)
{
    radioResult_->setText(text);
    if (!isVisible())
        return;
    layout()->activate();
    const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width())
                                                     : layout()->totalSizeHint().height();
    if (needed > height())
        resize(width(), needed);
}

void PskOptionsDialog::tellEntryProblem(QLineEdit *field, const QString &problem)
{
    showRadioResult(problem);
    QString &told = field == rig_ ? toldRig_ : toldPtt_;
    const QString entry = rig_->text() + u'\n' + ptt_->text();
    if (told == entry)
        return;
    told = entry;
    session().prompts->exclamation(QStringLiteral("Preferences"), problem);
}

void PskOptionsDialog::checkRadioEntry()
{
    QLineEdit *wrong = nullptr;
    const QString problem = radioEntryProblem(&wrong);
    if (problem.isEmpty()) {
        toldRig_.clear();
        toldPtt_.clear();
        return;
    }
    // Told for the field being left only: a PTT of cat waits for its rig.
    if (wrong == sender())
        tellEntryProblem(wrong, problem);
}

void PskOptionsDialog::testRadio(bool ptt)
{
    QLineEdit *wrong = nullptr;
    if (const QString problem = radioEntryProblem(&wrong); !problem.isEmpty()
        && (ptt || wrong == rig_)) {
        tellEntryProblem(wrong, problem);
        return;
    }
    testCat_->setEnabled(false);
    testPtt_->setEnabled(false);
    const auto rig = radio::RigForm::parse(rig_->text());
    if (ptt)
        check_->testPtt(*rig, *radio::PttForm::parse(ptt_->text()));
    else
        check_->testCat(*rig);
}

bool PskOptionsDialog::closeDialog()
{
    bool whole = false;
    const int afc = afc_->text().trimmed().toInt(&whole);
    if (!whole || !PskSettings::validAfcLimit(afc)) {
        session().prompts->exclamation(QStringLiteral("Preferences"),
            tr("The AFC limit must be a whole number: 0 (off), 1 to 1000 Hz, or 3000 (fast "
               "mode)."));
        afc_->setFocus();
        return false;
    }
    QLineEdit *wrong = nullptr;
    if (const QString problem = radioEntryProblem(&wrong); !problem.isEmpty()) {
        tellEntryProblem(wrong, problem);
        wrong->setFocus();
        return false;
    }
    const auto rig = radio::RigForm::parse(rig_->text());
    const auto ptt = radio::PttForm::parse(ptt_->text());
    PskSettings &s = pskSettings();
    PskTerminal *t = terminal();
    radio::RadioSettings radio = radio::loadRadioSettings();
    const bool devicesChanged = radio.inputDevice != input_->currentData().toString()
        || radio.outputDevice != output_->currentData().toString();
    radio.rig = *rig;
    radio.ptt = *ptt;
    radio.transmitTimeoutSeconds = timeout_->value();
    radio.transmitLevel = level_->value();
    radio.inputDevice = input_->currentData().toString();
    radio.outputDevice = output_->currentData().toString();
    radio::saveRadioSettings(radio);
    if (bpsk_->isChecked())
        s.mode = 0;
    else if (qpsk_->isChecked())
        s.mode = 9;
    int port = 0, line = 0;
    for (int i = 0; i < 5; ++i)
        if (ports_[std::size_t(i)]->isChecked())
            port = i;
    for (int i = 0; i < 4; ++i)
        if (lines_[std::size_t(i)]->isChecked())
            line = i;
    // One PTT choice: the PTT entry, when it is not none, stands for it.
    if (ptt->kind != radio::PttForm::None)
        port = 0;
    s.dockNetWindow = dock_->isChecked() ? 1 : 0;
    if (port > 0 && !device_->currentText().trimmed().isEmpty()) {
        QSettings store(radio::programSettingsPath(), QSettings::IniFormat);
        store.setValue(
            QStringLiteral("PskModem/com%1").arg(port), device_->currentText().trimmed());
    }
    t->modem()->SetPtt(port, line);
    QString *fields[] = { &s.myCallsign, &s.myTactical, &s.groups[0], &s.groups[1], &s.groups[2],
        &s.groups[3], &s.groups[4] };
    for (int i = 0; i < 7; ++i)
        *fields[i] = texts_[std::size_t(i)]->text().toUpper().left(PskSettings::kCallWidth);
    s.squelch = qint16(qBound(0, int(leadingNumber(squelch_->text())), 99));
    const int speed = leadingNumber(speed_->text());
    s.squelchSpeed = qint16(PskSettings::validSquelchSpeed(speed) ? speed : qBound(10, speed, 200));
    s.afcLimit = qint16(afc);
    s.pttPort = qint16(port);
    s.pttControl = qint16(line);
    t->modem()->setSquelchThreshold(s.squelch);
    QString error;
    if (!savePskSettings(s, pskSettingsPath(), &error))
        session().prompts->exclamation(
            QStringLiteral("Preferences"), tr("The settings could not be saved: %1").arg(error));
    // Reading back applies mode, squelch, AFC and docking.
    loadPskSettings(s);
    t->applySettings();
    t->applyRadioSettings(radio);
    // Recordings played as the receive audio stay until stopped.
    if (devicesChanged && qobject_cast<radio::QtAudioIo *>(t->modem()->audio()))
        t->modem()->setAudioDevices(radio.inputDevice, radio.outputDevice);
    if (auto *desk = qobject_cast<PskDeskWindow *>(parentWidget()))
        desk->layoutTick();
    return true;
}

} // namespace rollcall::psk
