// SPDX-License-Identifier: GPL-3.0-or-later
#include "incident/ics213.h"

#include "incident/formpdf.h"
#include "incident/incidentfile.h"
#include "store/recordfile.h"
#include "store/textrules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace rollcall::incident {

namespace {
// The version flmsg writes on its files' first line; the files we write are
// laid out as that version lays them out.
constexpr const char *kFlmsgHeader = "<flmsg>4.0.20";
constexpr const char *kFormHeader = "<ics213>";

struct Tag
{
    const char *tag;
    QString GeneralMessage::*field;
    bool multiline;
};
// flmsg's tags, in the order it writes them.
const Tag kTags[] = {
    { "inc", &GeneralMessage::incident, false },
    { "to", &GeneralMessage::to, false },
    { "p1", &GeneralMessage::toPosition, false },
    { "fm", &GeneralMessage::from, false },
    { "p2", &GeneralMessage::fromPosition, false },
    { "d1", &GeneralMessage::date, false },
    { "t1", &GeneralMessage::time, false },
    { "sb", &GeneralMessage::subject, false },
    { "s1", &GeneralMessage::approvedBy, false },
    { "p3", &GeneralMessage::approvedPosition, false },
    { "s2", &GeneralMessage::repliedBy, false },
    { "p4", &GeneralMessage::repliedPosition, false },
    { "d2", &GeneralMessage::replyDate, false },
    { "t2", &GeneralMessage::replyTime, false },
    { "mg", &GeneralMessage::message, true },
    { "rp", &GeneralMessage::reply, true },
};

QString cleanText(const QString &text, bool multiline)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    t.replace(u'\t', u' ');
    if (!multiline)
        t.replace(u'\n', u' ');
    // Control characters go; line breaks stay where they may.
    const QStringList lines = t.split(u'\n');
    QStringList kept;
    for (const QString &l : lines)
        kept << store::dropControlCharacters(l);
    t = kept.join(u'\n');
    t.truncate(multiline ? kLongestMessageText : kLongestMessageField);
    return multiline ? t : t.trimmed();
}

QString nameAndPosition(const QString &name, const QString &position)
{
    if (position.isEmpty())
        return name;
    return name.isEmpty() ? position : name + QStringLiteral(", ") + position;
}
} // namespace

GeneralMessage cleanMessage(const GeneralMessage &m)
{
    GeneralMessage c = m;
    for (const Tag &t : kTags)
        c.*t.field = cleanText(m.*t.field, t.multiline);
    return c;
}

namespace {
// One ":tag:LENGTH value" of a form file, where it lies in the file: from
// its colon to the end of the line breaks after its value.
struct FileField
{
    QByteArray tag, value;
    qsizetype begin = 0, end = 0;
};

struct FileFields
{
    qsizetype formBegin = 0; // the first field after the <ics213> line
    QList<FileField> fields;
};

// The fields of a .213 file, in file order; false with the reason when it is
// not one (or is damaged).
bool scan213(const QByteArray &bytes, FileFields *scanned, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (bytes.size() > kLongest213File)
        return fail(QStringLiteral("larger than an ICS-213 file can be"));
    if (!bytes.startsWith("<flmsg>"))
        return fail(QStringLiteral("not a form file of flmsg (no <flmsg> line)"));
    const qsizetype form = bytes.indexOf(kFormHeader);
    if (form < 0)
        return fail(QStringLiteral("not an ICS-213 form (no <ics213> line)"));
    FileFields read;
    qsizetype pos = form + qsizetype(qstrlen(kFormHeader));
    const qsizetype end = bytes.size();
    auto skipBreaks = [&] {
        while (pos < end && (bytes[pos] == '\n' || bytes[pos] == '\r'))
            ++pos;
    };
    skipBreaks();
    read.formBegin = pos;
    while (pos < end) {
        // ":tag:LENGTH " then LENGTH bytes.
        if (bytes[pos] != ':')
            return fail(QStringLiteral("damaged at byte %1 (a field should start there)").arg(pos));
        const qsizetype tagEnd = bytes.indexOf(':', pos + 1);
        if (tagEnd < 0 || tagEnd - pos > 16)
            return fail(QStringLiteral("damaged at byte %1 (a field's tag)").arg(pos));
        FileField f;
        f.begin = pos;
        f.tag = bytes.mid(pos + 1, tagEnd - pos - 1);
        qsizetype p = tagEnd + 1;
        qint64 length = 0;
        int digits = 0;
        while (p < end && bytes[p] >= '0' && bytes[p] <= '9' && digits < 7) {
            length = length * 10 + (bytes[p] - '0');
            ++p;
            ++digits;
        }
        if (digits == 0 || p >= end || bytes[p] != ' ')
            return fail(QStringLiteral("damaged at byte %1 (field %2 has no length)")
                            .arg(pos)
                            .arg(QString::fromLatin1(f.tag.toHex())));
        ++p;
        if (length > end - p)
            return fail(QStringLiteral("field %1 runs past the end of the file")
                            .arg(QString::fromUtf8(f.tag).left(16)));
        f.value = bytes.mid(p, length);
        pos = p + length;
        skipBreaks();
        f.end = pos;
        read.fields << f;
    }
    *scanned = read;
    return true;
}

const Tag *knownTag(const QByteArray &tag)
{
    for (const Tag &t : kTags)
        if (tag == t.tag)
            return &t;
    return nullptr;
}

QByteArray fieldBytes(const Tag &t, const QByteArray &value)
{
    return ':' + QByteArray(t.tag) + ':' + QByteArray::number(value.size()) + ' ' + value + '\n';
}
} // namespace

