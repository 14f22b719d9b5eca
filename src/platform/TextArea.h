#pragma once

#include <QPlainTextEdit>

// A multi-line text box: both scroll bars always shown, no wrapping, no
// length limit, Tab moves the focus on. Its text speaks CR LF: a line break
// typed, pasted or set as LF, CR or CR LF is shown as one line break, and
// every line break is given back as CR LF.
class TextArea : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TextArea(QWidget *parent);

    QString text() const;
    void setText(const QString &text);
    void appendText(const QString &text);

    // Every CR LF, lone CR and lone LF of a text turned into one LF.
    static QString withEditorLineBreaks(QString text);

signals:
    void mouseMoved();
    void mousePressed(Qt::MouseButton button);

protected:
    void insertFromMimeData(const QMimeData *source) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};
