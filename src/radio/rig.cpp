// SPDX-License-Identifier: GPL-3.0-or-later
#include "radio/rig.h"

#include "radio/rigthread.h"

#include <hamlib/rig.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include <sys/socket.h>

namespace rollcall::radio {

namespace {

QString hamlibError(int code)
{
    // rigerror() carries hamlib's whole debug log with it; rigerror2() only the message.
    return QString::fromLocal8Bit(rigerror2(code)).trimmed();
}

bool setConf(RIG *rig, const char *name, const QByteArray &value)
{
    const token_t token = rig_token_lookup(rig, name);
    return token != RIG_CONF_END && rig_set_conf(rig, token, value.constData()) == RIG_OK;
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

struct HamlibRig::Handle
{
    RIG *rig = nullptr;
    bool open = false;
    // For interrupt(), which must not wait for the mutex a stuck call holds.
    std::atomic<RIG *> reachable { nullptr };
};

HamlibRig::HamlibRig(const RigForm &form) : form_(form), h_(std::make_unique<Handle>())
{
    // hamlib writes its chatter to standard error unless told not to.
    static const bool quiet = [] {
        rig_set_debug(RIG_DEBUG_NONE);
        return true;
    }();
    Q_UNUSED(quiet);
}

HamlibRig::~HamlibRig()
{
    close();
}

bool HamlibRig::open(QString *error)
{
    std::lock_guard lock(mutex_);
    if (h_->open)
        return true;
    if (!h_->rig) {
        const rig_model_t model
            = form_.kind == RigForm::Rigctld ? RigForm::kNetRigctlModel : rig_model_t(form_.model);
        h_->rig = rig_init(model);
        if (!h_->rig)
            return fail(error, QStringLiteral("hamlib has no rig model %1").arg(model));
        const QByteArray path = form_.kind == RigForm::Rigctld
            ? (form_.host.contains(u':') ? u'[' + form_.host + u']' : form_.host).toUtf8() + ':'
                + QByteArray::number(form_.port)
            : form_.device.toLocal8Bit();
        setConf(h_->rig, "rig_pathname", path);
        if (form_.speed > 0)
            setConf(h_->rig, "serial_speed", QByteArray::number(form_.speed));
        setConf(h_->rig, "timeout", QByteArray::number(kAnswerTimeoutMs));
        setConf(h_->rig, "retry", "0");
        h_->reachable = h_->rig;
    }
    const int rc = rig_open(h_->rig);
    if (rc != RIG_OK)
        return fail(error, QStringLiteral("%1 cannot be opened: %2").arg(name(), hamlibError(rc)));
    h_->open = true;
    return true;
}

void HamlibRig::close()
{
    std::lock_guard lock(mutex_);
    h_->reachable = nullptr;
    if (h_->rig) {
        if (h_->open)
            rig_close(h_->rig);
        rig_cleanup(h_->rig);
    }
    h_->rig = nullptr;
    h_->open = false;
}

bool HamlibRig::isOpen() const
{
    std::lock_guard lock(mutex_);
    return h_->open;
}

std::optional<qint64> HamlibRig::frequency(QString *error)
{
    std::lock_guard lock(mutex_);
    if (!h_->open)
        return fail(error, QStringLiteral("%1 is not open").arg(name())), std::nullopt;
    freq_t hz = 0;
    const int rc = rig_get_freq(h_->rig, RIG_VFO_CURR, &hz);
    if (rc != RIG_OK) {
        fail(error, QStringLiteral("%1 did not give its frequency: %2").arg(name(), hamlibError(rc)));
        return std::nullopt;
    }
    // A flood of digits reads as infinity; a rig that sends it is not answering.
    if (!std::isfinite(hz) || hz < double(kLowestRigHz) || hz > double(kHighestRigHz)) {
        fail(error,
            QStringLiteral("%1 gave a frequency that is none (%2 Hz)").arg(name()).arg(hz, 0, 'g', 6));
        return std::nullopt;
    }
    return qint64(hz + 0.5);
}

bool HamlibRig::setFrequency(qint64 hz, QString *error)
{
    std::lock_guard lock(mutex_);
    if (!h_->open)
        return fail(error, QStringLiteral("%1 is not open").arg(name()));
    if (hz < kLowestRigHz || hz > kHighestRigHz)
        return fail(error, QStringLiteral("%1 Hz is no frequency for a rig").arg(hz));
    const int rc = rig_set_freq(h_->rig, RIG_VFO_CURR, freq_t(hz));
    if (rc != RIG_OK)
        return fail(error,
            QStringLiteral("%1 did not take the frequency: %2").arg(name(), hamlibError(rc)));
    return true;
}

std::optional<QString> HamlibRig::mode(QString *error)
{
    std::lock_guard lock(mutex_);
    if (!h_->open)
        return fail(error, QStringLiteral("%1 is not open").arg(name())), std::nullopt;
    rmode_t mode = RIG_MODE_NONE;
    pbwidth_t width = 0;
    const int rc = rig_get_mode(h_->rig, RIG_VFO_CURR, &mode, &width);
    if (rc != RIG_OK) {
        fail(error, QStringLiteral("%1 did not give its mode: %2").arg(name(), hamlibError(rc)));
        return std::nullopt;
    }
    const QString text = QString::fromLatin1(rig_strrmode(mode));
    if (mode == RIG_MODE_NONE || text.isEmpty()) {
        fail(error, QStringLiteral("%1 gave a mode it does not name").arg(name()));
        return std::nullopt;
    }
    return text;
}

std::optional<bool> HamlibRig::ptt(QString *error)
{
    std::lock_guard lock(mutex_);
    if (!h_->open)
        return fail(error, QStringLiteral("%1 is not open").arg(name())), std::nullopt;
    ptt_t ptt = RIG_PTT_OFF;
    const int rc = rig_get_ptt(h_->rig, RIG_VFO_CURR, &ptt);
    if (rc != RIG_OK) {
        fail(error, QStringLiteral("%1 did not give its PTT: %2").arg(name(), hamlibError(rc)));
        return std::nullopt;
    }
    // hamlib stores whatever number the rig sent, which may be no state at
    // all: its bits are looked at as a number, never loaded as the enum.
    int state = 0;
    static_assert(sizeof state == sizeof ptt);
    std::memcpy(&state, &ptt, sizeof state);
    if (state != RIG_PTT_OFF && state != RIG_PTT_ON && state != RIG_PTT_ON_MIC
        && state != RIG_PTT_ON_DATA) {
        fail(error, QStringLiteral("%1 gave a PTT state that is none (%2)").arg(name()).arg(state));
        return std::nullopt;
    }
    return state != RIG_PTT_OFF;
}

bool HamlibRig::canReadPtt() const
{
    std::lock_guard lock(mutex_);
    return !h_->rig || h_->rig->caps->get_ptt != nullptr;
}

void HamlibRig::interrupt()
{
    // Only a rigctld's socket: shutting it down makes hamlib's read return at
    // once. A serial rig's call ends at its next byte or time-out.
    RIG *rig = h_->reachable;
    if (!rig || form_.kind != RigForm::Rigctld)
        return;
    const int fd = rig->state.rigport.fd;
    if (fd > 2)
        ::shutdown(fd, SHUT_RDWR);
}

bool HamlibRig::setPtt(bool on, QString *error)
{
    std::lock_guard lock(mutex_);
    if (!h_->open)
        return fail(error, QStringLiteral("%1 is not open").arg(name()));
    const int rc = rig_set_ptt(h_->rig, RIG_VFO_CURR, on ? RIG_PTT_ON : RIG_PTT_OFF);
    if (rc != RIG_OK)
        return fail(error,
            QStringLiteral("%1 did not take PTT %2: %3")
                .arg(name(), on ? QStringLiteral("on") : QStringLiteral("off"), hamlibError(rc)));
    return true;
}

QList<RigModel> hamlibModels()
{
    static const QList<RigModel> models = [] {
        rig_set_debug(RIG_DEBUG_NONE);
        rig_load_all_backends();
        QList<RigModel> list;
        rig_list_foreach(
            [](const rig_caps *caps, rig_ptr_t data) -> int {
                auto *out = static_cast<QList<RigModel> *>(data);
                out->append({ int(caps->rig_model),
                    QString::fromLatin1(caps->mfg_name) + u' ' + QString::fromLatin1(caps->model_name) });
                return 1; // go on
            },
            &list);
        std::sort(list.begin(), list.end(),
            [](const RigModel &a, const RigModel &b) { return a.number < b.number; });
        return list;
    }();
    return models;
}

std::shared_ptr<Rig> makeRig(const RigForm &form)
{
    if (form.isNone())
        return {};
    return std::make_shared<HamlibRig>(form);
}

CatPtt::CatPtt(RigThread *rig) : rig_(rig) { }

bool CatPtt::open(QString *error)
{
    // The rig is opened by its thread when first asked: a rig that does not
    // answer holds up no window while it is set up.
    return rig_ || fail(error, QStringLiteral("PTT by CAT needs a rig"));
}

bool CatPtt::key(bool on, QString *error)
{
    if (!rig_)
        return fail(error, QStringLiteral("PTT by CAT needs a rig"));
    rig_->call(RigThread::SetPtt, on ? 1 : 0, this,
        [this, on](const RigAnswer &a) { Q_EMIT keyed(on, a.ok, a.error); });
    return true;
}

SerialPtt::SerialPtt(const PttForm &form, std::unique_ptr<PttLine> line)
    : form_(form), line_(line ? std::move(line) : std::make_unique<SerialPttLine>())
{
}

SerialPtt::~SerialPtt()
{
    if (line_->isOpen())
        line_->setLines(false, false, nullptr);
    line_->close();
}

bool SerialPtt::open(QString *error)
{
    if (line_->isOpen())
        return true;
    QString why;
    if (line_->open(form_.device, &why))
        return true;
    // The device's own error ("Inappropriate ioctl for device") says little
    // without the device and what it was meant for.
    return fail(error, QStringLiteral("the PTT line %1 cannot be used: %2").arg(form_.device, why));
}

bool SerialPtt::key(bool on, QString *error)
{
    if (!line_->isOpen() && !open(error))
        return false;
    const bool rts = on && (form_.kind == PttForm::Rts || form_.kind == PttForm::RtsDtr);
    const bool dtr = on && (form_.kind == PttForm::Dtr || form_.kind == PttForm::RtsDtr);
    return line_->setLines(rts, dtr, error);
}

std::unique_ptr<Ptt> makePtt(const PttForm &form, RigThread *rig, QString *error)
{
    switch (form.kind) {
    case PttForm::None:
        return std::make_unique<VoxPtt>();
    case PttForm::Cat:
        if (!rig) {
            fail(error, QStringLiteral("PTT by CAT needs a rig (--rig, or the rig setting)"));
            return {};
        }
        return std::make_unique<CatPtt>(rig);
    case PttForm::Rts:
    case PttForm::Dtr:
    case PttForm::RtsDtr:
        return std::make_unique<SerialPtt>(form);
    }
    return {};
}

} // namespace rollcall::radio
