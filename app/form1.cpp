#include "app/form1.h"
#include "convert/bit.h"

#include "app/cursorfile.h"
#include "app/errorreport.h"
#include "app/progressbar.h"
#include "app/pushbutton.h"
#include "convert/main_paths.h"
#include "filelist/listview1.h"

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

} // namespace

Form1::Form1(Form1Environment environment, QWidget* parent)
    : QWidget(parent), m_env(std::move(environment))
{
    m_appTitle = ProductTitle();
    createControls();
    connectHandlers();
}

Form1::~Form1() = default;

QString Form1::ProductTitle()
{
    return QStringLiteral("Tunepress Studio");
}

QStringList Form1::BitrateEntries()
{
    return Bit::BitrateEntries();
}

void Form1::createControls()
{
    setObjectName(QStringLiteral("Form1"));
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

    auto place = [](QWidget* widget, const QString& name, const QRect& geometry) {
        widget->setObjectName(name);
        widget->setGeometry(geometry);
    };

    Command1 = new QPushButton(QStringLiteral("Command1"), this);
    place(Command1, QStringLiteral("Command1"), Twips(-720, 2640, 615, 495));
    // The button lies outside the window to hold the focus when it opens, so a screen reader
    // lands on it first and must hear where it is rather than the button's design name.
    Command1->setAccessibleName(QStringLiteral("Top of the window"));
    Command1->setAccessibleDescription(QStringLiteral("Press Tab to reach the list of MIDI files"));

    listView1 = new ListView1(this);
    place(listView1, QStringLiteral("ListView1"), Twips(120, 120, 7800, 2535));

    ProgressBar1 = new ProgressBar(this);
    place(ProgressBar1, QStringLiteral("ProgressBar1"), Twips(120, 7020, 7800, 405));
    ProgressBar1->setText(QStringLiteral("Progress Bar"));
    ProgressBar1->SetValue(0);
    ProgressBar1->setAccessibleName(QStringLiteral("Progress Bar"));

    Frame2 = new QGroupBox(QStringLiteral("KBPS"), this);
    place(Frame2, QStringLiteral("Frame2"), Twips(120, 3710, 7800, 800));
    Combo1 = new QComboBox(Frame2);
    place(Combo1, QStringLiteral("Combo1"), Twips(240, 300, 7335, 345));
    Combo1->setAccessibleName(QStringLiteral("KBPS"));

    auto button = [&](const QString& caption, const QString& name, QWidget* parent,
                      const QRect& geometry) {
        auto* created = new PushButton(caption, parent);
        place(created, name, geometry);
        created->setFont(ButtonFont());
        return created;
    };
    PushButton1 = button(QStringLiteral("Add MIDI File(s)"), QStringLiteral("PushButton1"), this,
                         Twips(120, 2750, 3840, 405));
    PushButton3 = button(QStringLiteral("Add All MIDI File(s) In Folder"),
                         QStringLiteral("PushButton3"), this, Twips(4080, 2750, 3840, 405));
    PushButton2 = button(QStringLiteral("Start Converting"), QStringLiteral("PushButton2"), this,
                         Twips(120, 6500, 7800, 405));
    PushButton4 = button(QStringLiteral("Clear List"), QStringLiteral("PushButton4"), this,
                         Twips(120, 3260, 3840, 405));
    PushButton5 = button(QStringLiteral("Load Sample/Example Files"), QStringLiteral("PushButton5"),
                         this, Twips(4080, 3260, 3840, 405));

    Frame1 = new QGroupBox(QStringLiteral("Save Option"), this);
    place(Frame1, QStringLiteral("Frame1"), Twips(120, 4560, 7800, 1815));
    Frame3 = new QGroupBox(Frame1);
    place(Frame3, QStringLiteral("Frame3"), Twips(480, 510, 6840, 810));
    Text1 = new QLineEdit(Frame3);
    place(Text1, QStringLiteral("Text1"), Twips(240, 300, 5670, 345));
    Text1->setAccessibleName(QStringLiteral("Output folder"));
    PushButton7 = button(QStringLiteral("..."), QStringLiteral("PushButton7"), Frame3,
                         Twips(6000, 300, 600, 345));
    PushButton7->setAccessibleName(QStringLiteral("Browse for the output folder"));
    Option1 = new QRadioButton(QStringLiteral("Save results to this folder:"), Frame1);
    place(Option1, QStringLiteral("Option1"), Twips(240, 300, 3615, 255));
    Option1->setChecked(true);
    Option2 = new QRadioButton(QStringLiteral("Save results in folder of original file"), Frame1);
    place(Option2, QStringLiteral("Option2"), Twips(240, 1410, 3615, 255));

    // Tab order as designed: Command1 first, so it holds the focus when the window opens.
    const QList<QWidget*> tabOrder{Command1,    listView1,   ProgressBar1, Frame2,
                                   Combo1,      PushButton1, PushButton3,  PushButton2,
                                   PushButton4, PushButton5, Frame1,       Frame3,
                                   Text1,       PushButton7, Option1,      Option2};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    Command1->setFocus();

    for (QWidget* tracked : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                             static_cast<QWidget*>(Frame3), static_cast<QWidget*>(Text1),
                             static_cast<QWidget*>(Option1), static_cast<QWidget*>(Option2),
                             static_cast<QWidget*>(Combo1), static_cast<QWidget*>(ProgressBar1)}) {
        tracked->setMouseTracking(true);
        tracked->installEventFilter(this);
    }
}

