#pragma once

#include <QGroupBox>

// A frame with its caption in the top border line, the line passing behind
// the caption, as classic desktop frames draw it. A skin that styles frames
// draws them its own way.
class Frame : public QGroupBox
{
    Q_OBJECT

public:
    Frame(const QString &caption, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};
