#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// Shows, over a part of the window, how far long work has come, with a
// Cancel button; Escape cancels too. It takes the keyboard focus while it
// shows and covers what lies under it, so that nothing there changes
// meanwhile. It draws in the window's colours and skin.
class ProgressPanel : public QWidget
{
    Q_OBJECT

public:
    explicit ProgressPanel(QWidget *parent);

    // Shows the panel over the given area of its parent.
    void showOver(const QRect &area, const QString &what);
    void setPermille(int permille);

signals:
    void cancelled();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *m_label = nullptr;
    QProgressBar *m_bar = nullptr;
};
