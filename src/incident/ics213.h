// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace rollcall::incident {

// An ICS-213 general message, with its reply.
struct GeneralMessage
{
    QString incident;
    QString to, toPosition;
    QString from, fromPosition;
    QString subject;
    QString date, time;
    QString message;
    QString approvedBy, approvedPosition;
    QString reply;
    QString repliedBy, repliedPosition;
    QString replyDate, replyTime;
    bool operator==(const GeneralMessage &) const = default;
};

// Bounds of what is read and kept: a message is a page of the form, not a book.
inline constexpr qsizetype kLongestMessageText = 8000; // message and reply
inline constexpr qsizetype kLongestMessageField = 200; // every other field
inline constexpr qsizetype kLongest213File = 64 * 1024;

// The message with every field cut to its bound and its control characters
// gone (line breaks kept in the message and the reply).
GeneralMessage cleanMessage(const GeneralMessage &m);

// The .213 file of the NBEMS form program (flmsg): "<flmsg>VERSION", then
// "<ics213>", then one ":tag:LENGTH value" a field, LENGTH the value's bytes
// (a value may hold line breaks), each followed by a line break; empty fields
// are left out. UTF-8. Given the bytes of the file the message was read
// from, that file is written again with only the fields that changed written
// anew: what the form does not show (flmsg's header lines with who wrote and
// edited it, tags of other versions) stays, and a message left unchanged
// gives the file back byte for byte.
QByteArray write213(const GeneralMessage &m, const QByteArray &original = QByteArray());
// Reads a .213 file's bytes; false with the reason when it is not one (or is
// damaged). Unknown tags are passed over; fields are cleaned as above.
bool read213(const QByteArray &bytes, GeneralMessage *m, QString *error = nullptr);
// The file read; its bytes in *bytes when asked, to write it again.
bool load213(
    const QString &path, GeneralMessage *m, QString *error = nullptr, QByteArray *bytes = nullptr);

// The message as plain text, for sending over PSK31 or a TNC, or a .txt file:
// CR LF line ends, ASCII where the text is.
QString messageText(const GeneralMessage &m);
QByteArray messagePdf(const GeneralMessage &m);

// The messages of a net: files NNNN.213 in the folder "ics213" of the net folder.
inline constexpr const char *kMessagesFolderName = "ics213";
inline constexpr int kMostMessages = 2000;

struct StoredMessage
{
    QString path;
    GeneralMessage message;
};
// The net's messages in file-name order; files that cannot be read are
// counted in *unreadable and left alone.
QList<StoredMessage> listMessages(const QString &netFolder, int *unreadable = nullptr);
// Writes a message: over path when it names one of the net's messages, else
// as the next free number. The path written comes back in *path. With the
// bytes of the file it was read from, written as write213 writes it again.
bool saveMessage(const QString &netFolder, const GeneralMessage &m, QString *path,
    QString *error = nullptr, const QByteArray &original = QByteArray());

// rollcall ics213 FILE.213 -o FILE.pdf|FILE.txt
int runIcs213Command(const QStringList &args);

} // namespace rollcall::incident
