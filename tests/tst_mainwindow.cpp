#include "app/mainwindow.h"
#include "app/progressbar.h"
#include "app/pushbutton.h"
#include "app/userenvironment.h"
#include "filelist/filelistview.h"
#include "testwindow.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <limits>
#include <type_traits>

namespace {

// How many of a bar's own value, range and text calls a caller can reach: each is a way to
// change or read what the bar shows past SetValue and setText.
template <typename Bar> constexpr int ReachableOwnCalls()
{
    const auto reaches = [](auto call) { return int(std::is_invocable_v<decltype(call), Bar&>); };
    return reaches([](auto& bar) -> decltype(bar.setValue(1), void()) {}) +
           reaches([](auto& bar) -> decltype(bar.value(), void()) {}) +
           reaches([](auto& bar) -> decltype(bar.text(), void()) {}) +
           reaches([](auto& bar) -> decltype(bar.setRange(0, 1), void()) {}) +
           reaches([](auto& bar) -> decltype(bar.reset(), void()) {}) +
           reaches([](auto& bar) -> decltype(bar.setFormat(QString()), void()) {});
}
static_assert(ReachableOwnCalls<QProgressBar>() == 6);
static_assert(ReachableOwnCalls<ProgressBar>() == 0);

QString LoadReport(const ScriptedDialogs& dialogs, int line)
{
    for (const auto& shown : dialogs.messages())
        if (shown.text.contains(QStringLiteral("in Tunepress2021/08/31.Form1.Form_Load at line ") +
                                QString::number(line) + QStringLiteral("\r\r")))
            return shown.text;
    return QString();
}

// A program folder without the optional files.
QString EmptyProgramFolder(const QTemporaryDir& folder)
{
    const QString path = folder.filePath(QStringLiteral("program"));
    QDir().mkpath(path);
    return path;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstStartRestoresDefaultsAndWritesThemBack();
    void storedChoicesAreRestored();
    void everyBitrateIsStoredAndRestoredExactly_data();
    void everyBitrateIsStoredAndRestoredExactly();
    void optionPairBothFalseLeavesBothCleared();
    void badStoredValuesAreReportedWithTheirLine_data();
    void badStoredValuesAreReportedWithTheirLine();
    void emptyStoredOutputFolderStaysEmpty();
    void unresolvableDesktopReportsLine174AndLeavesFolderEmpty();
    void layoutMatchesTheDesign_data();
    void layoutMatchesTheDesign();
    void windowIsFixedAndFocusStartsOnHiddenButton();
    void hiddenButtonTellsScreenReadersWhereTheyAre();
    void bitrateListHoldsTheEighteenEntriesInOrder();
    void appTitleIsCutAtLastBlank_data();
    void appTitleIsCutAtLastBlank();
    void webVisitOnlyOnDrawOfSeven_data();
    void webVisitOnlyOnDrawOfSeven();
    void skinAppliesOnlyWhenTheFileIsThere();
    void pointerFollowsTheHoverRules();
    void hourglassIsLeftAloneByHoverHandlers();
    void progressBarShowsItsValueClampedAndItsText_data();
    void progressBarShowsItsValueClampedAndItsText();
    void changeHandlersWriteStraightBack();
    void desktopFallsBackToHomeWhenThereIsNoDesktopFolder();
};

void TestMainWindow::firstStartRestoresDefaultsAndWritesThemBack()
{
    TestWindow t;
    MainWindow& form = t.load();
    QCOMPARE(t.dialogs.messages().size(), 0);
    QCOMPARE(form.bitrateBox->currentText(), QStringLiteral("48 kbps"));
    QCOMPARE(form.outputFolderBox->text(), t.desktop + QStringLiteral("/"));
    QVERIFY(form.saveToFolderOption->isChecked());
    QVERIFY(!form.saveBesideSourceOption->isChecked());
    QVERIFY(form.outputFolderFrame->isEnabled());
    QCOMPARE(t.settings->GetSetting(SettingKeys::Kbps, QStringLiteral("absent")),
             QStringLiteral("48 kbps"));
    QCOMPARE(t.settings->GetSetting(SettingKeys::OutputFolder, QStringLiteral("absent")),
             t.desktop + QStringLiteral("/"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Tunepress Studio"));
    QCOMPARE(form.appTitle(), QStringLiteral("Tunepress"));
    QCOMPARE(form.fileList->headerItem()->text(0), QStringLiteral("MIDI File(s)"));
    QCOMPARE(form.fileList->header()->sectionSize(0), 7000 / 15);
    QCOMPARE(form.fileList->count(), 0);
}

void TestMainWindow::storedChoicesAreRestored()
{
    TestWindow t;
    t.settings->SaveSetting(SettingKeys::Kbps, QStringLiteral("320 kbps"));
    t.settings->SaveSetting(SettingKeys::OutputFolder, QStringLiteral("/srv/out"));
    t.settings->SaveSetting(SettingKeys::SaveToFolder, QStringLiteral("False"));
    t.settings->SaveSetting(SettingKeys::SaveBesideSource, QStringLiteral("True"));
    MainWindow& form = t.load();
    QCOMPARE(t.dialogs.messages().size(), 0);
    QCOMPARE(form.bitrateBox->currentText(), QStringLiteral("320 kbps"));
    QCOMPARE(form.outputFolderBox->text(), QStringLiteral("/srv/out"));
    QVERIFY(!form.saveToFolderOption->isChecked());
    QVERIFY(form.saveBesideSourceOption->isChecked());
    QVERIFY(!form.outputFolderFrame->isEnabled());
}

void TestMainWindow::everyBitrateIsStoredAndRestoredExactly_data()
{
    QTest::addColumn<int>("index");
    const QStringList entries = MainWindow::BitrateEntries();
    QCOMPARE(entries.size(), 18);
    for (int i = 0; i < entries.size(); ++i)
        QTest::newRow(qPrintable(entries[i])) << i;
}

void TestMainWindow::everyBitrateIsStoredAndRestoredExactly()
{
    QFETCH(int, index);
    const QString entry = MainWindow::BitrateEntries().at(index);
    TestWindow t;
    t.load().bitrateBox->setCurrentIndex(index);
    QCOMPARE(t.settings->GetSetting(SettingKeys::Kbps, QString()), entry);
    // A new window reads the stored entry back; "8 kbps" is part of "128 kbps" and "48 kbps".
    MainWindow& form = t.load();
    QCOMPARE(t.dialogs.messages().size(), 0);
    QCOMPARE(form.bitrateBox->currentIndex(), index);
    QCOMPARE(form.bitrateBox->currentText(), entry);
}

void TestMainWindow::optionPairBothFalseLeavesBothCleared()
{
    TestWindow t;
    t.settings->SaveSetting(SettingKeys::SaveToFolder, QStringLiteral("0"));
    t.settings->SaveSetting(SettingKeys::SaveBesideSource, QStringLiteral("false"));
    MainWindow& form = t.load();
    QVERIFY(!form.saveToFolderOption->isChecked());
    QVERIFY(!form.saveBesideSourceOption->isChecked());
    QVERIFY(!form.outputFolderFrame->isEnabled());
    // The pair stays exclusive for the user afterwards.
    form.saveBesideSourceOption->click();
    form.saveToFolderOption->click();
    QVERIFY(form.saveToFolderOption->isChecked());
    QVERIFY(!form.saveBesideSourceOption->isChecked());
}

void TestMainWindow::badStoredValuesAreReportedWithTheirLine_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("description");
    QTest::newRow("Option1 yes") << SettingKeys::SaveToFolder << QStringLiteral("yes") << 176
                                 << QStringLiteral("Type mismatch");
    QTest::newRow("Option2 maybe") << SettingKeys::SaveBesideSource << QStringLiteral("maybe")
                                   << 178 << QStringLiteral("Type mismatch");
    QTest::newRow("unknown bitrate") << SettingKeys::Kbps << QStringLiteral("999 kbps") << 172
                                     << QStringLiteral("Invalid property value");
}

void TestMainWindow::badStoredValuesAreReportedWithTheirLine()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(int, line);
    QFETCH(QString, description);
    TestWindow t;
    t.settings->SaveSetting(key, value);
    MainWindow& form = t.load();
    QCOMPARE(t.dialogs.messages().size(), 1);
    const QString report = LoadReport(t.dialogs, line);
    QVERIFY2(report.startsWith(description + QStringLiteral("\r\n")), qPrintable(report));
    QCOMPARE(t.dialogs.messages().first().title, QStringLiteral("Application Error"));
    // Loading went on past the failed step.
    QVERIFY(form.outputFolderFrame->isEnabled() == form.saveToFolderOption->isChecked());
    if (key == SettingKeys::Kbps) {
        QCOMPARE(form.bitrateBox->currentIndex(), -1);
        QCOMPARE(t.settings->GetSetting(SettingKeys::Kbps, QString()), value);
    } else {
        QVERIFY(form.saveToFolderOption->isChecked());
    }
}

void TestMainWindow::emptyStoredOutputFolderStaysEmpty()
{
    TestWindow t;
    t.settings->SaveSetting(SettingKeys::OutputFolder, QString());
    MainWindow& form = t.load();
    QCOMPARE(form.outputFolderBox->text(), QString());
    QCOMPARE(t.settings->GetSetting(SettingKeys::OutputFolder, QStringLiteral("absent")),
             QString());
}

void TestMainWindow::unresolvableDesktopReportsLine174AndLeavesFolderEmpty()
{
    TestWindow t;
    t.desktop.clear();
    t.settings->SaveSetting(SettingKeys::OutputFolder, QStringLiteral("/stored/"));
    MainWindow& form = t.load();
    QVERIFY(!LoadReport(t.dialogs, 174).isEmpty());
    QCOMPARE(form.outputFolderBox->text(), QString());
}

void TestMainWindow::layoutMatchesTheDesign_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("caption");
    auto row = [](const char* name, const char* parent, int l, int t, int w, int h,
                  const QString& caption) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(parent)
                            << QRect(l, t, w, h) << caption;
    };
    row("topOfWindowButton", "MainWindow", -720, 2640, 615, 495, QStringLiteral("Command1"));
    row("fileList", "MainWindow", 120, 120, 7800, 2535, QString());
    row("progressBar", "MainWindow", 120, 7020, 7800, 405, QStringLiteral("Progress Bar"));
    row("bitrateFrame", "MainWindow", 120, 3710, 7800, 800, QStringLiteral("KBPS"));
    row("bitrateBox", "bitrateFrame", 240, 300, 7335, 345, QString());
    row("addFilesButton", "MainWindow", 120, 2750, 3840, 405, QStringLiteral("Add MIDI File(s)"));
    row("addFolderButton", "MainWindow", 4080, 2750, 3840, 405,
        QStringLiteral("Add All MIDI File(s) In Folder"));
    row("startButton", "MainWindow", 120, 6500, 7800, 405, QStringLiteral("Start Converting"));
    row("clearListButton", "MainWindow", 120, 3260, 3840, 405, QStringLiteral("Clear List"));
    row("samplesButton", "MainWindow", 4080, 3260, 3840, 405,
        QStringLiteral("Load Sample/Example Files"));
    row("saveOptionFrame", "MainWindow", 120, 4560, 7800, 1815, QStringLiteral("Save Option"));
    row("outputFolderFrame", "saveOptionFrame", 480, 510, 6840, 810, QString());
    row("outputFolderBox", "outputFolderFrame", 240, 300, 5670, 345, QString());
    row("browseButton", "outputFolderFrame", 6000, 300, 600, 345, QStringLiteral("..."));
    row("saveToFolderOption", "saveOptionFrame", 240, 300, 3615, 255,
        QStringLiteral("Save results to this folder:"));
    row("saveBesideSourceOption", "saveOptionFrame", 240, 1410, 3615, 255,
        QStringLiteral("Save results in folder of original file"));
}

