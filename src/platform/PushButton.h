#pragma once

#include <QPushButton>

// The window's push button: caption in Arial 11.25 pt bold, button-text
// colour on white, the same look for every button. Reports clicks and every
// mouse move over it. Space and Enter both press it when it has the focus.
class PushButton : public QPushButton
{
    Q_OBJECT

public:
    PushButton(const QString &caption, QWidget *parent);

signals:
    void mouseMoved();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};
