// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "traffic/trafficlistwindow.h"

namespace rollcall::traffic {

// "oldtraffic": the delivered radiograms; its caption counts them.
class OldTrafficListWindow : public TrafficListWindow
{
    Q_OBJECT
public:
    explicit OldTrafficListWindow(QWidget *parent = nullptr)
        : TrafficListWindow(TrafficList::Delivered, parent)
    {
    }
};

} // namespace rollcall::traffic
