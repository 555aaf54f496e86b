// SPDX-License-Identifier: GPL-3.0-or-later
#include "weather/weatherwindow.h"

#include "traffic/trafficwindows.h"

#include "app/session.h"
#include "store/recordfile.h"
#include "traffic/trafficstore.h"
#include "traffic/trafficwindows.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace rollcall::weather {

namespace {
// Typed text becomes upper case with the caret after the last character.
void upperCaseAlways(QLineEdit *edit)
{
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString &text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            edit->setText(upper);
            edit->setCursorPosition(int(upper.size()));
        }
    });
}
} // namespace

QLineEdit *WeatherWindow::addText(const QString &name)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(name);
    return edit;
}

QComboBox *WeatherWindow::addList(
    const QString &name, const QStringList &items, const QString &initial)
{
    auto *list = new QComboBox(this);
    list->setObjectName(name);
    list->setEditable(true); // the lists take typed text too
    list->setInsertPolicy(QComboBox::NoInsert);
    list->addItems(items);
    list->setEditText(initial);
    return list;
}

WeatherWindow::WeatherWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("nws"));
    setWindowTitle(QStringLiteral("NWS Tactical Message"));

    m_time = addText(QStringLiteral("Text1"));
    m_time->setMaximumWidth(60);
    m_zone = addList(QStringLiteral("List2"), { "EDT", "EST" }, QStringLiteral("EDT"));
    m_observer = addText(QStringLiteral("Observer"));
    m_location = addText(QStringLiteral("location"));
    m_shortField = addText(QStringLiteral("Text10"));
    m_shortField->setMaximumWidth(50);
    m_temperature = addText(QStringLiteral("Temperature"));
    m_unit = addList(QStringLiteral("list1"), { "F", "C" }, QStringLiteral("F"));
    m_sky = addList(QStringLiteral("cmbSkycover"), { "OVERCAST", "BROKEN", "CLEAR" },
        QStringLiteral("OVERCAST"));
    m_windSpeed = addText(QStringLiteral("Windspeed"));
    m_windFrom = addList(
        QStringLiteral("cmbWindfrom"), { "NE", "E", "SE", "S", "SW", "W", "NW", "N" }, QString());
    m_gust = addText(QStringLiteral("Gust"));
    m_windMethod = addList(
        QStringLiteral("cmbWindreporting"), { "ESTIMATED", "MEASURED", "AUTOMATED" }, QString());
    m_pressure = addText(QStringLiteral("Pressure"));
    m_pressureTrend
        = addList(QStringLiteral("cmbPressuremod"), { "FALLING", "RISING", "STEADY" }, QString());
    m_precipType = addList(QStringLiteral("cmbPrecipitationtype"),
        { "RAIN", "THUNDERSTORM", "SNOW", "BLIZZARD", "WHITEOUT", "SNOWSQUAL" },
        QStringLiteral("RAIN"));
    m_precipTotal = addText(QStringLiteral("Preciptotal"));
    m_sendTo = addText(QStringLiteral("sendto"));
    m_signature = addText(QStringLiteral("Text11"));
    // mycall as its 15-character fixed text, blanks and all.
    m_signature->setText(store::fromWindows1252(store::fixedText(session().mycall, 15)));

    for (QLineEdit *e : { m_location, m_observer, m_sendTo, m_shortField, m_signature })
        upperCaseAlways(e);
    for (QComboBox *c : { m_precipType, m_pressureTrend, m_sky, m_windFrom, m_windMethod })
        upperCaseAlways(c->lineEdit());
    m_time->installEventFilter(this);

    auto *grid = new QGridLayout(this);
    int row = 0;
    auto label = [this](const QString &text) { return new QLabel(text, this); };
    auto line = [&](const QString &caption, std::initializer_list<QWidget *> widgets) {
        grid->addWidget(label(caption), row, 0);
        auto *box = new QHBoxLayout;
        for (QWidget *w : widgets)
            box->addWidget(w);
        box->addStretch();
        grid->addLayout(box, row++, 1);
    };
    line(QStringLiteral("Time of Observation:"), { m_time, m_zone });
    line(QStringLiteral("Observer:"), { m_observer });
    line(QStringLiteral("Location:"), { m_location, m_shortField });
    line(QStringLiteral("Temp:"), { m_temperature, m_unit });
    line(QStringLiteral("Sky Cover:"), { m_sky });
    line(QStringLiteral("Winds:"),
        { label(QStringLiteral("Speed:")), m_windSpeed, label(QStringLiteral("From:")), m_windFrom,
            label(QStringLiteral("Gusting:")), m_gust });
    line(QStringLiteral("Reporting Method:"), { m_windMethod });
    line(QStringLiteral("Pressure:"), { m_pressure, m_pressureTrend });
    line(QStringLiteral("Precipitation:"),
        { m_precipType, m_precipTotal, label(QStringLiteral("Total Inches")) });
    line(QStringLiteral("Sending To:"), { m_sendTo });
    line(QStringLiteral("Signature:"), { m_signature });

    auto *ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, row, 0, 1, 2);
    connect(ok, &QPushButton::clicked, this, &WeatherWindow::storeReport);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

bool WeatherWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_time && event->type() == QEvent::FocusIn) {
        m_time->setText(session().clock->now().toString(QStringLiteral("hhmm")));
        // After the line edit's own focus handling, which would drop a selection.
        QTimer::singleShot(0, m_time, [this] { m_time->selectAll(); });
    }
    return QWidget::eventFilter(watched, event);
}

Observation WeatherWindow::observation() const
{
    Observation o;
    o.time = m_time->text();
    o.zone = m_zone->currentText();
    o.observer = m_observer->text();
    o.location = m_location->text();
    o.shortField = m_shortField->text();
    o.temperature = m_temperature->text();
    o.unit = m_unit->currentText();
    o.skyCover = m_sky->currentText();
    o.windFrom = m_windFrom->currentText();
    o.windSpeed = m_windSpeed->text();
    o.gust = m_gust->text();
    o.reportingMethod = m_windMethod->currentText();
    o.pressure = m_pressure->text();
    o.pressureTrend = m_pressureTrend->currentText();
    o.precipitationType = m_precipType->currentText();
    o.precipitationTotal = m_precipTotal->text();
    return o;
}

bool WeatherWindow::storeReport()
{
    const Session &s = session();
    QString error;
    auto store = traffic::TrafficStore::open(s.dbfile(QStringLiteral("Traffic.mdb")), &error);
    WeatherCounter counter(WeatherCounter::pathIn(s.home));
    const Sender sender { s.mycall, m_sendTo->text(), m_signature->text() };
    if (!store
        || !storeWeatherReport(
            *store, counter, observation(), sender, s.clock->now().date(), &error)) {
        // The system itself shows nothing here; a lost report must not pass silently.
        s.prompts->exclamation(windowTitle(), error);
        return false;
    }
    // The traffic panel counts undelivered radiograms from here.
    session().trafficcount = qint16(store->undeliveredCount());
    store.reset();
    traffic::trafficChanged();
    close();
    return true;
}

} // namespace rollcall::weather
