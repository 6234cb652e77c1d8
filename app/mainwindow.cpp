#include "app/mainwindow.h"

#include "app/cursorfile.h"
#include "app/errorreport.h"
#include "app/progressbar.h"
#include "app/pushbutton.h"
#include "convert/bitrate.h"
#include "convert/paths.h"
#include "filelist/filelistview.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QUrl>
#include <cmath>
#include <cstdlib>

namespace {

// Layout is designed in twips; 15 twips make one pixel.
constexpr int Px(int twips)
{
    return twips / 15;
}

QRect Twips(int left, int top, int width, int height)
{
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

QFont WindowFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont ButtonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

void Place(QWidget* widget, const QString& name, const QRect& geometry)
{
    widget->setObjectName(name);
    widget->setGeometry(geometry);
}

PushButton* NewButton(const QString& caption, const QString& name, QWidget* parent,
                      const QRect& geometry)
{
    auto* created = new PushButton(caption, parent);
    Place(created, name, geometry);
    created->setFont(ButtonFont());
    return created;
}

} // namespace

MainWindow::MainWindow(MainWindowEnvironment environment, QWidget* parent)
    : QWidget(parent), m_env(std::move(environment))
{
    m_appTitle = ProductTitle();
    createControls();
    connectHandlers();
}

MainWindow::~MainWindow() = default;

QString MainWindow::ProductTitle()
{
    return QStringLiteral("Tunepress Studio");
}

QStringList MainWindow::BitrateEntries()
{
    return Bitrate::BitrateEntries();
}

void MainWindow::createControls()
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(Px(8040), Px(7545));
    setFont(WindowFont());
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setMouseTracking(true);

    topOfWindowButton = new QPushButton(QStringLiteral("Command1"), this);
    Place(topOfWindowButton, QStringLiteral("topOfWindowButton"), Twips(-720, 2640, 615, 495));
    // The button lies outside the window to hold the focus when it opens, so a screen reader
    // lands on it first and must hear where it is rather than the button's design name.
    topOfWindowButton->setAccessibleName(QStringLiteral("Top of the window"));
    topOfWindowButton->setAccessibleDescription(
        QStringLiteral("Press Tab to reach the list of MIDI files"));

    fileList = new FileListView(this);
    Place(fileList, QStringLiteral("fileList"), Twips(120, 120, 7800, 2535));

    progressBar = new ProgressBar(this);
    Place(progressBar, QStringLiteral("progressBar"), Twips(120, 7020, 7800, 405));
    progressBar->setText(QStringLiteral("Progress Bar"));
    progressBar->SetValue(0);
    progressBar->setAccessibleName(QStringLiteral("Progress Bar"));

    bitrateFrame = new QGroupBox(QStringLiteral("KBPS"), this);
    Place(bitrateFrame, QStringLiteral("bitrateFrame"), Twips(120, 3710, 7800, 800));
    bitrateBox = new QComboBox(bitrateFrame);
    Place(bitrateBox, QStringLiteral("bitrateBox"), Twips(240, 300, 7335, 345));
    bitrateBox->setAccessibleName(QStringLiteral("KBPS"));

    addFilesButton = NewButton(QStringLiteral("Add MIDI File(s)"), QStringLiteral("addFilesButton"),
                               this, Twips(120, 2750, 3840, 405));
    addFolderButton =
        NewButton(QStringLiteral("Add All MIDI File(s) In Folder"),
                  QStringLiteral("addFolderButton"), this, Twips(4080, 2750, 3840, 405));
    startButton = NewButton(QStringLiteral("Start Converting"), QStringLiteral("startButton"), this,
                            Twips(120, 6500, 7800, 405));
    clearListButton = NewButton(QStringLiteral("Clear List"), QStringLiteral("clearListButton"),
                                this, Twips(120, 3260, 3840, 405));
    samplesButton = NewButton(QStringLiteral("Load Sample/Example Files"),
                              QStringLiteral("samplesButton"), this, Twips(4080, 3260, 3840, 405));

    createSaveOptions();
    orderAndTrackControls();
}

