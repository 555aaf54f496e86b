// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session.h"
#include "app/windowregistry.h"
#include "script/rtfreader.h"
#include "script/scripteditorwindow.h"
#include "script/scriptfiles.h"
#include "testfiles.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QStatusBar>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

using namespace rollcall;
using namespace Qt::StringLiterals;

namespace {
script::ScriptEditorWindow *loadEditor()
{
    return windows().window<script::ScriptEditorWindow>(u"textedit"_s);
}

void trigger(QWidget *window, const char *item)
{
    QAction *action = window->findChild<QAction *>(QLatin1String(item));
    QVERIFY2(action, item);
    action->trigger();
}
} // namespace

// The script editor window: its menus, files, questions and font dialog.
class ScriptEditorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { script::currentScriptPath().clear(); }

    void launcherItemShowsTheEditor()
    {
        test::WindowFixture f;
        QWidget *launcher = windows().window(u"Form1"_s);
        trigger(launcher, "menuscripteditor");
        auto *editor = qobject_cast<script::ScriptEditorWindow *>(windows().loaded(u"textedit"_s));
        QVERIFY(editor && editor->isVisible());
        // It starts empty, typing in 12 point.
        QVERIFY(editor->editor()->toPlainText().isEmpty());
        QCOMPARE(editor->editor()->currentCharFormat().fontPointSize(), 12.0);
    }

    // The dialogs, the question on an existing file, and where the path stands after a No.
    void saveOverExistingAnsweredNo()
    {
        test::WindowFixture f;
        auto *w = loadEditor();
        w->editor()->setPlainText(u"Good evening, this is net control."_s);
        const QString path = f.home.nets() + u"/sunday.rcs"_s;
        QVERIFY(test::writeFileBytes(path, "old script"));

        f.prompts.answer(path).answerNo();
        trigger(w, "mnuSave");
        QCOMPARE(test::fileBytes(path), QByteArray("old script"));
        QCOMPARE(script::currentScriptPath(), path);
        const auto &shown = f.prompts.shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].dialog.filter,
            u"Rollcall Script (*.rcs)|*.rcs|Rich Text File (*.rtf)|*.rtf"_s);
        QCOMPARE(shown[0].dialog.defaultExtension, u".rcs"_s);
        QCOMPARE(shown[0].dialog.initialFolder, f.home.nets());
        QCOMPARE(shown[1].title, u"Summary save as"_s);
        QCOMPARE(shown[1].text, path + u" already exists!| Do you want to replace it?"_s);
        QCOMPARE(shown[1].icon, Prompts::Icon::Information);

        f.prompts.answer(path).answerYes();
        trigger(w, "mnuSave");
        QTextDocument back;
        QVERIFY(script::readRtf(test::fileBytes(path), &back));
        QCOMPARE(back.toPlainText(), u"Good evening, this is net control."_s);

        QVERIFY(w->statusBar()->currentMessage().startsWith(u"Saved "_s));

        f.prompts.answer(QString()); // cancelled: nothing moves
        trigger(w, "mnuSave");
        QCOMPARE(script::currentScriptPath(), path);

        // A save that fails says so; the operator must not leave believing it was kept.
        const QString nowhere = f.home.nets() + u"/no such folder/x.rcs"_s;
        f.prompts.answer(nowhere);
        trigger(w, "mnuSave");
        QVERIFY(!QFileInfo::exists(nowhere));
        QVERIFY2(w->statusBar()->currentMessage().startsWith(u"Not saved: "_s),
            qPrintable(w->statusBar()->currentMessage()));
    }

    void openByFilter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");

        const QByteArray rtf("{\\rtf1\\ansi{\\b Net} script\\par}");
        QTest::newRow("script") << u"a.rcs"_s << rtf << u"Net script"_s;
        QTest::newRow("rich text") << u"a.rtf"_s << rtf << u"Net script"_s;
        // A text file shows its characters, markup and all.
        QTest::newRow("text file") << u"a.txt"_s << rtf << QString::fromLatin1(rtf);
        QTest::newRow("text file, Windows-1252 and CR LF")
            << u"b.txt"_s << QByteArray("caf\xe9\r\nline 2") << u"caf\u00e9\nline 2"_s;
        QTest::newRow("any other file") << u"a.doc"_s << rtf << QString::fromLatin1(rtf);
        QTest::newRow("not RTF leaves the editor")
            << u"bad.rcs"_s << QByteArray("plain words") << u"before"_s;
        QTest::newRow("missing file") << u"none.rcs"_s << QByteArray() << u"before"_s;
    }

    void openByFilter()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        test::WindowFixture f;
        auto *w = loadEditor();
        w->editor()->setPlainText(u"before"_s);
        const QString path = f.home.nets() + u'/' + name;
        if (!bytes.isEmpty())
            QVERIFY(test::writeFileBytes(path, bytes));
        f.prompts.answer(path);
        trigger(w, "mnuOpen");
        QCOMPARE(w->editor()->toPlainText(), shown);
        QCOMPARE(script::currentScriptPath(), path); // moved even when the load failed
        // A file that did not open is named in the status line, not passed over.
        QCOMPARE(w->statusBar()->currentMessage().contains(path), shown == u"before"_s);
        QCOMPARE(f.prompts.shown().constFirst().dialog.filter,
            u"Rollcall Script (*.rcs)|*.rcs|Rich Text File (*.rtf)|*.rtf|Text File (*.txt)|*.txt|"
            "All Files (*.*)|*.*"_s);
    }

    void hideShowKeepsTextUnloadReloadsFile()
    {
        test::WindowFixture f;
        auto *w = loadEditor();
        w->show();
        w->editor()->setPlainText(u"QNI, this is W1AW"_s);
        trigger(w, "mnuHide");
        QVERIFY(!w->isVisible());
        QVERIFY(showWindow(u"textedit"_s));
        QCOMPARE(loadEditor(), w);
        QCOMPARE(w->editor()->toPlainText(), u"QNI, this is W1AW"_s);

        const QString path = f.home.nets() + u"/net.rcs"_s;
        f.prompts.answer(path);
        trigger(w, "mnuSave");
        w->editor()->setPlainText(u"typed after saving"_s);
        QVERIFY(windows().unload(u"textedit"_s));
        QApplication::processEvents();
        w = loadEditor();
        QCOMPARE(w->editor()->toPlainText(), u"QNI, this is W1AW"_s);

        trigger(w, "mnuClear");
        QVERIFY(w->editor()->toPlainText().isEmpty());
        QCOMPARE(w->editor()->currentCharFormat().fontPointSize(), 12.0);
    }

    void fontSelectorFormatsTheSelection()
    {
        test::WindowFixture f;
        auto *w = loadEditor();
        w->editor()->setPlainText(u"Welcome to the net"_s);
        QTextCursor c = w->editor()->textCursor();
        c.setPosition(11);
        c.setPosition(14, QTextCursor::KeepAnchor); // "the"
        w->editor()->setTextCursor(c);

        Prompts::FontChoice choice;
        choice.font = QFont(u"Courier New"_s);
        choice.font.setPointSize(18);
        choice.font.setBold(true);
        choice.font.setItalic(true);
        choice.font.setUnderline(true);
        choice.font.setStrikeOut(true);
        choice.color = QColor(128, 0, 0);
        f.prompts.answerFont(choice);
        trigger(w, "mnuFontSelector");

        auto at = [w](int position) {
            QTextCursor probe(w->editor()->document());
            probe.setPosition(position);
            return probe.charFormat();
        };
        const QTextCharFormat the = at(12);
        QCOMPARE(the.fontFamilies().toStringList().value(0), u"Courier New"_s);
        QCOMPARE(the.fontPointSize(), 18.0);
        QCOMPARE(the.fontWeight(), int(QFont::Bold));
        QVERIFY(the.fontItalic() && the.fontUnderline() && the.fontStrikeOut());
        QCOMPARE(the.foreground().color(), QColor(128, 0, 0));
        QVERIFY(!at(5).fontUnderline());

        f.prompts.answerNo(); // the dialog cancelled: nothing changes
        c.setPosition(0);
        c.setPosition(7, QTextCursor::KeepAnchor);
        w->editor()->setTextCursor(c);
        trigger(w, "mnuFontSelector");
        QVERIFY(!at(3).fontUnderline());
    }
};

RC_TEST_CLASS(ScriptEditorTest)
#include "test_scripteditor.moc"
