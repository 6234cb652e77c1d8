#pragma once

#include <QString>

class QWidget;

// Loads the window skin, a Qt style sheet kept beside the program, and applies it to a window
// in the order the start-up expects: load, option flags, the two switches, then the window.
class SkinFramework
{
public:
    // Loads the skin file; throws tp::ApplicationError when it cannot be read.
    void LoadSkin(const QString& path, const QString& iniName);
    int Options() const { return m_options; }
    void setOptions(int options) { m_options = options; }
    void setApplyOptions(bool on) { m_applyOptions = on; }
    void setAutoApplyNewWindows(bool on) { m_autoApplyNewWindows = on; }
    // Skins the window and everything on it; throws when no skin was loaded.
    void ApplyWindow(QWidget* window);

    bool applyOptions() const { return m_applyOptions; }
    bool autoApplyNewWindows() const { return m_autoApplyNewWindows; }
    const QString& styleSheet() const { return m_styleSheet; }

private:
    QString m_styleSheet;
    int m_options = 0;
    bool m_applyOptions = false;
    bool m_autoApplyNewWindows = false;
};