void MainWindow::createSaveOptions()
{
    saveOptionFrame = new QGroupBox(QStringLiteral("Save Option"), this);
    Place(saveOptionFrame, QStringLiteral("saveOptionFrame"), Twips(120, 4560, 7800, 1815));
    outputFolderFrame = new QGroupBox(saveOptionFrame);
    Place(outputFolderFrame, QStringLiteral("outputFolderFrame"), Twips(480, 510, 6840, 810));
    outputFolderBox = new QLineEdit(outputFolderFrame);
    Place(outputFolderBox, QStringLiteral("outputFolderBox"), Twips(240, 300, 5670, 345));
    outputFolderBox->setAccessibleName(QStringLiteral("Output folder"));
    browseButton = NewButton(QStringLiteral("..."), QStringLiteral("browseButton"),
                             outputFolderFrame, Twips(6000, 300, 600, 345));
    browseButton->setAccessibleName(QStringLiteral("Browse for the output folder"));
    saveToFolderOption =
        new QRadioButton(QStringLiteral("Save results to this folder:"), saveOptionFrame);
    Place(saveToFolderOption, QStringLiteral("saveToFolderOption"), Twips(240, 300, 3615, 255));
    saveToFolderOption->setChecked(true);
    saveBesideSourceOption = new QRadioButton(
        QStringLiteral("Save results in folder of original file"), saveOptionFrame);
    Place(saveBesideSourceOption, QStringLiteral("saveBesideSourceOption"),
          Twips(240, 1410, 3615, 255));
}

void MainWindow::orderAndTrackControls()
{
    // Tab order as designed: topOfWindowButton first, so it holds the focus when the window opens.
    const QList<QWidget*> tabOrder{
        topOfWindowButton, fileList,       progressBar,        bitrateFrame,
        bitrateBox,        addFilesButton, addFolderButton,    startButton,
        clearListButton,   samplesButton,  saveOptionFrame,    outputFolderFrame,
        outputFolderBox,   browseButton,   saveToFolderOption, saveBesideSourceOption};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    topOfWindowButton->setFocus();

    for (QWidget* tracked :
         {static_cast<QWidget*>(saveOptionFrame), static_cast<QWidget*>(bitrateFrame),
          static_cast<QWidget*>(outputFolderFrame), static_cast<QWidget*>(outputFolderBox),
          static_cast<QWidget*>(saveToFolderOption), static_cast<QWidget*>(saveBesideSourceOption),
          static_cast<QWidget*>(bitrateBox), static_cast<QWidget*>(progressBar)}) {
        tracked->setMouseTracking(true);
        tracked->installEventFilter(this);
    }
}

void MainWindow::connectHandlers()
{
    connect(bitrateBox, &QComboBox::currentIndexChanged, this, &MainWindow::bitrateClicked);
    connect(bitrateBox, &QComboBox::editTextChanged, this, &MainWindow::bitrateChanged);
    connect(outputFolderBox, &QLineEdit::textChanged, this, &MainWindow::outputFolderEdited);
    connect(saveToFolderOption, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            saveToFolderChosen();
    });
    connect(saveBesideSourceOption, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            saveBesideSourceChosen();
    });

    connect(addFilesButton, &QPushButton::clicked, this, &MainWindow::addFiles);
    connect(startButton, &QPushButton::clicked, this, &MainWindow::startConverting);
    connect(addFolderButton, &QPushButton::clicked, this, &MainWindow::addAllFilesInFolder);
    connect(clearListButton, &QPushButton::clicked, this, &MainWindow::clearList);
    connect(samplesButton, &QPushButton::clicked, this, &MainWindow::loadSamples);
    connect(browseButton, &QPushButton::clicked, this, &MainWindow::browseForOutputFolder);
    for (PushButton* pushButton : {addFilesButton, startButton, addFolderButton, clearListButton,
                                   samplesButton, browseButton})
        connect(pushButton, &PushButton::mouseMoved, this, &MainWindow::buttonHovered);
    connectFileList();
}

tp::ErrorReporter MainWindow::reporter()
{
    return [this](const QString& description, const QString& location, int line) {
        ShowApplicationError(dialogs(), description, location, line);
    };
}

tp::ErrorTrap MainWindow::trap(const QString& procedure)
{
    return tp::ErrorTrap(tp::WindowLocation(procedure), reporter());
}

QString MainWindow::SetAppTitle(const QString& productTitle)
{
    QString title = productTitle;
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            throw tp::ApplicationError(QStringLiteral("Invalid procedure call or argument"));
        title.truncate(blank);
    } while (title.size() > 40);
    return title;
}