void TestMainWindow::layoutMatchesTheDesign()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    TestWindow t;
    MainWindow& form = t.load();
    auto* widget = form.findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    QCOMPARE(widget->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QCOMPARE(button->text(), caption);
    else if (auto* frame = qobject_cast<QGroupBox*>(widget))
        QCOMPARE(frame->title(), caption);
    else if (auto* bar = qobject_cast<ProgressBar*>(widget))
        QCOMPARE(bar->Text(), caption);
    const QFont font = widget->font();
    QCOMPARE(font.family(), QStringLiteral("Arial"));
    QVERIFY(font.bold());
    QCOMPARE(font.pointSizeF(), qobject_cast<PushButton*>(widget) ? 11.25 : 9.0);
}

void TestMainWindow::windowIsFixedAndFocusStartsOnHiddenButton()
{
    QTemporaryDir folder;
    TestWindow t;
    MainWindow& form = t.load(EmptyProgramFolder(folder));
    QCOMPARE(form.size(), QSize(8040 / 15, 7545 / 15));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(QApplication::focusWidget(), form.topOfWindowButton);
    QVERIFY(!form.rect().contains(form.topOfWindowButton->geometry()));
    // The tab order starts at the hidden button and runs through the list and the bar.
    QCOMPARE(form.topOfWindowButton->nextInFocusChain(), static_cast<QWidget*>(form.fileList));
}

