#include "app/MessageBox.h"
#include "app/Module2.h"
#include "tests/support/TestWindow.h"

#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <memory>

class TrayTest final : public QObject {
    Q_OBJECT

    static constexpr int kShowNimbrel = -1; // not an activation: the menu's first item

private Q_SLOTS:
    void cleanup() { Module2::RemoveTrayIcon(); }

    void decodesMouseMessages_data() {
        QTest::addColumn<int>("message");
        QTest::addColumn<int>("code");
        QTest::newRow("left press") << 513 << 3;
        QTest::newRow("left double-click") << 515 << 1;
        QTest::newRow("right press") << 516 << 2;
        QTest::newRow("mouse move") << 512 << 0;
        QTest::newRow("left release") << 514 << 0;
        QTest::newRow("right release") << 517 << 0;
        QTest::newRow("middle press") << 519 << 0;
        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("negative") << -513 << 0;
    }
    void decodesMouseMessages() {
        QFETCH(int, message);
        QFETCH(int, code);
        QCOMPARE(Module2::DecodeTrayMessage(message), code);
    }

    void withoutNotificationAreaTheWindowStaysShown() {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        QWidget window;
        window.show();
        QVERIFY(!Module2::AddTrayIcon(QIcon(), QStringLiteral("Nimbrel 1.61"), &window, {}));
        QVERIFY(window.isVisible());
    }

    void activationShowsTheWindow_data() {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("minimised");
        QTest::addColumn<bool>("shown");
        const std::pair<const char*, QSystemTrayIcon::ActivationReason> reasons[] = {
            {"left press", QSystemTrayIcon::Trigger},
            {"double-click", QSystemTrayIcon::DoubleClick},
            {"right press", QSystemTrayIcon::Context},
            {"middle click", QSystemTrayIcon::MiddleClick},
            {"unknown", QSystemTrayIcon::Unknown}};
        for (const auto& [name, reason] : reasons) {
            const bool shows =
                reason != QSystemTrayIcon::MiddleClick && reason != QSystemTrayIcon::Unknown;
            QTest::addRow("%s, hidden", name) << int(reason) << false << shows;
            QTest::addRow("%s, minimised", name) << int(reason) << true << shows;
        }
        // The menu of hosts that show one instead of passing a right click on.
        QTest::newRow("menu's Show Nimbrel, hidden") << kShowNimbrel << false << true;
        QTest::newRow("menu's Show Nimbrel, minimised") << kShowNimbrel << true << true;
    }
    void activationShowsTheWindow() {
        QFETCH(int, reason);
        QFETCH(bool, minimised);
        QFETCH(bool, shown);
        QWidget window;
        Module2::AddTrayIcon(QIcon(), QStringLiteral("tip"), &window, {});
        auto* icon = window.findChild<QSystemTrayIcon*>();
        QVERIFY(icon);
        if (minimised)
            window.showMinimized();
        else
            window.hide();
        int exits = 0;
        const std::unique_ptr<QMenu> menu(Module2::TrayMenu(&window, [&exits] { ++exits; }));
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]->text(), QStringLiteral("Show Nimbrel"));
        QCOMPARE(items[1]->text(), QStringLiteral("Exit"));
        if (reason == kShowNimbrel)
            items[0]->trigger();
        else
            Q_EMIT icon->activated(static_cast<QSystemTrayIcon::ActivationReason>(reason));
        QCOMPARE(window.isVisible() && !window.isMinimized(), shown);
        QCOMPARE(exits, 0);
        items[1]->trigger();
        QCOMPARE(exits, 1); // "Exit" asks; the question ends the program or not
        QCOMPARE(window.findChild<QSystemTrayIcon*>(), icon); // the icon stays while shown
    }

    void repeatedAddsKeepOneIconWithTheFirstTip() {
        QWidget window;
        Module2::AddTrayIcon(QIcon(), QStringLiteral("first"), &window, {});
        Module2::AddTrayIcon(QIcon(), QStringLiteral("second"), &window, {});
        Module2::AddTrayIcon(QIcon(), QStringLiteral("third"), &window, {});
        QCOMPARE(window.findChildren<QSystemTrayIcon*>().size(), 1);
        QCOMPARE(window.findChild<QSystemTrayIcon*>()->toolTip(), QStringLiteral("first"));
        Module2::RemoveTrayIcon();
        QCOMPARE(window.findChildren<QSystemTrayIcon*>().size(), 0);
        Module2::RemoveTrayIcon(); // no icon: no effect
    }

    void exitAnsweredNoChangesNothingThenTheDefaultEnds() {
        TestWindow rig;
        QVERIFY(rig.loaded);
        Form1& form = *rig.form;
        Module2::AddTrayIcon(form.windowIcon(), form.windowTitle(), &form, {});
        form.show();

        MessageBox::setNextAnswer(QMessageBox::No);
        rig.control<QPushButton>("ExitBtn")->click();
        QCOMPARE(MessageBox::answered().size(), 1);
        const MessageBox::Box question = MessageBox::answered().constFirst();
        QCOMPARE(question.text, QStringLiteral("Are you sure you want to exit Nimbrel?"));
        QCOMPARE(question.icon, QMessageBox::Question);
        QCOMPARE(question.defaultButton, QMessageBox::Yes); // what Enter presses
        QCOMPARE(rig.quits, 0);
        QVERIFY(form.isVisible());
        QVERIFY(form.findChild<QSystemTrayIcon*>());
        QVERIFY(rig.control<QTimer>("Timer1")->isActive());
        QVERIFY(rig.control<QTimer>("Timer2")->isActive());

        MessageBox::setNextAnswer(question.defaultButton);
        rig.control<QPushButton>("ExitBtn")->click();
        QCOMPARE(rig.quits, 1);
        QVERIFY(!form.findChild<QSystemTrayIcon*>());
    }

    void closeBoxEndsTheProgram() {
        TestWindow rig;
        QVERIFY(rig.loaded);
        Form1& form = *rig.form;
        Module2::AddTrayIcon(form.windowIcon(), form.windowTitle(), &form, {});
        form.show();
        QVERIFY(form.close());
        QCOMPARE(rig.quits, 1);
        QVERIFY(!form.findChild<QSystemTrayIcon*>());
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