QByteArray write213(const GeneralMessage &message, const QByteArray &original)
{
    const GeneralMessage m = cleanMessage(message);
    FileFields file;
    if (original.isEmpty() || !scan213(original, &file, nullptr)) {
        QByteArray out = QByteArray(kFlmsgHeader) + '\n' + kFormHeader + '\n';
        for (const Tag &t : kTags)
            if (const QByteArray value = (m.*t.field).toUtf8(); !value.isEmpty())
                out += fieldBytes(t, value);
        return out;
    }
    // The file as it was, field by field: what the form shows is written
    // anew only where it changed; lines and fields it does not show (flmsg's
    // header lines, tags of other versions) stay as they were.
    QByteArray out = original.left(file.formBegin);
    const qsizetype tagCount = qsizetype(std::size(kTags));
    QList<bool> done(tagCount, false);
    QList<bool> inFile(tagCount, false);
    for (const FileField &f : file.fields)
        if (const Tag *t = knownTag(f.tag))
            inFile[t - kTags] = true;
    const auto append = [&](const QByteArray &bytes) {
        if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r'))
            out += '\n';
        out += bytes;
    };
    // Fields the file lacks go where flmsg would put them: before the first
    // field of the file that flmsg writes after them.
    const auto addMissingBefore = [&](qsizetype index) {
        for (qsizetype i = 0; i < index; ++i)
            if (!inFile[i] && !done[i]) {
                done[i] = true;
                if (const QByteArray v = (m.*kTags[i].field).toUtf8(); !v.isEmpty())
                    append(fieldBytes(kTags[i], v));
            }
    };
    for (const FileField &f : file.fields) {
        const Tag *t = knownTag(f.tag);
        if (!t) {
            out += original.mid(f.begin, f.end - f.begin);
            continue;
        }
        const qsizetype i = t - kTags;
        addMissingBefore(i);
        if (done[i])
            continue; // a tag the file repeats is written once
        done[i] = true;
        const QString value = m.*t->field;
        if (cleanText(QString::fromUtf8(f.value), t->multiline) == value)
            out += original.mid(f.begin, f.end - f.begin);
        else if (!value.isEmpty())
            append(fieldBytes(*t, value.toUtf8()));
    }
    addMissingBefore(tagCount);
    return out;
}

bool read213(const QByteArray &bytes, GeneralMessage *m, QString *error)
{
    FileFields file;
    if (!scan213(bytes, &file, error))
        return false;
    GeneralMessage read;
    for (const FileField &f : file.fields)
        if (const Tag *t = knownTag(f.tag))
            read.*t->field = QString::fromUtf8(f.value);
    *m = cleanMessage(read);
    return true;
}

bool load213(const QString &path, GeneralMessage *m, QString *error, QByteArray *read)
{
    const std::optional<QByteArray> bytes
        = readIncidentFile(path, kLongest213File, QStringLiteral("an ICS-213 file"), error);
    if (!bytes)
        return false;
    QString why;
    if (!read213(*bytes, m, &why)) {
        if (error)
            *error = QStringLiteral("%1 cannot be read (%2).").arg(path, why);
        return false;
    }
    if (read)
        *read = *bytes;
    return true;
}

