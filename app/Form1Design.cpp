// The window design: every control with its caption, place, size, colours and font.
#include "app/Form1.h"

#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>

namespace {

// The design is measured in twips; 15 twips make one logical pixel at 96 dpi.
QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

const QColor kNavy(0, 0, 128);
const QColor kYellow(255, 255, 0);

// The design's captions were measured in a narrow sans-serif face; a metric-compatible one keeps
// them whole ("Humidty / Pressure  / Vis." is cut off in wider faces), else the platform's own.
QFont designFont(qreal pointSize, bool bold) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), font.family()});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

// Read as PNG outright: left to guess the format, Qt would load every image format plugin first.
QPixmap pngPixmap(const QString& path) {
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

void paintYellowOnNavy(QWidget* control) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, kYellow);
    palette.setColor(QPalette::Window, kNavy);
    control->setPalette(palette);
}

template <typename Control, typename... Args>
Control* place(QWidget* parent, const char* name, QRect rect, Args&&... args) {
    auto* control = new Control(std::forward<Args>(args)..., parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(rect);
    return control;
}

QLabel* yellowLabel(QWidget* parent, const char* name, QRect rect, const QString& caption) {
    auto* label = place<QLabel>(parent, name, rect, caption);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAutoFillBackground(false);
    paintYellowOnNavy(label);
    return label;
}

template <typename Button>
Button* yellowButton(QWidget* parent, const char* name, QRect rect, const QString& caption) {
    auto* button = place<Button>(parent, name, rect, caption);
    paintYellowOnNavy(button);
    return button;
}

// On Linux Qt names a combo box by its current text, so a screen reader would announce the hour
// box as "09". Here the boxes keep their name and give the current text as their value; their
// children are Qt's own: the pop-up list and, when editable, the text field.
class NamedComboBox final : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? box()->currentText() : QAccessibleWidget::text(kind);
    }
    int childCount() const override { return int(parts().size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QObject*> all = parts();
        return index >= 0 && index < all.size() ? QAccessible::queryAccessibleInterface(all[index])
                                                : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child ? int(parts().indexOf(child->object())) : -1;
    }
    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction())
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
    QList<QObject*> parts() const {
        QList<QObject*> all{box()->view()};
        if (box()->lineEdit())
            all.append(box()->lineEdit());
        return all;
    }
};

// The pop-up list keeps the current row selected, as it shows it when open: that is where a
// screen reader reads a named box's value.
void selectCurrentInList(QComboBox* box) {
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [box](int index) {
        box->view()->setCurrentIndex(box->model()->index(index, box->modelColumn()));
    });
}

// Every combo box of the program is named; the interface is made when the box is created, before
// its name is set, so it cannot depend on the name.
QAccessibleInterface* namedComboBoxes(const QString& className, QObject* object) {
    auto* box = qobject_cast<QComboBox*>(object);
    return className == QLatin1String("QComboBox") && box ? new NamedComboBox(box) : nullptr;
}

// What a screen reader says for an input control; labels keep their text as their name, so that
// the report labels announce each new text.
void describe(QWidget* control, const QString& name, const QString& description) {
    control->setAccessibleName(name);
    control->setAccessibleDescription(description);
}

// The option group is one tab stop, the selected button, so Space there never changes the units.
void oneTabStopOnTheSelected(std::initializer_list<QRadioButton*> group) {
    for (QRadioButton* button : group) {
        const auto follow = [button](bool selected) {
            button->setFocusPolicy(selected ? Qt::StrongFocus : Qt::ClickFocus);
        };
        follow(button->isChecked());
        QObject::connect(button, &QRadioButton::toggled, button, follow);
    }
}

QComboBox* timeBox(QWidget* parent, const char* name, QRect rect, const QString& designText) {
    auto* box = place<QComboBox>(parent, name, rect);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // Typed text stands as typed: completion would turn "1" into "10" and "5" into "50".
    box->setCompleter(nullptr);
    box->setEditText(designText);
    return box;
}

} // namespace

void Form1::designWindow() {
    // The icon lives in this static library's resources, which the linker would otherwise drop.
    Q_INIT_RESOURCE(nimbrel);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Nimbrel"));
    // Fixed dialog frame: close box only, no taskbar button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(5010 / 15, 4830 / 15);
    setFont(designFont(8.25, false));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kNavy);
    setPalette(palette);
    setAutoFillBackground(true);
    QIcon sun;
    for (const QString& path :
         {QStringLiteral(":/nimbrel/nimbrel.png"), QStringLiteral(":/nimbrel/nimbrel-16.png")})
        sun.addPixmap(pngPixmap(path));
    setWindowIcon(sun);
}

