// SPDX-License-Identifier: GPL-3.0-or-later
// The source folders form layers: store/ at the bottom, the foundation app/ above it,
// the subsystems above that, and the composition root root/ on top. An include may
// only run downward; no two folders may reach each other, however long the way round.
// And every source file says its licence in its first lines.

#include "testmain.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <functional>

namespace {

// folder -> folders it includes, each with one file that does it (for the message).
using Graph = QMap<QString, QMap<QString, QString>>;

Graph includeGraph(const QString &srcDir)
{
    Graph graph;
    const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s+\"([^\"]+)\""));
    QDirIterator it(srcDir, { QStringLiteral("*.cpp"), QStringLiteral("*.h") }, QDir::Files,
        QDirIterator::Subdirectories);
    const QDir src(srcDir);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString from = QFileInfo(src.relativeFilePath(path)).path();
        if (from == u'.')
            continue;
        graph[from];
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            const auto m = include.match(QString::fromUtf8(file.readLine()));
            if (!m.hasMatch())
                continue;
            const QString target = m.captured(1);
            if (!QFileInfo::exists(src.filePath(target)))
                continue; // a system or generated header
            const QString to = QFileInfo(target).path();
            if (to != from && to != u'.')
                graph[from].insert(to, src.relativeFilePath(path));
        }
    }
    return graph;
}

// A way round from start back to itself, or empty.
QStringList cycleFrom(const Graph &graph, const QString &start)
{
    QStringList path { start };
    QSet<QString> seen;
    std::function<bool(const QString &)> walk = [&](const QString &at) {
        for (const QString &next : graph.value(at).keys()) {
            if (next == start) {
                path << next;
                return true;
            }
            if (seen.contains(next))
                continue;
            seen.insert(next);
            path << next;
            if (walk(next))
                return true;
            path.removeLast();
        }
        return false;
    };
    return walk(start) ? path : QStringList();
}

} // namespace

class LayersTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void includesRunDownward()
    {
        const Graph graph = includeGraph(QStringLiteral(ROLLCALL_SOURCE_DIR "/src"));
        QVERIFY(graph.contains(QStringLiteral("netlog")));
        QVERIFY(graph.contains(QStringLiteral("root")));
        QVERIFY(graph.contains(QStringLiteral("radio")));
        QStringList faults;
        // Folders that may include only themselves and the ones listed.
        const QMap<QString, QStringList> bottom {
            { QStringLiteral("store"), {} },
            { QStringLiteral("psk/modem"), {} },
            { QStringLiteral("app"), { QStringLiteral("store") } },
            // The station's hardware sits below the modem and the net windows.
            { QStringLiteral("radio"), { QStringLiteral("store"), QStringLiteral("app") } },
        };
        for (auto f = graph.begin(); f != graph.end(); ++f) {
            for (auto t = f.value().begin(); t != f.value().end(); ++t) {
                const bool upward = t.key() == u"root"
                    || (bottom.contains(f.key()) && !bottom[f.key()].contains(t.key()));
                if (upward)
                    faults
                        << QStringLiteral("%1 includes %2 (%3)").arg(f.key(), t.key(), t.value());
            }
            const QStringList cycle = cycleFrom(graph, f.key());
            if (!cycle.isEmpty()) {
                QStringList steps;
                for (int i = 0; i + 1 < cycle.size(); ++i)
                    steps << QStringLiteral("%1 -> %2 (%3)")
                                 .arg(cycle[i], cycle[i + 1], graph[cycle[i]][cycle[i + 1]]);
                faults << QStringLiteral("circle: ") + steps.join(QStringLiteral(", "));
            }
        }
        if (!faults.isEmpty())
            QFAIL(qPrintable(faults.join(u'\n')));
    }

    void everySourceFileNamesItsLicence()
    {
        QStringList missing;
        for (const char *folder : { "/src", "/tests", "/bench" }) {
            QDirIterator it(QStringLiteral(ROLLCALL_SOURCE_DIR) + QLatin1String(folder),
                { QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.h.in"),
                    QStringLiteral("CMakeLists.txt") },
                QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                if (!file.open(QIODevice::ReadOnly)
                    || !file.read(200).contains("SPDX-License-Identifier: GPL-3.0-or-later"))
                    missing << file.fileName();
            }
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
    }
};

RC_TEST_CLASS(LayersTest)

#include "test_layers.moc"
