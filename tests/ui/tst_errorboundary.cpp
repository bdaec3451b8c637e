// The workbench's one error boundary: whatever a command throws is one message box, with the
// error icon for a failure, and nothing goes on into Qt's event loop.
#include "MessageBox.h"
#include "Modal.h"
#include "WindowTest.h"
#include "boq/BidCheckWindow.h"
#include "data/DataModule.h"
#include "daywork/DayworkEditorWindow.h"
#include "support/TestSupport.h"

#include <QPushButton>
#include <QTest>

using namespace tenvora;
using namespace tenvora::ui;

Q_DECLARE_METATYPE(std::function<void()>)

class TestErrorBoundary : public QObject {
    Q_OBJECT
private slots:
    void init() { test::BeginWindowTest(); }
    void cleanup() {
        MessageBox::takeShown();
        MessageBox::takeErrors();
    }

    void eachFailureIsOneBox_data() {
        QTest::addColumn<std::function<void()>>("action");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("error");
        QTest::newRow("a refusal") << std::function<void()>([] { throw Refused(QStringLiteral("不允许增加")); })
                                   << QStringList{QStringLiteral("不允许增加")} << false;
        QTest::newRow("a rejected statement")
            << std::function<void()>([] { throw StatementError(QStringLiteral("no such table: x")); })
            << QStringList{QStringLiteral("SQL语句错误!")} << true;
        QTest::newRow("the file failing")
            << std::function<void()>([] { throw StorageError(QStringLiteral("数据文件 a.tr 所在的磁盘空间已满")); })
            << QStringList{QStringLiteral("数据文件 a.tr 所在的磁盘空间已满")} << true;
        QTest::newRow("any other error") << std::function<void()>([] { throw Error(QStringLiteral("无法写入")); })
                                         << QStringList{QStringLiteral("无法写入")} << true;
        QTest::newRow("a library's exception") << std::function<void()>([] { throw std::bad_alloc(); })
                                               << QStringList{QStringLiteral("std::bad_alloc")} << true;
        QTest::newRow("the user was told already")
            << std::function<void()>([] { throw ActionAbandoned(); }) << QStringList() << false;
    }

    void eachFailureIsOneBox() {
        QFETCH(std::function<void()>, action);
        QFETCH(QStringList, shown);
        QFETCH(bool, error);
        QVERIFY(!Guarded(nullptr, action));
        QCOMPARE(MessageBox::takeShown(), shown);
        QCOMPARE(MessageBox::takeErrors(), error ? shown : QStringList());
        QVERIFY(Guarded(nullptr, [] {}));
    }

    // Store failures inside windows reach the user as one box each, from the window's own slots.
    void aStoreFailureInAWindowIsOneErrorBox() {
        test::TempDataFile file(true);
        auto dm = file.open();
        dm->LoadCurrentContract();
        dm->database().exec(QStringLiteral("ALTER TABLE Jl_ContractList RENAME TO gone"));
        const QStringList once{QStringLiteral("SQL语句错误!")};
        {
            DayworkEditorWindow daywork(*dm);
            QCOMPARE(MessageBox::takeErrors(), once);
            QCOMPARE(MessageBox::takeShown(), once);
        }
        BidCheckWindow check(*dm);
        QCOMPARE(MessageBox::takeErrors(), once);
        QCOMPARE(MessageBox::takeShown(), once);
        // Again from a button: the click returns normally, with one box.
        const QList<QPushButton*> buttons = check.findChildren<QPushButton*>();
        for (QPushButton* b : buttons)
            if (b->text().startsWith(QStringLiteral("重新检查")))
                QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(MessageBox::takeErrors(), once);
        QCOMPARE(MessageBox::takeShown(), once);
    }
};

QTEST_MAIN(TestErrorBoundary)
#include "tst_errorboundary.moc"