void Form1::connectHandlers()
{
    connect(Combo1, &QComboBox::currentIndexChanged, this, &Form1::Combo1_Click);
    connect(Combo1, &QComboBox::editTextChanged, this, &Form1::Combo1_Change);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option1_Click();
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option2_Click();
    });

    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    for (PushButton* pushButton :
         {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton7})
        connect(pushButton, &PushButton::mouseMoved, this, &Form1::PushButton_MouseMove);
    connectListView1();
}

tp::ErrorReporter Form1::reporter()
{
    return [this](const QString& description, const QString& location, int line) {
        ShowApplicationError(dialogs(), description, location, line);
    };
}

tp::ErrorTrap Form1::trap(const QString& procedure)
{
    return tp::ErrorTrap(tp::FormLocation(procedure), reporter());
}

QString Form1::SetAppTitle(const QString& productTitle)
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

void Form1::ApplySkin()
{
    const QString skin = programFolder() + QStringLiteral("/x/o.cjs");
    if (!Main::FileExists(skin))
        return;
    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(buttonFace);
    for (QWidget* child : {static_cast<QWidget*>(Option1), static_cast<QWidget*>(Option2),
                           static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                           static_cast<QWidget*>(Frame3)})
        child->setPalette(buttonFace);
    SkinFramework1.LoadSkin(skin, QString());
    SkinFramework1.setOptions(SkinFramework1.Options() | 1);
    SkinFramework1.setApplyOptions(true);
    SkinFramework1.setAutoApplyNewWindows(true);
    SkinFramework1.ApplyWindow(this);
}

QString Form1::DefaultOutputFolder() const
{
    const QString desktop = m_env.desktopFolder ? m_env.desktopFolder() : QString();
    if (desktop.isEmpty())
        throw tp::ApplicationError(QStringLiteral("The desktop folder cannot be found"));
    return desktop + Platform::NativeSeparator;
}

void Form1::setOptionValue(QRadioButton* option, bool selected)
{
    // Clearing a selected option must leave both cleared, as a stored pair may say.
    option->setAutoExclusive(selected);
    option->setChecked(selected);
    option->setAutoExclusive(true);
}

void Form1::Form_Load()
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
    trap.at(104, [&] { cursorPresent = Main::FileExists(cursorFile); });
    if (cursorPresent)
        trap.at(106, [&] { m_mouseIcon = LoadCursorFile(cursorFile); });
    trap.at(108, [&] {
        const double fraction = m_env.randomFraction ? m_env.randomFraction() : 0.0;
        const int draw = static_cast<int>(std::floor(fraction * 100)) + 1;
        if (draw == 7)
            dialogs().openUrl(QUrl(QStringLiteral(TUNEPRESS_WEBSITE_URL)));
    });
    trap.at(132, [&] { listView1->setHeaderLabels({QStringLiteral("MIDI File(s)")}); });
    trap.at(134, [&] { listView1->header()->resizeSection(0, Px(7000)); });
    const QStringList entries = BitrateEntries();
    for (int i = 0; i < entries.size(); ++i)
        trap.at(136 + 2 * i, [&] {
            const QSignalBlocker quiet(Combo1);
            Combo1->addItem(entries[i]);
            Combo1->setCurrentIndex(-1);
        });
    trap.at(172, [&] {
        const QString stored = settings().GetSetting(SettingKeys::Kbps, SettingDefaults::Kbps);
        const int index = Combo1->findText(stored, Qt::MatchExactly);
        if (index < 0)
            throw tp::ApplicationError(QStringLiteral("Invalid property value"));
        Combo1->setCurrentIndex(index);
    });
    trap.at(174, [&] {
        const QString fallback = DefaultOutputFolder();
        Text1->setText(settings().GetSetting(SettingKeys::OutputFolder, fallback));
    });
    trap.at(176, [&] {
        setOptionValue(Option1, ReadBoolean(settings().GetSetting(SettingKeys::Option1,
                                                                  SettingDefaults::Option1)));
    });
    trap.at(178, [&] {
        setOptionValue(Option2, ReadBoolean(settings().GetSetting(SettingKeys::Option2,
                                                                  SettingDefaults::Option2)));
    });
    bool option1 = false;
    trap.at(180, [&] { option1 = Option1->isChecked(); });
    if (option1)
        trap.at(182, [&] { Frame3->setEnabled(true); });
    else
        trap.at(184, [&] { Frame3->setEnabled(false); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Form1::closeEvent(QCloseEvent* event)
{
    // Closing ends the program at once, also in the middle of long work; every setting was
    // already saved when it changed.
    event->accept();
    settings().sync();
    std::_Exit(0);
}
