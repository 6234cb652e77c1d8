#pragma once

#include "app/settings.h"
#include "app/skinframework.h"
#include "convert/dialogs.h"
#include "convert/errortrap.h"

#include <QCursor>
#include <QHash>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QMimeData;
class QPushButton;
class QRadioButton;
class QTreeWidgetItem;
class ListView1;
class ProgressBar;
class PushButton;

// What the main window is given from outside: its dialogs, its settings store, the random
// source of the start-up visit and the folder that holds the program's own files.
struct Form1Environment
{
    tp::Dialogs* dialogs = nullptr;
    SettingsStore* settings = nullptr;
    // A random fraction in [0, 1).
    std::function<double()> randomFraction;
    QString programFolder;
    // The desktop folder, or "" when it cannot be resolved.
    std::function<QString()> desktopFolder;
};

// Pointer values of the main window and the list.
namespace Pointer {
inline constexpr int Default = 0;
inline constexpr int Arrow = 1;
inline constexpr int Hourglass = 11;
inline constexpr int Custom = 99;

// The cursor a pointer value shows: the icon (or the fallback without one) for Custom, nothing
// for Default, which leaves each control its own.
std::optional<QCursor> Shape(int pointer, const std::optional<QCursor>& icon,
                             Qt::CursorShape customFallback);
} // namespace Pointer

// The main window. Its event handlers carry the control's name and the event's name.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(Form1Environment environment, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: runs before the window is first shown.
    void Form_Load();

    // The window's pointer, which is also its busy marker (Pointer::Hourglass).
    int MousePointer() const { return m_mousePointer; }
    void setMousePointer(int pointer);
    const std::optional<QCursor>& MouseIcon() const { return m_mouseIcon; }

    QString appTitle() const { return m_appTitle; }
    bool isConverting() const { return IsConverting; }

    // Controls, named as the window's design names them.
    QPushButton* Command1 = nullptr;
    ListView1* listView1 = nullptr;
    ProgressBar* ProgressBar1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QComboBox* Combo1 = nullptr;
    PushButton* PushButton1 = nullptr;
    PushButton* PushButton2 = nullptr;
    PushButton* PushButton3 = nullptr;
    PushButton* PushButton4 = nullptr;
    PushButton* PushButton5 = nullptr;
    PushButton* PushButton7 = nullptr;
    QLineEdit* Text1 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    SkinFramework SkinFramework1;

    // Click handlers of the push buttons.
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton7_Click();

    // Change handlers of the output options.
    void Combo1_Change();
    void Combo1_Click();
    void Text1_Change();
    void Option1_Click();
    void Option2_Click();

    // Pointer handlers.
    void Form_MouseMove();
    void Frame1_MouseMove();
    void Frame2_MouseMove();
    void Frame3_MouseMove();
    void Text1_MouseMove();
    void PushButton_MouseMove();

    // The file list's handlers.
    void ListView1_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void ListView1_DblClick();
    void ListView1_MouseDown();
    void ListView1_ItemClick(QTreeWidgetItem* item);
    void ListView1_MouseMove(const QPoint& viewportPosition);
    void ListView1_MouseUp();
    void ListView1_OLEDragOver(const QMimeData* data, Qt::DropAction& effect);
    void ListView1_OLEDragDrop(const QMimeData* data);

    // The list's own pointer, shown over the list while the window's pointer is the default.
    int ListView1_MousePointer() const { return m_listView1Pointer; }
    void setListView1MousePointer(int pointer);
    const std::optional<QCursor>& ListView1_MouseIcon() const { return m_listView1Icon; }

    // The settings, the dialogs and the program folder the window works with.
    SettingsStore& settings() const { return *m_env.settings; }
    tp::Dialogs& dialogs() const { return *m_env.dialogs; }
    const QString& programFolder() const { return m_env.programFolder; }

    // The standard failure report for a trapped operation of this window.
    tp::ErrorTrap trap(const QString& procedure);
    tp::ErrorReporter reporter();

    // The application title cut from a product title; throws when it cannot be cut.
    static QString SetAppTitle(const QString& productTitle);
    static QString ProductTitle();
    static QStringList BitrateEntries();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    void connectListView1();
    void ApplySkin();
    QString DefaultOutputFolder() const;
    void applyPointer();
    void hoverReset();
    void setOptionValue(QRadioButton* option, bool selected);
    void saveOptions();

    Form1Environment m_env;
    int m_mousePointer = Pointer::Default;
    std::optional<QCursor> m_mouseIcon;
    QHash<QWidget*, std::optional<QCursor>> m_ownCursors;
    QString m_appTitle;

    // The conversion run's guard against a second start.
    bool IsConverting = false;

    // Reordering state of the file list.
    bool Dragging = false;
    QPersistentModelIndex DragItem;
    QPersistentModelIndex HitItem;
    int m_listView1Pointer = Pointer::Default;
    std::optional<QCursor> m_listView1Icon;
};
