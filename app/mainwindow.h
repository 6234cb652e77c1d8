#pragma once

#include "app/settings.h"
#include "app/skinframework.h"
#include "convert/applicationerror.h"
#include "convert/dialogs.h"

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
class FileListView;
class ProgressBar;
class PushButton;

// What the main window is given from outside: its dialogs, its settings store, the random
// source of the start-up visit and the folder that holds the program's own files.
struct MainWindowEnvironment
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
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(MainWindowEnvironment environment, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: runs before the window is first shown.
    void startUp();

    // The window's pointer, which is also its busy marker (Pointer::Hourglass).
    int mousePointer() const { return m_mousePointer; }
    void setMousePointer(int pointer);
    const std::optional<QCursor>& mouseIcon() const { return m_mouseIcon; }

    QString appTitle() const { return m_appTitle; }
    bool isConverting() const { return m_converting; }

    // Controls, named as the window's design names them.
    QPushButton* topOfWindowButton = nullptr;
    FileListView* fileList = nullptr;
    ProgressBar* progressBar = nullptr;
    QGroupBox* saveOptionFrame = nullptr;
    QGroupBox* bitrateFrame = nullptr;
    QGroupBox* outputFolderFrame = nullptr;
    QComboBox* bitrateBox = nullptr;
    PushButton* addFilesButton = nullptr;
    PushButton* startButton = nullptr;
    PushButton* addFolderButton = nullptr;
    PushButton* clearListButton = nullptr;
    PushButton* samplesButton = nullptr;
    PushButton* browseButton = nullptr;
    QLineEdit* outputFolderBox = nullptr;
    QRadioButton* saveToFolderOption = nullptr;
    QRadioButton* saveBesideSourceOption = nullptr;
    SkinFramework skinFramework;

    // Click handlers of the push buttons.
    void addFiles();
    void startConverting();
    void addAllFilesInFolder();
    void clearList();
    void loadSamples();
    void browseForOutputFolder();

    // Change handlers of the output options.
    void bitrateChanged();
    void bitrateClicked();
    void outputFolderEdited();
    void saveToFolderChosen();
    void saveBesideSourceChosen();

    // Pointer handlers.
    void windowHovered();
    void saveOptionFrameHovered();
    void bitrateFrameHovered();
    void outputFolderFrameHovered();
    void outputFolderBoxHovered();
    void buttonHovered();

    // The file list's handlers.
    void fileListKeyPressed(int keyCode, Qt::KeyboardModifiers shift);
    void fileListDoubleClicked();
    void fileListPressed();
    void fileListItemClicked(QTreeWidgetItem* item);
    void fileListMouseMoved(const QPoint& viewportPosition);
    void fileListReleased();
    void fileListDragMoved(const QMimeData* data, Qt::DropAction& effect);
    void fileListDropped(const QMimeData* data);

    // The list's own pointer, shown over the list while the window's pointer is the default.
    int fileListPointer() const { return m_fileListPointer; }
    void setFileListPointer(int pointer);
    const std::optional<QCursor>& fileListPointerIcon() const { return m_fileListIcon; }

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
    // The checks before a run, lines 100 to 106; a run turned away says why and ends.
    bool mayStartConverting(tp::ErrorTrap& trap);
    void createControls();
    void createSaveOptions();
    // Tab order as designed, and the controls whose pointer moves the window follows.
    void orderAndTrackControls();
    void connectHandlers();
    void connectFileList();
    void ApplySkin();
    QString DefaultOutputFolder() const;
    void applyPointer();
    void hoverReset();
    void setOptionValue(QRadioButton* option, bool selected);
    void saveOptions();

    MainWindowEnvironment m_env;
    int m_mousePointer = Pointer::Default;
    std::optional<QCursor> m_mouseIcon;
    QHash<QWidget*, std::optional<QCursor>> m_ownCursors;
    QString m_appTitle;

    // The conversion run's guard against a second start.
    bool m_converting = false;

    // Reordering state of the file list.
    bool m_reordering = false;
    QPersistentModelIndex m_draggedEntry;
    QPersistentModelIndex m_entryUnderPointer;
    int m_fileListPointer = Pointer::Default;
    std::optional<QCursor> m_fileListIcon;
};
