#pragma once

#include "app/Form1Deps.h"
#include "appcore/AppCore.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;

// The program's one window: the design, and the bindings between its controls and the
// application core, which holds the state and decides. Tests reach the controls by their design
// names (findChild).
class Form1 final : public QWidget {
    Q_OBJECT

public:
    explicit Form1(Form1Deps deps, QWidget* parent = nullptr);
    ~Form1() override;

    // The load step: runs once before the window is first shown. Returns false when another
    // instance is running, in which case the program must end at once.
    bool Form_Load();

    AppCore& core() { return m_core; }
    const QString& dataDir() const { return m_core.dataDir(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // The controls are built when the window is first shown: a start in the tray needs none.
    void setVisible(bool visible) override;
    void moveEvent(QMoveEvent* event) override;

private:
    // Which check box switches which report section.
    struct SectionBox {
        QCheckBox* Form1::*box;
        Settings::File file;
    };
    static const std::array<SectionBox, 5> kSectionBoxes;

    void designWindow();
    void createControls();
    // Builds the controls and shows in them what the core holds.
    void buildControls();
    void centreOnScreen();
    // Puts the window in the notification area; whether it was hidden there.
    bool addTrayIcon();
    void connectEvents();
    void connectCore();

    void VoiceCB_Click();
    void cmdSave_Click();
    void SpeakItBtn_Click();
    void ExitBtn_Click();
    void Form_QueryUnload();
    // An announcement of the clock failed: nobody watches the window then, so the desktop's
    // notification service tells it, or the window is shown where none answers.
    void tellFailure(const QString& message);
    void showNotice(AppCore::Notice kind, const QString& text);

    // Controls, named as in the window design.
    QLabel* Label1 = nullptr;
    QLineEdit* Location = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Greeting = nullptr;
    QComboBox* VoiceCB = nullptr;
    QListView* List1 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check5 = nullptr;
    QCheckBox* Check4 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* Combo2 = nullptr;
    QComboBox* Combo3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* CityFound = nullptr;
    QLabel* txtWeather = nullptr;
    QPushButton* SpeakItBtn = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* ExitBtn = nullptr;

    Form1Deps m_deps;
    AppCore m_core;
    // Centred when first shown, and again once the window manager's frame is known.
    enum class Centring {
        BeforeFirstShow,
        AwaitingFrame,
        Done
    } m_centring = Centring::BeforeFirstShow;
};
