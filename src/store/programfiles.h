// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// Files of the data folder (dbfiles/) and the message-number file.
namespace rollcall::store {

// rollcall.inf, record 1: 104 bytes.
struct PrefsRecord
{
    static constexpr int kSplashWidth = 5;
    static constexpr int kCallsignWidth = 20;
    static constexpr int kNameWidth = 25;
    static constexpr int kLocationWidth = 50;
    static constexpr int kSize = kSplashWidth + kCallsignWidth + kNameWidth + kLocationWidth + 4;

    QString splash = QStringLiteral("2"); // "2": never saved; the title screen shows
    QString callsign;
    QString name;
    QString location;
    qint16 optionCheckboxes = 0;
    qint16 spaceBarTab = 0;

    // The splash field as the check box shows it: its numeric value, where
    // anything but 0 and 1 (a record never saved holds "2") is the third state.
    enum class Splash { Off = 0, On = 1, Unset = 2 };
    Splash splashState() const;
    void setSplashState(Splash state) { splash = QString::number(int(state)); }

    bool operator==(const PrefsRecord &) const = default;
};

// Reads record 1 into `prefs`. A missing file is created empty; a file too
// short to hold the record leaves `prefs` unchanged. False when nothing was read.
bool readPrefs(const QString &path, PrefsRecord &prefs);
bool writePrefs(const QString &path, const PrefsRecord &prefs, QString *error = nullptr);

// Release-notes flag (dbfiles/<major><minor><revision>.inf): -1 once shown.
bool releaseNotesSeen(const QString &path);
bool markReleaseNotesSeen(const QString &path);

// changes.txt: one 4096-character record, record length 4096.
inline constexpr int kReleaseNotesWidth = 4096;
QString readReleaseNotes(const QString &path);
bool writeReleaseNotes(const QString &path, const QString &text);

// The message-number file: a signed 16-bit number at offset 0, normally a
// 2-byte file; missing or empty reads as 0. Shared by every home folder and
// every running copy of the program, so changes are made under a lock file.
class MessageNumberFile
{
public:
    static constexpr qint16 kMaximum = 32767;

    explicit MessageNumberFile(QString path) : m_path(std::move(path)) { }
    const QString &path() const { return m_path; }

    qint16 read() const;
    // Stores a number typed by the operator: its leading number, rounded;
    // no number gives 0; kept within 0..32767. Returns what was stored.
    std::optional<qint16> set(const QString &typed) const;
    bool write(qint16 value) const;
    // Read, add one, write back, all under the lock. After 32767 (or a value
    // that cannot be a message number) numbering starts again at 1.
    // Returns the new stored value, nothing when the file could not be written.
    std::optional<qint16> consume() const;

    // The leading numeric part of a text, as the classic Val() reads it.
    static double leadingNumber(const QString &text);
    static qint16 nextAfter(qint16 value);

private:
    QString m_path;
};

} // namespace rollcall::store