void TestMainWindow::hiddenButtonTellsScreenReadersWhereTheyAre()
{
    TestWindow t;
    MainWindow& form = t.load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&form);
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(form.topOfWindowButton);
    QVERIFY(window && button);
    // It stays in the tree, where the focus starts, under a name that tells the user something.
    QVERIFY(window->indexOfChild(button) >= 0);
    QVERIFY(button->state().focused);
    QCOMPARE(button->text(QAccessible::Name), QStringLiteral("Top of the window"));
    QCOMPARE(button->text(QAccessible::Description),
             QStringLiteral("Press Tab to reach the list of MIDI files"));
}

void TestMainWindow::bitrateListHoldsTheEighteenEntriesInOrder()
{
    TestWindow t;
    MainWindow& form = t.load();
    QStringList entries;
    for (int i = 0; i < form.bitrateBox->count(); ++i)
        entries << form.bitrateBox->itemText(i);
    QCOMPARE(entries.size(), 18);
    QCOMPARE(entries.first(), QStringLiteral("320 kbps"));
    QCOMPARE(entries[6], QStringLiteral("128 kbps"));
    QCOMPARE(entries.last(), QStringLiteral("8 kbps"));
    QVERIFY(!form.bitrateBox->isEditable());
}

void TestMainWindow::appTitleIsCutAtLastBlank_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    QTest::newRow("product") << QStringLiteral("Tunepress Studio") << QStringLiteral("Tunepress");
    const QString word = QStringLiteral("ninechars");
    QStringList six(6, word);
    QStringList four(4, word);
    QTest::newRow("six nine-letter words")
        << six.join(QLatin1Char(' ')) << four.join(QLatin1Char(' '));
    // 41 characters after the first cut are cut again.
    QTest::newRow("forty-one") << QStringLiteral("a") + QString(39, QLatin1Char('b')) +
                                      QStringLiteral(" c d")
                               << QStringLiteral("a") + QString(39, QLatin1Char('b'));
}

