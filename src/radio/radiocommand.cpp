// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/radiocommand.h"

#include "radio/audioio.h"
#include "radio/radiosettings.h"
#include "radio/rig.h"
#include "radio/rigthread.h"

#include <QTextStream>

namespace rollcall::radio {

namespace {

const char *const kRigUsage = "usage: rollcall rig [--rig RIG] status\n"
                              "       rollcall rig [--rig RIG] ptt on|off\n"
                              "       rollcall rig [--rig RIG] freq HZ\n"
                              "       RIG: hamlib:MODEL:DEVICE[:SPEED] or rigctld:HOST:PORT"
                              " (the rig setting when not given)\n";

int rigUsage(const QString &problem = {})
{
    QTextStream err(stderr);
    if (!problem.isEmpty())
        err << "rollcall rig: " << problem << "\n";
    err << kRigUsage;
    return 2;
}

int rigFailed(const QString &message)
{
    QTextStream(stderr) << "rollcall rig: " << message << "\n";
    return 1;
}

} // namespace

int runRigCommand(const QStringList &args)
{
    if (!args.isEmpty() && (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h"))) {
        QTextStream(stdout) << kRigUsage;
        return 0;
    }
    QString rigText;
    QStringList words;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rig")) {
            if (++i >= args.size())
                return rigUsage(QStringLiteral("--rig needs a value"));
            rigText = args[i];
        } else if (args[i].startsWith(QLatin1String("--"))) {
            return rigUsage(QStringLiteral("unknown option %1").arg(args[i]));
        } else {
            words << args[i];
        }
    }
    QString problem;
    const auto form = rigText.isEmpty() ? std::optional(loadRadioSettings().rig)
                                        : RigForm::parse(rigText, &problem);
    if (!form)
        return rigUsage(problem);
    if (form->isNone())
        return rigUsage(QStringLiteral("no rig: give --rig or set the rig in the PSK31 options"));
    const QString verb = words.value(0);
    std::optional<bool> pttOn;
    qint64 hz = 0;
    if (verb == QLatin1String("status")) {
        if (words.size() != 1)
            return rigUsage(QStringLiteral("status takes nothing more"));
    } else if (verb == QLatin1String("ptt")) {
        if (words.size() != 2 || (words[1] != QLatin1String("on") && words[1] != QLatin1String("off")))
            return rigUsage(QStringLiteral("ptt needs on or off"));
        pttOn = words[1] == QLatin1String("on");
    } else if (verb == QLatin1String("freq")) {
        bool ok = false;
        hz = words.value(1).toLongLong(&ok);
        if (words.size() != 2 || !ok || hz < kLowestRigHz || hz > kHighestRigHz)
            return rigUsage(QStringLiteral("freq needs a frequency in Hz, %1 to %2")
                                .arg(kLowestRigHz)
                                .arg(kHighestRigHz));
    } else {
        return rigUsage(verb.isEmpty() ? QString() : QStringLiteral("unknown command \"%1\"").arg(verb));
    }

    // Each call opens the rig when it must and is bounded in time on the
    // rig's own thread: a rig that trickles or floods its answers cannot hold
    // the command up.
    RigThread rig(*form);
    if (pttOn) {
        const RigAnswer a = rig.callAndWait(RigThread::SetPtt, *pttOn ? 1 : 0);
        return a.ok ? 0 : rigFailed(a.error);
    }
    if (hz > 0) {
        const RigAnswer a = rig.callAndWait(RigThread::SetFrequency, hz);
        return a.ok ? 0 : rigFailed(a.error);
    }
    const RigAnswer a = rig.callAndWait(RigThread::Status);
    if (!a.ok)
        return rigFailed(a.error);
    QTextStream out(stdout);
    out << "freq " << *a.hz << "\nmode " << *a.mode << "\n";
    out.flush();
    // Asked on its own: what the rig gave is printed even when its PTT is not.
    const RigAnswer p = rig.callAndWait(RigThread::Ptt);
    if (p.ok)
        out << "ptt " << (*p.ptt ? "on" : "off") << "\n";
    else if (p.pttUnreadable)
        out << "ptt unknown\n";
    else
        return rigFailed(p.error);
    return 0;
}

int runAudioCommand(const QStringList &args)
{
    if (args != QStringList { QStringLiteral("devices") }) {
        QTextStream(stderr) << "usage: rollcall audio devices\n";
        return args.value(0) == QLatin1String("--help") ? 0 : 2;
    }
    QTextStream out(stdout);
    for (const QString &line : QtAudioIo::deviceLines())
        out << line << "\n";
    return 0;
}

} // namespace rollcall::radio
