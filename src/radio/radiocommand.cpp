// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/radiocommand.h"

#include "radio/audioio.h"
#include "radio/radiosettings.h"
#include "radio/rig.h"

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
        if (words.size() != 2 || !ok || hz <= 0 || hz > 1'000'000'000'000LL)
            return rigUsage(QStringLiteral("freq needs a frequency in Hz"));
    } else {
        return rigUsage(verb.isEmpty() ? QString() : QStringLiteral("unknown command \"%1\"").arg(verb));
    }

    HamlibRig rig(*form);
    if (!rig.open(&problem))
        return rigFailed(problem);
    if (pttOn)
        return rig.setPtt(*pttOn, &problem) ? 0 : rigFailed(problem);
    if (hz > 0)
        return rig.setFrequency(hz, &problem) ? 0 : rigFailed(problem);
    const auto freq = rig.frequency(&problem);
    if (!freq)
        return rigFailed(problem);
    const auto mode = rig.mode(&problem);
    if (!mode)
        return rigFailed(problem);
    const auto ptt = rig.ptt(&problem);
    if (!ptt)
        return rigFailed(problem);
    QTextStream(stdout) << "freq " << *freq << "\nmode " << *mode << "\nptt "
                        << (*ptt ? "on" : "off") << "\n";
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
