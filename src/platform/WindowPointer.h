#pragma once

#include <QCursor>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

// The window's mouse pointer state: 0 the standard pointer of whatever lies
// under it, 11 the hourglass over the whole window, 99 the custom image. The
// custom image shows over the window and the hand targets (its buttons);
// without an image the standard arrow shows there.
class WindowPointer
{
public:
    enum State { Default = 0, Busy = 11, Custom = 99 };

    explicit WindowPointer(QWidget &window);

    int state() const { return m_state; }
    void setState(int state);

    void setHandTargets(const QList<QWidget *> &targets) { m_handTargets = targets; }
    void setCustomImage(const QCursor &image) { m_customImage = image; }
    bool hasCustomImage() const { return m_customImage.has_value(); }

private:
    struct SavedCursor
    {
        QPointer<QWidget> widget;
        std::optional<QCursor> cursor;
    };

    void showBusy();
    void endBusy();
    void showCustom(bool on);

    QWidget &m_window;
    int m_state = Default;
    QList<QWidget *> m_handTargets;
    std::optional<QCursor> m_customImage;
    QList<SavedCursor> m_cursorsBeforeBusy;
};
