#include "app/Form1.h"
#include "app/Module2.h"
#include "tests/support/RecordingSpeechEngine.h"

#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

Form1Deps depsIn(const QTemporaryDir& dir, int* quitCount) {
    Form1Deps deps;
    deps.documentsDir = dir.path();
    deps.runtimeDir = dir.path();
    deps.feedHost = QStringLiteral("127.0.0.1:9");
    deps.createSpeechEngine = [] { return std::make_unique<RecordingSpeechEngine>(); };
    deps.quit = [quitCount] { ++*quitCount; };
    return deps;
}

// Answers the next message box with the given button once it is shown; NoButton answers with
// Enter, which presses the default button.
void answerNextMessageBox(QMessageBox::StandardButton answer, QString* seenText) {
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        *seenText = box->text();
        QCOMPARE(box->icon(), QMessageBox::Question);
        if (answer == QMessageBox::NoButton)
            QTest::keyClick(box, Qt::Key_Return);
        else
            box->button(answer)->click();
    });
}

} // namespace

class TrayTest final : public QObject {
    Q_OBJECT

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
        QVERIFY(!Module2::AddTrayIcon(QIcon(), QStringLiteral("Nimbrel 1.61"), &window));
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
    }
    void activationShowsTheWindow() {
        QFETCH(int, reason);
        QFETCH(bool, minimised);
        QFETCH(bool, shown);
        QWidget window;
        Module2::AddTrayIcon(QIcon(), QStringLiteral("tip"), &window);
        QSystemTrayIcon* icon = Module2::trayIcon();
        QVERIFY(icon);
        if (minimised)
            window.showMinimized();
        else
            window.hide();
        Q_EMIT icon->activated(static_cast<QSystemTrayIcon::ActivationReason>(reason));
        QCOMPARE(window.isVisible() && !window.isMinimized(), shown);
        QCOMPARE(Module2::trayIcon(), icon); // the icon stays while the window is shown
    }

    void repeatedAddsKeepOneIconWithTheFirstTip() {
        QWidget window;
        Module2::AddTrayIcon(QIcon(), QStringLiteral("first"), &window);
        Module2::AddTrayIcon(QIcon(), QStringLiteral("second"), &window);
        Module2::AddTrayIcon(QIcon(), QStringLiteral("third"), &window);
        QCOMPARE(window.findChildren<QSystemTrayIcon*>().size(), 1);
        QCOMPARE(Module2::trayIcon()->toolTip(), QStringLiteral("first"));
        Module2::RemoveTrayIcon();
        QVERIFY(!Module2::trayIcon());
        QCOMPARE(window.findChildren<QSystemTrayIcon*>().size(), 0);
        Module2::RemoveTrayIcon(); // no icon: no effect
    }

    void exitAnsweredNoChangesNothingThenEnterEnds() {
        QTemporaryDir dir;
        int quits = 0;
        Form1 form(depsIn(dir, &quits));
        QVERIFY(form.Form_Load());
        Module2::AddTrayIcon(form.windowIcon(), form.windowTitle(), &form);
        form.show();

        QString text;
        answerNextMessageBox(QMessageBox::No, &text);
        auto* exitButton = form.findChild<QPushButton*>(QStringLiteral("ExitBtn"));
        exitButton->click();
        QCOMPARE(text, QStringLiteral("Are you sure you want to exit Nimbrel?"));
        QCOMPARE(quits, 0);
        QVERIFY(form.isVisible());
        QVERIFY(Module2::trayIcon());
        QVERIFY(form.Timer1.isActive());
        QVERIFY(form.Timer2.isActive());

        answerNextMessageBox(QMessageBox::NoButton, &text); // Enter: Yes is the default
        exitButton->click();
        QCOMPARE(quits, 1);
        QVERIFY(!Module2::trayIcon());
    }

    void closeBoxEndsTheProgram() {
        QTemporaryDir dir;
        int quits = 0;
        Form1 form(depsIn(dir, &quits));
        QVERIFY(form.Form_Load());
        Module2::AddTrayIcon(form.windowIcon(), form.windowTitle(), &form);
        form.show();
        QVERIFY(form.close());
        QCOMPARE(quits, 1);
        QVERIFY(!Module2::trayIcon());
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