void MainWindow::ApplySkin()
{
    const QString skin = programFolder() + QStringLiteral("/x/o.cjs");
    if (!Paths::FileExists(skin))
        return;
    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(buttonFace);
    for (QWidget* child :
         {static_cast<QWidget*>(saveToFolderOption), static_cast<QWidget*>(saveBesideSourceOption),
          static_cast<QWidget*>(saveOptionFrame), static_cast<QWidget*>(bitrateFrame),
          static_cast<QWidget*>(outputFolderFrame)})
        child->setPalette(buttonFace);
    skinFramework.LoadSkin(skin, QString());
    skinFramework.setOptions(skinFramework.Options() | 1);
    skinFramework.setApplyOptions(true);
    skinFramework.setAutoApplyNewWindows(true);
    skinFramework.ApplyWindow(this);
}

QString MainWindow::DefaultOutputFolder() const
{
    const QString desktop = m_env.desktopFolder ? m_env.desktopFolder() : QString();
    if (desktop.isEmpty())
        throw tp::ApplicationError(QStringLiteral("The desktop folder cannot be found"));
    return desktop + Platform::NativeSeparator;
}

void MainWindow::setOptionValue(QRadioButton* option, bool selected)
{
    // Clearing a selected option must leave both cleared, as a stored pair may say.
    option->setAutoExclusive(selected);
    option->setChecked(selected);
    option->setAutoExclusive(true);
}

void MainWindow::startUp()
{
    tp::ErrorTrap trap = this->trap(QStringLiteral("Form_Load"));
    trap.at(100, [&] { ApplySkin(); });
    trap.at(102, [&] {
        setWindowTitle(ProductTitle());
        setWindowIcon(QIcon(programFolder() + QStringLiteral("/tunepress-studio.png")));
        m_appTitle = SetAppTitle(ProductTitle());
    });
    const QString cursorFile = programFolder() + QStringLiteral("/HAND-M.CUR");
    bool cursorPresent = false;
    trap.at(104, [&] { cursorPresent = Paths::FileExists(cursorFile); });
    if (cursorPresent)
        trap.at(106, [&] { m_mouseIcon = LoadCursorFile(cursorFile); });
    trap.at(108, [&] {
        const double fraction = m_env.randomFraction ? m_env.randomFraction() : 0.0;
        const int draw = static_cast<int>(std::floor(fraction * 100)) + 1;
        if (draw == 7)
            dialogs().openUrl(QUrl(QStringLiteral(TUNEPRESS_WEBSITE_URL)));
    });
    trap.at(132, [&] { fileList->setHeaderLabels({QStringLiteral("MIDI File(s)")}); });
    trap.at(134, [&] { fileList->header()->resizeSection(0, Px(7000)); });
    const QStringList entries = BitrateEntries();
    for (int i = 0; i < entries.size(); ++i)
        trap.at(136 + 2 * i, [&] {
            const QSignalBlocker quiet(bitrateBox);
            bitrateBox->addItem(entries[i]);
            bitrateBox->setCurrentIndex(-1);
        });
    trap.at(172, [&] {
        const QString stored = settings().GetSetting(SettingKeys::Kbps, SettingDefaults::Kbps);
        const int index = bitrateBox->findText(stored, Qt::MatchExactly);
        if (index < 0)
            throw tp::ApplicationError(QStringLiteral("Invalid property value"));
        bitrateBox->setCurrentIndex(index);
    });
    trap.at(174, [&] {
        const QString fallback = DefaultOutputFolder();
        outputFolderBox->setText(settings().GetSetting(SettingKeys::OutputFolder, fallback));
    });
    trap.at(176, [&] {
        setOptionValue(saveToFolderOption,
                       ReadBoolean(settings().GetSetting(SettingKeys::SaveToFolder,
                                                         SettingDefaults::SaveToFolder)));
    });
    trap.at(178, [&] {
        setOptionValue(saveBesideSourceOption,
                       ReadBoolean(settings().GetSetting(SettingKeys::SaveBesideSource,
                                                         SettingDefaults::SaveBesideSource)));
    });
    bool saveToFolder = false;
    trap.at(180, [&] { saveToFolder = saveToFolderOption->isChecked(); });
    if (saveToFolder)
        trap.at(182, [&] { outputFolderFrame->setEnabled(true); });
    else
        trap.at(184, [&] { outputFolderFrame->setEnabled(false); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Closing ends the program at once, also in the middle of long work; every setting was
    // already saved when it changed.
    event->accept();
    settings().sync();
    std::_Exit(0);
}
