// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/introwindow.h"

#include "app/placementwidget.h"
#include "app/version.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

namespace rollcall {

IntroWindow::IntroWindow(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("intro"));
    setFixedSize(480, 280);
    m_version = new QLabel(QStringLiteral("Ver: ") + versionText(), this);
    m_version->setObjectName(QStringLiteral("lblVersion"));
    m_version->setStyleSheet(QStringLiteral("color: white; font-size: 14px;"));
    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_version, 0, Qt::AlignRight | Qt::AlignBottom);

    placeOnScreen(this);

    m_timer.setSingleShot(true);
    m_timer.setInterval(kShowMs);
    connect(&m_timer, &QTimer::timeout, this, &IntroWindow::finish);
    m_timer.start();
}

void IntroWindow::mousePressEvent(QMouseEvent *)
{
    finish();
}

void IntroWindow::finish()
{
    if (m_done)
        return;
    m_done = true;
    m_timer.stop();
    Q_EMIT finished();
}

void IntroWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(10, 30, 80));
    sky.setColorAt(1, QColor(20, 90, 150));
    p.fillRect(rect(), sky);

    // A tower sending rings: the net going out on the air.
    const QPointF top(90, 90);
    p.setPen(QPen(QColor(230, 230, 230), 3));
    p.drawLine(top, QPointF(60, 230));
    p.drawLine(top, QPointF(120, 230));
    p.drawLine(QPointF(72, 180), QPointF(108, 180));
    p.drawLine(QPointF(80, 140), QPointF(100, 140));
    p.setPen(QPen(QColor(255, 210, 60), 3));
    for (int r = 20; r <= 60; r += 20)
        p.drawArc(QRectF(top.x() - r, top.y() - r, 2 * r, 2 * r), 30 * 16, 120 * 16);

    p.setPen(Qt::white);
    QFont title = font();
    title.setPointSize(34);
    title.setBold(true);
    p.setFont(title);
    p.drawText(
        QRectF(160, 70, 300, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Rollcall"));
    QFont sub = font();
    sub.setPointSize(12);
    p.setFont(sub);
    p.drawText(QRectF(162, 130, 300, 60), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
        QStringLiteral("Net logging and NTS traffic\nfor the net control station"));
}

} // namespace rollcall
