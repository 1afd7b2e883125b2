#include "app/Form1.h"

#include "app/MessageBox.h"
#include "app/Module2.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>

Form1::Form1(Form1Deps deps, QWidget* parent)
    : QWidget(parent)
    , m_deps(std::move(deps))
    , m_core(m_deps, this) {
    if (!m_deps.quit)
        m_deps.quit = [] { QCoreApplication::exit(0); };
    designWindow();
    connectCore();
}

Form1::~Form1() = default;

void Form1::setVisible(bool visible) {
    if (visible && !SpeakItBtn)
        buildControls();
    QWidget::setVisible(visible);
}

void Form1::keyPressEvent(QKeyEvent* event) {
    // "&Test" is the default button: Enter presses it unless a button has the focus.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget()))
            focused->animateClick();
        else if (SpeakItBtn->isEnabled())
            SpeakItBtn->animateClick();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_centring == Centring::BeforeFirstShow) {
        m_centring = Centring::AwaitingFrame;
        centreOnScreen();
    }
}

void Form1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The window manager moves the window into its frame after mapping it; only then is the outer
    // size known. Without a window manager there is no frame and the first centring stands.
    if (m_centring == Centring::AwaitingFrame && frameGeometry() != geometry()) {
        m_centring = Centring::Done;
        centreOnScreen();
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_QueryUnload();
}

void Form1::Form_QueryUnload() {
    Module2::RemoveTrayIcon();
    m_deps.quit();
}

void Form1::ExitBtn_Click() {
    // No title of its own: the application's title stands over the question.
    const auto answer =
        MessageBox::Show(this, {QMessageBox::Question, QGuiApplication::applicationDisplayName(),
                                QStringLiteral("Are you sure you want to exit Nimbrel?"),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes});
    if (answer == QMessageBox::Yes)
        close();
}
