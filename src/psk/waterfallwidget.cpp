// SPDX-License-Identifier: GPL-3.0-or-later
#include "psk/waterfallwidget.h"

#include <QMouseEvent>
#include <QPainter>

#include <cstring>

namespace rollcall::psk {

namespace {
// Dark blue through cyan and yellow to white: weak signals stay visible.
QList<QRgb> heatColours()
{
    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i) {
        const double v = i / 255.0;
        const int r = int(255 * std::clamp((v - 0.45) * 2.5, 0.0, 1.0));
        const int g = int(255 * std::clamp((v - 0.2) * 2.0, 0.0, 1.0));
        const int b
            = int(255 * std::clamp(0.25 + v * 1.5 - std::max(0.0, v - 0.6) * 2.0, 0.0, 1.0));
        table[i] = qRgb(r, g, std::max(b, r > 250 ? 255 : b));
    }
    return table;
}
} // namespace

WaterfallWidget::WaterfallWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("waterfall"));
    setMinimumHeight(100);
    setCursor(Qt::CrossCursor);
    setToolTip(tr("Click a signal to receive and transmit on its frequency."));
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &WaterfallWidget::addLine);
    timer_.start();
}

void WaterfallWidget::setFrequencyRange(int lowHz, int highHz)
{
    if (highHz <= lowHz)
        return;
    low_ = lowHz;
    high_ = highHz;
    update();
}

void WaterfallWidget::setMarkers(int rxHz, int txHz)
{
    if (rxHz == rx_ && txHz == tx_)
        return;
    rx_ = rxHz;
    tx_ = txHz;
    update();
}

void WaterfallWidget::setLineRate(int perSecond)
{
    if (perSecond <= 0) {
        timer_.stop();
        return;
    }
    timer_.start(1000 / perSecond);
}

int WaterfallWidget::frequencyAt(int x) const
{
    return low_ + int(qint64(high_ - low_) * x / std::max(1, width()));
}

int WaterfallWidget::xOf(int hz) const
{
    return int(qint64(hz - low_) * width() / std::max(1, high_ - low_));
}

void WaterfallWidget::resizeEvent(QResizeEvent *)
{
    QImage fresh(std::max(1, width()), std::max(1, height()), QImage::Format_Indexed8);
    fresh.setColorTable(heatColours());
    fresh.fill(0);
    image_ = fresh;
}

void WaterfallWidget::addLine()
{
    if (image_.isNull() || !isVisible())
        return;
    spectrum_.line(low_, high_, image_.width(), line_);
    // Scroll down one line: the newest is on top.
    const qsizetype stride = image_.bytesPerLine();
    uchar *bits = image_.bits();
    std::memmove(bits + stride, bits, std::size_t(stride * (image_.height() - 1)));
    std::memcpy(bits, line_.data(), line_.size());
    update();
}

void WaterfallWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, image_);
    const auto mark = [&](int hz, QColor colour, int top) {
        const int x = xOf(hz);
        p.setPen(QPen(colour, 1, Qt::DashLine));
        p.drawLine(x, 0, x, height());
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        const QPoint tri[3] = { { x - 5, top }, { x + 5, top }, { x, top + 7 } };
        p.drawPolygon(tri, 3);
    };
    mark(tx_, QColor(255, 220, 0), 0);
    mark(rx_, QColor(255, 40, 40), 0);
    // Scale: every 500 Hz.
    p.setPen(QColor(200, 200, 200));
    QFont f = font();
    f.setPointSizeF(std::max(6.0, f.pointSizeF() - 2));
    p.setFont(f);
    for (int hz = (low_ + 499) / 500 * 500; hz <= high_; hz += 500) {
        const int x = xOf(hz);
        p.drawLine(x, height() - 4, x, height());
        p.drawText(x + 2, height() - 3, QString::number(hz));
    }
}

void WaterfallWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT frequencyClicked(frequencyAt(int(event->position().x())));
}

} // namespace rollcall::psk
