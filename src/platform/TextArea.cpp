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
    // into plain spaces; blocks are separated by U+2029. One pass, so that the
    // time grows with the text, not with the lines times the text.
    const QString raw = document()->toRawText();
    const qsizetype breaks = raw.count(QChar::ParagraphSeparator);
    if (breaks == 0)
        return raw;
    QString text;
    text.reserve(raw.size() + breaks);
    qsizetype from = 0;
    for (qsizetype at; (at = raw.indexOf(QChar::ParagraphSeparator, from)) >= 0; from = at + 1)
        text.append(QStringView(raw).sliced(from, at - from)).append(u"\r\n");
    text.append(QStringView(raw).sliced(from));
    return text;
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
