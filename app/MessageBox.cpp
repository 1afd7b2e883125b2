#include "app/MessageBox.h"

#include <QAbstractButton>

namespace MessageBox {
namespace {
QList<QMessageBox::StandardButton> g_nextAnswers;
QList<Box> g_answered;
} // namespace

QMessageBox::StandardButton Show(QWidget* parent, const Box& box) {
    if (!g_nextAnswers.isEmpty()) {
        g_answered.append(box);
        return g_nextAnswers.takeFirst();
    }
    QMessageBox shown(box.icon, box.title, box.text, box.buttons, parent);
    shown.setDefaultButton(box.defaultButton);
    if (shown.exec() == -1)
        return QMessageBox::Cancel;
    return shown.standardButton(shown.clickedButton());
}

void setNextAnswer(QMessageBox::StandardButton answer) {
    g_nextAnswers.append(answer);
}

QList<Box> answered() {
    return g_answered;
}

void resetAnswers() {
    g_nextAnswers.clear();
    g_answered.clear();
}

} // namespace MessageBox
