// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "modem/modes.h"
#include "modemsignal.h"
#include "netlog/netwindow.h"
#include "noptt.h"
#include "radio/audioio.h"
#include "psk/nettags.h"
#include "psk/pskdeskwindow.h"
#include "psk/pskmodem.h"
#include "psk/pskterminal.h"
#include "windowfixture.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

namespace rollcall::test {

// The NCS's PSK_Desk hears what the member station sends: a pump moves the
// member's transmitted audio into the NCS's receive audio as it is written.
// The NCS's PTT line records every key-up and key-down in `keyed`.
struct BackToBack
{
    radio::MemoryAudioIo *ncsAudio = nullptr;
    radio::MemoryAudioIo *memberAudio = nullptr;
    psk::NetLists memberLists;
    std::unique_ptr<psk::PskTerminal> member;
    NoPtt::Log keyed = std::make_shared<std::vector<bool>>();
    QTimer pump;
    std::size_t moved = 0;

    BackToBack()
    {
        psk::setTerminalAudioFactory([this] {
            auto a = std::make_unique<radio::MemoryAudioIo>();
            ncsAudio = a.get();
            return a;
        });
        psk::setTerminalPttFactory([this] { return std::make_unique<NoPtt>(keyed); });
        auto a = std::make_unique<radio::MemoryAudioIo>();
        memberAudio = a.get();
        member = std::make_unique<psk::PskTerminal>(
            std::move(a), std::make_unique<NoPtt>(), &memberLists);
        member->modem()->setTxFrequency(1508);
        pump.setInterval(5);
        QObject::connect(&pump, &QTimer::timeout, [this] {
            const auto &w = memberAudio->written();
            if (ncsAudio && w.size() > moved) {
                ncsAudio->feed(std::vector<float>(w.begin() + long(moved), w.end()));
                moved = w.size();
            }
        });
        pump.start();
    }
    ~BackToBack()
    {
        psk::setTerminalAudioFactory({});
        psk::setTerminalPttFactory({});
    }
    // The member's transmission is over and the NCS has heard all of it.
    void settle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!member->modem()->isTransmitting(), 10000);
        ncsAudio->feed(std::vector<float>(16000, 0.0f)); // flushes the decoder
        QTest::qWait(300);
    }
};

// A new net made and shown in the net window.
inline NetWindow *openNet(WindowFixture &f)
{
    session().netpath
        = createNetFolder(f.home.nets(), QStringLiteral("PSK Net"), f.home.dbfiles()).netpath;
    auto *net = windows().window<NetWindow>(QStringLiteral("rollcall"));
    net->show();
    return net;
}

template<class T> T *child(QWidget *w, const char *name)
{
    return w ? w->findChild<T *>(QLatin1String(name)) : nullptr;
}

// The terminal shown, with its companions, on in-memory audio.
struct Desk
{
    WindowFixture f;
    BackToBack link;
    psk::PskDeskWindow *desk = nullptr;

    Desk()
    {
        desk = windows().window<psk::PskDeskWindow>(QStringLiteral("PSK_Desk"));
        desk->show();
    }
    psk::PskModem *modem() const { return desk->terminal()->modem(); }
    QPlainTextEdit *typing() const { return child<QPlainTextEdit>(desk, "Text1"); }
    QPushButton *button(const char *name) const { return child<QPushButton>(desk, name); }
    // Everything sent since the last call, once the transmitter is back on receive.
    QByteArray onAir(int mode)
    {
        if (!QTest::qWaitFor([this] { return !modem()->isTransmitting(); }, 10000))
            return "(still transmitting)";
        const std::string text
            = demodulate(mode == 0 ? modem::bpsk31() : modem::qpsk63(), link.ncsAudio->written());
        link.ncsAudio->clearWritten();
        return QByteArray::fromStdString(text);
    }
};

// What a right click showed: the items of the pop-up menu, and whether the
// wanted one was there and chosen.
struct PopUp
{
    bool appeared = false;
    bool picked = false;
    QStringList items;
};

// Right-clicks `target` at `at` as the operator does (the button goes down,
// the context-menu event follows) and clicks the item `item` in the menu
// that pops up. A menu without that item is closed unpicked.
inline PopUp rightClickAndPick(QWidget *target, QPoint at, const QString &item)
{
    PopUp seen;
    QTimer chooser;
    chooser.setSingleShot(true);
    chooser.setInterval(0);
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        seen.appeared = true;
        QAction *wanted = nullptr;
        for (QAction *a : menu->actions()) {
            seen.items << a->text();
            if (a->text() == item && a->isEnabled() && a->isVisible())
                wanted = a;
        }
        if (!wanted) {
            menu->close();
            return;
        }
        seen.picked = true;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(wanted).center());
    });
    chooser.start();
    QTest::mousePress(target, Qt::RightButton, {}, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
    QTest::mouseRelease(target, Qt::RightButton, {}, at);
    // A slot that waits for a transmission may still be running its own loop.
    QApplication::processEvents();
    return seen;
}

} // namespace rollcall::test
