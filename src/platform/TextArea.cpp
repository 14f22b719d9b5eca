#include "platform/TextArea.h"

#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextCursor>

TextArea::TextArea(QWidget *parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    setUndoRedoEnabled(true);
    viewport()->setMouseTracking(true);
}

QString TextArea::text() const
{
    // The raw text keeps non-breaking spaces, which toPlainText() would turn
    // into plain spaces; blocks are separated by U+2029.
    QString raw = document()->toRawText();
    return raw.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
}

void TextArea::setText(const QString &text)
{
    setPlainText(withEditorLineBreaks(text));
}

void TextArea::appendText(const QString &text)
{
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(withEditorLineBreaks(text));
}

QString TextArea::withEditorLineBreaks(QString text)
{
    if (!text.contains(u'\r'))
        return text;
    static const QRegularExpression lineBreak(QStringLiteral("\r\n?"));
    return text.replace(lineBreak, QStringLiteral("\n"));
}

void TextArea::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText())
        insertPlainText(withEditorLineBreaks(source->text()));
    else
        QPlainTextEdit::insertFromMimeData(source);
}

void TextArea::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved();
    QPlainTextEdit::mouseMoveEvent(event);
}

void TextArea::mousePressEvent(QMouseEvent *event)
{
    emit mousePressed(event->button());
    QPlainTextEdit::mousePressEvent(event);
}