void TestMainWindow::appTitleIsCutAtLastBlank()
{
    QFETCH(QString, title);
    QFETCH(QString, expected);
    QCOMPARE(MainWindow::SetAppTitle(title), expected);
    QVERIFY(expected.size() <= 40);
}

void TestMainWindow::webVisitOnlyOnDrawOfSeven_data()
{
    QTest::addColumn<double>("fraction");
    QTest::addColumn<bool>("visits");
    QTest::newRow("draw 7") << 0.06 << true;
    QTest::newRow("draw 7 upper edge") << 0.0699 << true;
    QTest::newRow("draw 6") << 0.0599 << false;
    QTest::newRow("draw 8") << 0.07 << false;
    QTest::newRow("draw 1") << 0.0 << false;
}

void TestMainWindow::webVisitOnlyOnDrawOfSeven()
{
    QFETCH(double, fraction);
    QFETCH(bool, visits);
    TestWindow t;
    t.randomFraction = fraction;
    MainWindow& form = t.load();
    int urls = 0;
    for (const auto& shown : t.dialogs.shown)
        if (shown.kind == QStringLiteral("url")) {
            ++urls;
            QCOMPARE(shown.text, QStringLiteral(TUNEPRESS_WEBSITE_URL));
        }
    QCOMPARE(urls, visits ? 1 : 0);
    // The rest of the start-up runs as usual.
    QCOMPARE(form.bitrateBox->currentText(), QStringLiteral("48 kbps"));
}