void Form1::createControls() {
    [[maybe_unused]] static const bool namedBoxes =
        (QAccessible::installFactory(&namedComboBoxes), true);
    Label1 = yellowLabel(this, "Label1", twips(120, 0, 1695, 255), QStringLiteral("ZIP code"));
    Location = place<QLineEdit>(this, "Location", twips(120, 240, 2175, 285));
    Label2 =
        yellowLabel(this, "Label2", twips(2400, 0, 1815, 255), QStringLiteral("Greeting Message"));
    Greeting = place<QLineEdit>(this, "Greeting", twips(2400, 240, 2535, 285));
    VoiceCB = place<QComboBox>(this, "VoiceCB", twips(120, 600, 2175, 315));
    VoiceCB->setEditable(false);
    List1 = place<QListView>(this, "List1", twips(2400, 600, 2535, 1410));
    List1->setModel(&m_core.schedule());
    List1->setSelectionMode(QAbstractItemView::NoSelection);

    Option1 = yellowButton<QRadioButton>(this, "Option1", twips(120, 960, 2175, 255),
                                         QStringLiteral("Standard (F/mi)"));
    Option2 = yellowButton<QRadioButton>(this, "Option2", twips(120, 1200, 2175, 255),
                                         QStringLiteral("Metric (C/km)"));
    Option1->setChecked(true);
    oneTabStopOnTheSelected({Option1, Option2});
    Check3 = yellowButton<QCheckBox>(this, "Check3", twips(120, 1440, 2175, 195),
                                     QStringLiteral("City Location"));
    Check2 = yellowButton<QCheckBox>(this, "Check2", twips(120, 1680, 2175, 195),
                                     QStringLiteral("Today's Forecast"));
    Check1 = yellowButton<QCheckBox>(this, "Check1", twips(120, 1920, 2175, 195),
                                     QStringLiteral("Wind Conditions"));
    Check5 = yellowButton<QCheckBox>(this, "Check5", twips(120, 2160, 2295, 195),
                                     QStringLiteral("Humidty / Pressure  / Vis."));
    Check4 = yellowButton<QCheckBox>(this, "Check4", twips(120, 2400, 2175, 195),
                                     QStringLiteral("Sunrise / Sunset"));

    Combo1 = timeBox(this, "Combo1", twips(2640, 2040, 615, 315), QStringLiteral("Hour"));
    Label3 = yellowLabel(this, "Label3", twips(3120, 2280, 255, 375), QStringLiteral(":"));
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label3->setFont(designFont(13.5, true));
    Combo2 = timeBox(this, "Combo2", twips(3360, 2040, 615, 315), QStringLiteral("Mins"));
    Combo3 = timeBox(this, "Combo3", twips(4080, 2040, 615, 315), QStringLiteral("AM/PM"));
    Command1 =
        place<QPushButton>(this, "Command1", twips(2520, 2400, 975, 315), QStringLiteral("&Add"));
    Command2 = place<QPushButton>(this, "Command2", twips(3840, 2400, 975, 315),
                                  QStringLiteral("&Remove"));

    CityFound = yellowLabel(this, "CityFound", twips(120, 2640, 1935, 255), QString());
    CityFound->setFont(designFont(9.75, true));
    txtWeather = yellowLabel(this, "txtWeather", twips(120, 2880, 4815, 1335), QString());
    txtWeather->setWordWrap(true);
    txtWeather->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    txtWeather->setTextFormat(Qt::PlainText);
    CityFound->setTextFormat(Qt::PlainText);

    SpeakItBtn = place<QPushButton>(this, "SpeakItBtn", twips(1320, 4320, 1095, 375),
                                    QStringLiteral("&Test"));
    SpeakItBtn->setDefault(true);
    cmdSave =
        place<QPushButton>(this, "cmdSave", twips(2520, 4320, 1095, 375), QStringLiteral("&Okay"));
    ExitBtn =
        place<QPushButton>(this, "ExitBtn", twips(3720, 4320, 1095, 375), QStringLiteral("E&xit"));
    for (QPushButton* button : {Command1, Command2, SpeakItBtn, cmdSave, ExitBtn})
        button->setAutoDefault(false);

    Label1->setBuddy(Location);
    Label2->setBuddy(Greeting);
    describe(Location, QStringLiteral("ZIP code"),
             QStringLiteral("The US ZIP code of the weather report, stored by Okay"));
    describe(Greeting, QStringLiteral("Greeting message"),
             QStringLiteral("Said at the start of every report"));
    describe(VoiceCB, QStringLiteral("Voice"), QStringLiteral("The voice that speaks the report"));
    describe(Combo1, QStringLiteral("Hour"), QStringLiteral("Hour of a new announcement time"));
    describe(Combo2, QStringLiteral("Minutes"),
             QStringLiteral("Minutes of a new announcement time"));
    describe(Combo3, QStringLiteral("AM or PM"),
             QStringLiteral("Morning or afternoon of a new announcement time"));
    for (QComboBox* box : {VoiceCB, Combo1, Combo2, Combo3})
        selectCurrentInList(box);
    describe(List1, QStringLiteral("Announcement times"),
             QStringLiteral("Tick times, then press Remove to delete them"));

    // Labels take no focus and their text cannot be selected; the rest follow the design's tab
    // order, and the first control has the focus when the window is first shown.
    for (QLabel* label : {Label1, Label2, Label3, CityFound, txtWeather}) {
        label->setFocusPolicy(Qt::NoFocus);
        label->setTextInteractionFlags(Qt::NoTextInteraction);
    }
    const QList<QWidget*> tabOrder = {
        SpeakItBtn, cmdSave,  Location, Greeting, VoiceCB, Option1, Option2, Combo1, Combo2, Combo3,
        Command1,   Command2, List1,    ExitBtn,  Check1,  Check2,  Check3,  Check4, Check5};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    SpeakItBtn->setFocus();
}
