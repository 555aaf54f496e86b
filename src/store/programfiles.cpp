// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/programfiles.h"

#include "store/processlock.h"
#include "store/recordfile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace rollcall::store {

PrefsRecord::Splash PrefsRecord::splashState() const
{
    const double value = MessageNumberFile::leadingNumber(splash);
    return value == 0 ? Splash::Off : value == 1 ? Splash::On : Splash::Unset;
}

bool readPrefs(const QString &path, PrefsRecord &prefs)
{
    const auto bytes = RecordFile(path).read(1, PrefsRecord::kSize);
    if (!bytes)
        return false;
    RecordReader r(*bytes);
    prefs.splash = r.text(PrefsRecord::kSplashWidth);
    prefs.callsign = r.text(PrefsRecord::kCallsignWidth);
    prefs.name = r.text(PrefsRecord::kNameWidth);
    prefs.location = r.text(PrefsRecord::kLocationWidth);
    prefs.optionCheckboxes = r.int16();
    prefs.spaceBarTab = r.int16();
    return true;
}

bool writePrefs(const QString &path, const PrefsRecord &prefs, QString *error)
{
    RecordWriter w;
    w.text(prefs.splash, PrefsRecord::kSplashWidth)
        .text(prefs.callsign, PrefsRecord::kCallsignWidth)
        .text(prefs.name, PrefsRecord::kNameWidth)
        .text(prefs.location, PrefsRecord::kLocationWidth)
        .int16(prefs.optionCheckboxes)
        .int16(prefs.spaceBarTab);
    return RecordFile(path).write(1, w.bytes(), error);
}

bool releaseNotesSeen(const QString &path)
{
    return RecordFile(path).readInt16(1).value_or(0) == -1;
}

bool markReleaseNotesSeen(const QString &path)
{
    return RecordFile(path).writeInt16(1, -1);
}

QString readReleaseNotes(const QString &path)
{
    return RecordFile(path, kReleaseNotesWidth).readText(1, kReleaseNotesWidth).value_or(QString());
}

bool writeReleaseNotes(const QString &path, const QString &text)
{
    return RecordFile(path, kReleaseNotesWidth).writeText(1, text, kReleaseNotesWidth);
}

namespace {
// Held around every read-increment-write so two windows or two running copies
// never hand out the same number. A lock that no live process on this machine
// holds is free whatever its file says (empty, damaged, left by a crash). One
// that names another machine (a home shared over the network) is waited on:
// the number is held for a moment only, so past a minute its copy is gone.
class CounterLock
{
public:
    explicit CounterLock(const QString &path) : m_lock(path + QStringLiteral(".lock"))
    {
        constexpr qint64 kGoneAfterSeconds = 60;
        const QDeadlineTimer deadline(5000);
        while (true) {
            const LockHolder &holder = m_lock.holder();
            const bool gone = holder.since.isValid()
                && holder.since.secsTo(QDateTime::currentDateTimeUtc()) > kGoneAfterSeconds;
            const ProcessLock::Result result = m_lock.tryLock(gone);
            if (result == ProcessLock::Result::Taken || result == ProcessLock::Result::Failed
                || deadline.hasExpired())
                return;
            QThread::msleep(2);
        }
    }
    bool locked() const { return m_lock.isLocked(); }

private:
    ProcessLock m_lock;
};
} // namespace

qint16 MessageNumberFile::read() const
{
    return RecordFile(m_path).readInt16(1).value_or(0);
}

bool MessageNumberFile::write(qint16 value) const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    return RecordFile(m_path).writeInt16(1, value);
}

double MessageNumberFile::leadingNumber(const QString &text)
{
    // Blanks anywhere before the number are skipped; then sign, digits, one point.
    QString s = text.trimmed();
    QString number;
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
        number += s[i++];
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i].isDigit() && s[i].unicode() < 128)
            number += s[i];
        else if (s[i] == u'.' && !point) {
            point = true;
            number += s[i];
        } else if (s[i] != u' ')
            break;
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}

std::optional<qint16> MessageNumberFile::set(const QString &typed) const
{
    const double rounded = std::nearbyint(leadingNumber(typed)); // half to even, as before
    const auto value = qint16(std::clamp(rounded, 0.0, double(kMaximum)));
    if (!write(value))
        return std::nullopt;
    return value;
}

qint16 MessageNumberFile::nextAfter(qint16 value)
{
    if (value < 0 || value >= kMaximum)
        return 1;
    return qint16(value + 1);
}

std::optional<qint16> MessageNumberFile::consume() const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    CounterLock lock(m_path);
    if (!lock.locked())
        return std::nullopt;
    const qint16 next = nextAfter(read());
    if (!write(next))
        return std::nullopt;
    return next;
}

} // namespace rollcall::store