void TestMainWindow::skinAppliesOnlyWhenTheFileIsThere()
{
    QTemporaryDir folder;
    const QString program = EmptyProgramFolder(folder);
    {
        TestWindow t;
        MainWindow& form = t.load(program);
        QCOMPARE(t.dialogs.messages().size(), 0);
        QVERIFY(form.styleSheet().isEmpty());
        QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(!form.mouseIcon().has_value());
    }
    QDir().mkpath(program + QStringLiteral("/x"));
    QFile skin(program + QStringLiteral("/x/o.cjs"));
    QVERIFY(skin.open(QIODevice::WriteOnly));
    skin.write("QPushButton { color: rgb(1, 2, 3); }");
    skin.close();
    TestWindow t;
    MainWindow& form = t.load(program);
    QCOMPARE(t.dialogs.messages().size(), 0);
    QCOMPARE(form.styleSheet(), QStringLiteral("QPushButton { color: rgb(1, 2, 3); }"));
    QCOMPARE(form.skinFramework.Options() & 1, 1);
    QVERIFY(form.skinFramework.applyOptions());
    QVERIFY(form.skinFramework.autoApplyNewWindows());
    QVERIFY(form.palette().color(QPalette::Window) != QColor(Qt::white) ||
            QApplication::palette().color(QPalette::Button) == QColor(Qt::white));
}

void TestMainWindow::pointerFollowsTheHoverRules()
{
    TestWindow t;
    MainWindow& form = t.load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseMove(form.startButton, QPoint(10, 10));
    QTRY_COMPARE(form.mousePointer(), Pointer::Custom);
    QCOMPARE(form.cursor().shape(), form.mouseIcon() ? Qt::BitmapCursor : Qt::PointingHandCursor);
    // The pointer covers the whole window, controls included.
    QCOMPARE(form.outputFolderBox->cursor().shape(), form.cursor().shape());
    form.saveOptionFrameHovered();
    QCOMPARE(form.mousePointer(), Pointer::Default);
    QCOMPARE(form.outputFolderBox->cursor().shape(), Qt::IBeamCursor);
    form.buttonHovered();
    form.outputFolderBoxHovered();
    QCOMPARE(form.mousePointer(), Pointer::Default);
    form.buttonHovered();
    form.windowHovered();
    QCOMPARE(form.mousePointer(), Pointer::Default);
}

