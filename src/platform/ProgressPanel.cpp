#include "platform/ProgressPanel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ProgressPanel::ProgressPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ProgressPanel"));
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setAlignment(Qt::AlignCenter);
    m_label = new QLabel(this);
    m_label->setAlignment(Qt::AlignCenter);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 1000);
    m_bar->setFormat(QStringLiteral("%p%"));
    auto *cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("ProgressCancel"));
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addWidget(cancel, 0, Qt::AlignCenter);
    connect(cancel, &QPushButton::clicked, this, &ProgressPanel::cancelled);
    hide();
}

void ProgressPanel::showOver(const QRect &area, const QString &what)
{
    setGeometry(area);
    m_label->setText(what);
    m_bar->setValue(0);
    setAccessibleName(what);
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
}

void ProgressPanel::setPermille(int permille)
{
    m_bar->setValue(permille);
}

void ProgressPanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        emit cancelled();
        return;
    }
    QWidget::keyPressEvent(event);
}