QString messageText(const GeneralMessage &message)
{
    const GeneralMessage m = cleanMessage(message);
    QStringList lines;
    lines << QStringLiteral("GENERAL MESSAGE (ICS 213)");
    if (!m.incident.isEmpty())
        lines << QStringLiteral("Incident: ") + m.incident;
    lines << QStringLiteral("To: ") + nameAndPosition(m.to, m.toPosition);
    lines << QStringLiteral("From: ") + nameAndPosition(m.from, m.fromPosition);
    lines << QStringLiteral("Subject: ") + m.subject;
    lines << QStringLiteral("Date: %1  Time: %2").arg(m.date, m.time);
    lines << QStringLiteral("Message:");
    lines << m.message.split(u'\n');
    lines << QStringLiteral("Approved by: ") + nameAndPosition(m.approvedBy, m.approvedPosition);
    if (!m.reply.isEmpty() || !m.repliedBy.isEmpty()) {
        lines << QStringLiteral("Reply:");
        lines << m.reply.split(u'\n');
        const QString when = QString(m.replyDate + u' ' + m.replyTime).trimmed();
        lines << QStringLiteral("Replied by: ") + nameAndPosition(m.repliedBy, m.repliedPosition)
                + (when.isEmpty() ? QString() : QStringLiteral("  Date/Time: ") + when);
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QByteArray messagePdf(const GeneralMessage &message)
{
    const GeneralMessage m = cleanMessage(message);
    FormPages form;
    form.documentTitle = QStringLiteral("ICS 213 ") + m.subject;
    form.formTitle = QStringLiteral("GENERAL MESSAGE (ICS 213)");
    form.header = { QStringLiteral("1. Incident Name (Optional): ") + m.incident,
        QStringLiteral("2. To (Name and Position): ") + nameAndPosition(m.to, m.toPosition),
        QStringLiteral("3. From (Name and Position): ") + nameAndPosition(m.from, m.fromPosition),
        QStringLiteral("4. Subject: ") + m.subject,
        QStringLiteral("5. Date: %1     6. Time: %2").arg(m.date, m.time) };
    form.tables << FormTable { QStringLiteral("7. Message:"), { QString() }, { 1 },
        { { m.message } } };
    form.tables << FormTable { QStringLiteral("8. Approved by:"),
        { QStringLiteral("Name"), QStringLiteral("Position/Title") }, { 1, 1 },
        { { m.approvedBy, m.approvedPosition } } };
    form.tables << FormTable { QStringLiteral("9. Reply:"), { QString() }, { 1 }, { { m.reply } } };
    form.tables << FormTable {
        QStringLiteral("10. Replied by:"),
        { QStringLiteral("Name"), QStringLiteral("Position/Title"), QStringLiteral("Date/Time") },
        { 2, 2, 1 },
        { { m.repliedBy, m.repliedPosition, QString(m.replyDate + u' ' + m.replyTime).trimmed() } }
    };
    return formPdf(form);
}

QList<StoredMessage> listMessages(const QString &netFolder, int *unreadable)
{
    QList<StoredMessage> list;
    int bad = 0;
    const QDir dir(QDir(netFolder).filePath(QLatin1String(kMessagesFolderName)));
    const QStringList names
        = dir.entryList({ QStringLiteral("*.213") }, QDir::Files, QDir::Name).mid(0, kMostMessages);
    for (const QString &name : names) {
        StoredMessage s;
        s.path = dir.filePath(name);
        if (load213(s.path, &s.message))
            list << s;
        else
            ++bad;
    }
    if (unreadable)
        *unreadable = bad;
    return list;
}

bool saveMessage(const QString &netFolder, const GeneralMessage &m, QString *path, QString *error,
    const QByteArray &original)
{
    const QDir net(netFolder);
    const QString folder = net.filePath(QLatin1String(kMessagesFolderName));
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("%1 cannot be made.").arg(folder);
        return false;
    }
    const QDir dir(folder);
    QString target = path ? *path : QString();
    if (target.isEmpty()
        || QFileInfo(target).absolutePath() != QFileInfo(folder).absoluteFilePath()) {
        static const QRegularExpression numbered(QStringLiteral("^(\\d{1,6})\\.213$"));
        int next = 1;
        for (const QString &name : dir.entryList({ QStringLiteral("*.213") }, QDir::Files)) {
            const auto match = numbered.match(name);
            if (match.hasMatch())
                next = std::max(next, match.captured(1).toInt() + 1);
        }
        if (next > kMostMessages * 10) {
            if (error)
                *error = QStringLiteral("The net holds as many messages as it can.");
            return false;
        }
        target = dir.filePath(QStringLiteral("%1.213").arg(next, 4, 10, QLatin1Char('0')));
    }
    if (!store::writeWholeFile(target, write213(m, original), error))
        return false;
    if (path)
        *path = target;
    return true;
}

int runIcs213Command(const QStringList &args)
{
    const QString command = QStringLiteral("ics213");
    QString input, output;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("-o") && i + 1 < args.size())
            output = args[++i];
        else if (a.startsWith(u'-'))
            return commandFailure(
                command, QStringLiteral("unknown option or missing value: %1").arg(a), 2);
        else if (input.isEmpty())
            input = a;
        else
            return commandFailure(command, QStringLiteral("one message file only (%1?)").arg(a), 2);
    }
    const bool pdf = output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    if (input.isEmpty() || (!pdf && !output.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive)))
        return commandFailure(
            command, QStringLiteral("usage: rollcall ics213 FILE.213 -o FILE.pdf|FILE.txt"), 2);
    if (pdf && !canPaint())
        return commandFailure(command, QStringLiteral("a PDF needs the program's GUI application"));
    GeneralMessage m;
    QString error;
    if (!load213(input, &m, &error))
        return commandFailure(command, error);
    return store::writeWholeFile(output, pdf ? messagePdf(m) : messageText(m).toUtf8(), &error)
        ? 0
        : commandFailure(command, error);
}

} // namespace rollcall::incident
