// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/scriptfiles.h"

#include "script/rtfreader.h"
#include "script/rtfwriter.h"
#include "store/recordfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextStream>

#include <algorithm>
#include <memory>

namespace rollcall::script {

QString &currentScriptPath()
{
    static QString path;
    return path;
}

namespace {
bool readBounded(const QString &path, QByteArray *bytes, QString *error)
{
    QFile file(path);
    if (QFileInfo::exists(path) && !store::isRegularFile(path)) {
        if (error)
            *error = QStringLiteral("%1 is not a regular file.").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1 cannot be read (%2).").arg(path, file.errorString());
        return false;
    }
    // One byte more than allowed tells a file that is too large from one that fits.
    *bytes = file.read(kMaxRtfBytes + 1);
    if (bytes->size() > kMaxRtfBytes) {
        if (error)
            *error = QStringLiteral("%1 is too large for a script.").arg(path);
        return false;
    }
    return true;
}
} // namespace

bool loadScript(const QString &path, bool asText, QTextDocument *doc,
    const QTextCharFormat &textFormat, QString *error, bool *cut)
{
    QByteArray bytes;
    if (!readBounded(path, &bytes, error))
        return false;
    if (!asText) {
        QString why;
        if (readRtf(bytes, doc, &why, cut))
            return true;
        if (error)
            *error = QStringLiteral("%1: %2.").arg(path, why);
        return false;
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = store::fromWindows1252(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    // The same limits as for RTF: a line is a piece of the document.
    qsizetype end = std::min<qsizetype>(text.size(), kMaxScriptCharacters);
    for (qsizetype at = 0, lines = 1; at < end; ++at) {
        if (text[at] == u'\n' && ++lines > kMaxScriptPieces)
            end = at;
    }
    if (cut)
        *cut = end < text.size();
    text.truncate(end);
    doc->clear();
    QTextCursor cursor(doc);
    cursor.setBlockCharFormat(textFormat);
    cursor.insertText(text, textFormat);
    return true;
}

QString cutNote(const QString &path)
{
    return QStringLiteral("Only the beginning of %1 was read: a script holds at most %L2 "
                          "characters and %L3 lines or changes of format.")
        .arg(path)
        .arg(kMaxScriptCharacters)
        .arg(kMaxScriptPieces);
}

bool saveScript(const QString &path, const QTextDocument &doc, QString *error)
{
    return store::writeWholeFile(path, writeRtf(doc), error);
}

QByteArray scriptHtml(const QTextDocument &doc, const QString &title)
{
    const std::unique_ptr<QTextDocument> copy(doc.clone());
    copy->setMetaInformation(QTextDocument::DocumentTitle, title);
    // Without a display there is no default font; runs without a family of their own
    // read in the font scripts have always used.
    if (copy->defaultFont().family().isEmpty()) {
        QFont font = copy->defaultFont();
        font.setFamilies(QStringList { QStringLiteral("Arial") });
        copy->setDefaultFont(font);
    }
    return copy->toHtml().toUtf8() + '\n';
}

QByteArray scriptText(const QTextDocument &doc)
{
    QString text = doc.toPlainText();
    if (!text.isEmpty() && !text.endsWith(u'\n'))
        text += u'\n';
    return text.toUtf8();
}

namespace {
int fail(const QString &message, int code = 1)
{
    QTextStream(stderr) << "rollcall script: " << message << '\n';
    return code;
}
} // namespace

int runScriptCommand(const QStringList &args)
{
    const QString usage = QStringLiteral("usage: rollcall script html|text FILE.rcs [-o OUT]");
    QString mode, input, output;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("%1 needs a file name").arg(a), 2);
            output = args[++i];
        } else if (a.startsWith(QLatin1String("--output="))) {
            output = a.mid(9);
        } else if (a.startsWith(u'-') && a.size() > 1) {
            return fail(QStringLiteral("unknown option %1").arg(a), 2);
        } else if (mode.isEmpty()) {
            mode = a;
        } else if (input.isEmpty()) {
            input = a;
        } else {
            return fail(QStringLiteral("one script file only (%1?)").arg(a), 2);
        }
    }
    if (mode != QLatin1String("html") && mode != QLatin1String("text"))
        return fail(usage, 2);
    if (input.isEmpty())
        return fail(usage, 2);

    QTextDocument doc;
    QString error;
    bool cut = false;
    if (!loadScript(input, false, &doc, QTextCharFormat(), &error, &cut))
        return fail(error);
    if (cut)
        QTextStream(stderr) << "rollcall script: " << cutNote(input) << '\n';
    const QByteArray bytes = mode == QLatin1String("html")
        ? scriptHtml(doc, QFileInfo(input).completeBaseName())
        : scriptText(doc);
    return store::writeOutput(output, bytes, &error) ? 0 : fail(error);
}

} // namespace rollcall::script