void TestMainWindow::hourglassIsLeftAloneByHoverHandlers()
{
    TestWindow t;
    MainWindow& form = t.load();
    form.setMousePointer(Pointer::Hourglass);
    QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
    QCOMPARE(form.fileList->cursor().shape(), Qt::WaitCursor);
    form.buttonHovered();
    form.bitrateFrameHovered();
    form.outputFolderFrameHovered();
    form.outputFolderBoxHovered();
    form.windowHovered();
    QCOMPARE(form.mousePointer(), Pointer::Hourglass);
    QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
}

void TestMainWindow::progressBarShowsItsValueClampedAndItsText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qlonglong>("kept");
    QTest::addColumn<int>("shown");
    QTest::newRow("above the range") << 150.0 << 150LL << 100;
    QTest::newRow("below the range") << -3.0 << -3LL << 0;
    QTest::newRow("half rounds down to even") << 2.5 << 2LL << 2;
    QTest::newRow("half rounds up to even") << 3.5 << 4LL << 4;
    QTest::newRow("not a number") << qQNaN() << 0LL << 0;
    QTest::newRow("infinity") << qInf() << qlonglong(std::numeric_limits<int>::max()) << 100;
}

void TestMainWindow::progressBarShowsItsValueClampedAndItsText()
{
    QFETCH(double, value);
    QFETCH(qlonglong, kept);
    QFETCH(int, shown);
    const QString text = QStringLiteral("Processing: a.mid, Please wait.. 3");
    ProgressBar bar;
    // Start elsewhere, so that no row is met by the value the bar starts with.
    bar.SetValue(55);
    bar.setText(text);
    bar.SetValue(value);
    QCOMPARE(bar.Value(), kept);
    QCOMPARE(bar.Text(), text);
    // What screen readers get: a progress bar with the shown value and the text.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&bar);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), QAccessible::ProgressBar);
    QVERIFY(accessible->valueInterface());
    QCOMPARE(accessible->valueInterface()->currentValue().toInt(), shown);
    QCOMPARE(accessible->text(QAccessible::Description), text);
    // The style paints the text the bar reports.
    QCOMPARE(static_cast<const QProgressBar&>(bar).text(), text);
}

void TestMainWindow::changeHandlersWriteStraightBack()
{
    TestWindow t;
    MainWindow& form = t.load();
    form.bitrateBox->setCurrentText(QStringLiteral("128 kbps"));
    QCOMPARE(t.settings->GetSetting(SettingKeys::Kbps, QString()), QStringLiteral("128 kbps"));
    form.outputFolderBox->clear();
    for (const QChar c : QStringLiteral("/ab"))
        QTest::keyClick(form.outputFolderBox, c.toLatin1());
    QCOMPARE(t.settings->GetSetting(SettingKeys::OutputFolder, QString()), QStringLiteral("/ab"));
    form.saveBesideSourceOption->click();
    QCOMPARE(t.settings->GetSetting(SettingKeys::SaveToFolder, QString()), QStringLiteral("False"));
    QCOMPARE(t.settings->GetSetting(SettingKeys::SaveBesideSource, QString()),
             QStringLiteral("True"));
    QVERIFY(!form.outputFolderFrame->isEnabled());
    form.saveToFolderOption->click();
    QCOMPARE(t.settings->GetSetting(SettingKeys::SaveToFolder, QString()), QStringLiteral("True"));
    QCOMPARE(t.settings->GetSetting(SettingKeys::SaveBesideSource, QString()),
             QStringLiteral("False"));
    QVERIFY(form.outputFolderFrame->isEnabled());
}

void TestMainWindow::desktopFallsBackToHomeWhenThereIsNoDesktopFolder()
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    const QString withoutDesktop = DesktopFolder();
    QDir(home.path()).mkdir(QStringLiteral("Desktop"));
    const QString withDesktop = DesktopFolder();
    qputenv("HOME", oldHome);
    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
    QCOMPARE(withoutDesktop, home.path());
    QCOMPARE(withDesktop, home.filePath(QStringLiteral("Desktop")));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
