#include "app/Form1.h"

#include "app/MessageBox.h"
#include "app/Module2.h"
#include "report/Inet.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLockFile>
#include <QPushButton>
#include <QRadioButton>

Form1::Form1(Form1Deps deps, QWidget* parent)
    : QWidget(parent)
    , m_deps(std::move(deps))
    , DataDir(m_deps.documentsDir + QStringLiteral("/Nimbrel"))
    , m_settings(DataDir) {
    if (!m_deps.quit)
        m_deps.quit = [] { QCoreApplication::exit(0); };
    designWindow();
    Inet1 = new Inet(m_deps.fetch, m_deps.fetchTimeout, this);
    Inet1->setObjectName(QStringLiteral("Inet1"));
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(Inet1, &Inet::StateChanged, this, &Form1::Inet1_StateChanged);
    // Both timers run from the window's creation, shown or hidden; the minute of the creation
    // is not examined.
    Timer1.start();
    m_scheduleClock.startAt(m_deps.clock->currentDateTime());
    armTimer2();
}

Form1::~Form1() = default;

void Form1::connectEvents() {
    for (const SectionBox& row : kSectionBoxes)
        connect(this->*row.box, &QCheckBox::stateChanged, this,
                [this, file = row.file](int state) { SectionBox_Click(file, state); });
    // What is typed counts at once for the report, though it is stored only on "&Okay" or after
    // a lookup.
    connect(Location, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_settings.setZip(text); });
    connect(Greeting, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_settings.setGreeting(text); });
    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option1_Click();
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option2_Click();
    });
    connect(VoiceCB, &QComboBox::currentIndexChanged, this, &Form1::VoiceCB_Click);
    connect(cmdSave, &QPushButton::clicked, this, &Form1::cmdSave_Click);
    connect(SpeakItBtn, &QPushButton::clicked, this, &Form1::SpeakItBtn_Click);
    connect(ExitBtn, &QPushButton::clicked, this, &Form1::ExitBtn_Click);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
}

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
