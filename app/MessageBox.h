#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

class QWidget;

// Every message box of the program opens here, so that a test can answer the next ones ahead of
// time instead of waiting for a modal box to appear.
namespace MessageBox {

struct Box {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Shows the box modally on parent and returns the button that closed it.
QMessageBox::StandardButton Show(QWidget* parent, const Box& box);

// For tests: the next box is not shown but answered at once with answer; calls queue up, one
// answer per box. answered() lists the boxes answered that way.
void setNextAnswer(QMessageBox::StandardButton answer);
QList<Box> answered();
// Forgets unused answers and the answered boxes.
void resetAnswers();

} // namespace MessageBox
