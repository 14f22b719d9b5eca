#pragma once

#include <QString>

class QWidget;

// Draws a window in a skin. Our skin format is a Qt style sheet in UTF-8.
class SkinFramework
{
public:
    enum Option {
        ApplyToWindow = 1, // applyTo() styles the window it is given
    };

    // Loads the skin from a file; iniFileName names a section of the file to
    // use, and an empty name takes the whole file (the only kind we have).
    // Raises a Failure when the file cannot be read or is not UTF-8.
    void loadSkin(const QString &path, const QString &iniFileName);

    int options() const { return m_options; }
    void setOptions(int options) { m_options = options; }

    // Draws the skin over our one fixed base style, whatever style the
    // desktop would have chosen.
    void setUseBaseStyle(bool on) { m_useBaseStyle = on; }
    // Also skins dialogs and message boxes that have no parent window.
    void setSkinDialogs(bool on) { m_skinDialogs = on; }

    void applyTo(QWidget *window);

    QString styleSheet() const { return m_styleSheet; }

private:
    QString m_styleSheet;
    int m_options = 0;
    bool m_useBaseStyle = false;
    bool m_skinDialogs = false;
};
