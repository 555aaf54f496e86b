// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "psk/spectrum.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <vector>

namespace rollcall::psk {

// Spectrum over time of the receive audio across the passband, newest line
// at the top, the receive (red) and transmit (yellow) frequencies marked. A
// click picks the frequency under the mouse.
class WaterfallWidget : public QWidget
{
    Q_OBJECT
public:
    explicit WaterfallWidget(QWidget *parent = nullptr);

    Spectrum &spectrum() { return spectrum_; }
    void setFrequencyRange(int lowHz, int highHz);
    void setMarkers(int rxHz, int txHz);
    // Lines per second (10 by default); 0 stops the display.
    void setLineRate(int perSecond);
    // One line now (the timer calls it).
    void addLine();
    int frequencyAt(int x) const;
    int xOf(int hz) const;
    const QImage &image() const { return image_; }

    QSize sizeHint() const override { return { 600, 130 }; }

Q_SIGNALS:
    void frequencyClicked(int hz);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    Spectrum spectrum_;
    QImage image_;
    QTimer timer_;
    std::vector<unsigned char> line_;
    int low_ = 0;
    int high_ = 3000;
    int rx_ = 1500;
    int tx_ = 1500;
};

} // namespace rollcall::psk
