// The optional skin: x/o.cjs in the program's folder.
#include "form/Form1.h"
#include "listfiles/SkinFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace {

bool takesWindowColour(const QWidget *control)
{
    return qobject_cast<const QRadioButton *>(control) || qobject_cast<const QCheckBox *>(control)
        || qobject_cast<const QGroupBox *>(control) || qobject_cast<const QLabel *>(control);
}

} // namespace

void Form1::applySkin()
{
    const QString separator = QDir::separator();
    const QString skinPath = m_applicationFolder + separator + QStringLiteral("x") + separator + QStringLiteral("o.cjs");
    if (!isListedOrdinaryFile(skinPath))
        return;
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    const QColor buttonText = QApplication::palette().color(QPalette::ButtonText);
    setBackColor(this, buttonFace, buttonText);
    for (QWidget *control : findChildren<QWidget *>())
        if (takesWindowColour(control))
            setBackColor(control, buttonFace, buttonText);
    SkinFramework1.loadSkin(skinPath, QString());
    SkinFramework1.setOptions(SkinFramework1.options() | SkinFramework::ApplyToWindow);
    SkinFramework1.setUseBaseStyle(true);
    SkinFramework1.setSkinDialogs(true);
    SkinFramework1.applyTo(this);
}
