#include "app/datagridwidget.h"
#include "app/newnet.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "netlog/netlogstore.h"
#include "netlog/netwindow.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

using namespace rollcall;

namespace {
// Types into whatever has the focus, as the operator's keyboard does.
void type(const QString &text)
{
    QTest::keyClicks(QApplication::focusWidget(), text);
}

void press(Qt::Key key)
{
    QTest::keyClick(QApplication::focusWidget(), key);
    QApplication::processEvents();
}
} // namespace

// The live grid of the net window against what the table holds.
class NetGridTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void gridShowsEveryFlagAfterKeyboardCheckIns()
    {
        test::WindowFixture f;
        session().netpath
            = createNetFolder(f.home.nets(), QStringLiteral("Sunday"), f.home.dbfiles()).netpath;
        auto *w = windows().window<NetWindow>(QStringLiteral("rollcall"));
        w->show();
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        auto *call = w->findChild<QLineEdit *>(QStringLiteral("callsigna"));
        QTest::mouseClick(call, Qt::LeftButton);
        QTRY_VERIFY(call->hasFocus());
        for (const char *station : { "w1aw", "k1abc", "n2xyz" }) {
            type(QLatin1String(station));
            press(Qt::Key_Tab);
            for (const char *field : { "Bob", "Newington", "ct", "rt" }) {
                type(QLatin1String(field));
                press(Qt::Key_Tab);
            }
            QTRY_COMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("count0"));
            type(QStringLiteral("2"));
            press(Qt::Key_Return);
            QTRY_VERIFY(call->hasFocus());
        }
        QTest::qWait(50);

        GridModel *grid = w->grid()->gridModel();
        QCOMPARE(grid->rowCount(), 3);
        QSqlQuery q(w->netLog()->netDatabase().connection());
        int rows = 0;
        for (int c = 0; c < grid->columnCount(); ++c) {
            const GridColumn &column = grid->columns()[c];
            if (!column.flag)
                continue;
            QVERIFY(q.exec(
                QStringLiteral("SELECT \"%1\" FROM \"net\" ORDER BY recno").arg(column.field)));
            for (rows = 0; q.next(); ++rows) {
                const bool stored = q.value(0).toInt() != 0;
                const QString where = column.caption + QStringLiteral(" row %1").arg(rows);
                QVERIFY2(grid->index(rows, c).data(Qt::CheckStateRole).toInt()
                        == (stored ? Qt::Checked : Qt::Unchecked),
                    qPrintable(where));
            }
        }
        QCOMPARE(rows, 3);
        test::WindowFixture::snapshot(w, QStringLiteral("rollcall-three"));
    }
};

RC_TEST_CLASS(NetGridTest)

#include "test_netgrid.moc"
