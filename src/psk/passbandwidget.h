// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;
class QTimer;

namespace rollcall::psk {

class PassbandReader;

// The net browser: one line per signal of the passband, its carrier, the
// last call read on it and its newest text; a click tunes the terminal to it.
class PassbandWidget : public QWidget
{
    Q_OBJECT
public:
    explicit PassbandWidget(PassbandReader *reader, QWidget *parent = nullptr);
    QTreeWidget *list() const { return list_; }
    // How long a quiet channel's line stays dark before it greys.
    static constexpr int kQuietSeconds = 15;

public Q_SLOTS:
    void refresh();

Q_SIGNALS:
    void tuneTo(int hz);

protected:
    void showEvent(QShowEvent *event) override;

private:
    PassbandReader *reader_;
    QTreeWidget *list_;
    QTimer *pending_;
};

} // namespace rollcall::psk
