// Loading the sample files that lie beside the program.
#include "app/pushbutton.h"
#include "audiocheck.h"
#include "filelist/filelistview.h"
#include "filelist/samples.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {} // namespace

class TestSamples : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestWindow> m_test;
    std::unique_ptr<QTemporaryDir> m_program;

    MainWindow& form() { return *m_test->form; }
    FileListView& list() { return *form().fileList; }
    QString samples() const { return m_program->filePath(QStringLiteral("Samples")); }
    QString sample(const QString& name) const { return samples() + QLatin1Char('/') + name; }

    void pressLoadSamples() { QTest::mouseClick(form().samplesButton, Qt::LeftButton); }

    void verifyAsked(int times)
    {
        const QList<ScriptedDialogs::Shown> messages = m_test->dialogs.messages();
        QCOMPARE(messages.size(), times);
        for (const ScriptedDialogs::Shown& message : messages) {
            QCOMPARE(message.text,
                     QStringLiteral("Would you like this software to open the folder where "
                                    "these sample files are stored (so that you can view them "
                                    "before working with them)?"));
            QCOMPARE(message.title, QStringLiteral("Tunepress"));
            QCOMPARE(message.buttons, tp::MessageButtons::YesNo);
            QCOMPARE(message.icon, tp::MessageIcon::None);
        }
    }

    QStringList urlsOpened() const
    {
        QStringList urls;
        for (const ScriptedDialogs::Shown& shown : m_test->dialogs.shown)
            if (shown.kind == QLatin1String("url"))
                urls.append(shown.text);
        return urls;
    }

private Q_SLOTS:
    void init()
    {
        m_program = std::make_unique<QTemporaryDir>();
        m_test = std::make_unique<TestWindow>();
        m_test->load(m_program->path());
    }
    void cleanup()
    {
        m_test.reset();
        m_program.reset();
    }

    // Every file of the folder, whatever its type, in name order; no sub-folder, nothing that
    // cannot be opened.
    void firstPressAddsEverySample()
    {
        for (const char* name : {"b.mid", "A.mid", "c.txt", "sub/inner.mid", ".hidden.mid"})
            MakeFile(sample(QString::fromLatin1(name)));
        QVERIFY(QFile::link(sample(QStringLiteral("gone.mid")), sample(QStringLiteral("x.mid"))));
        pressLoadSamples();
        QCOMPARE(
            Entries(list()),
            (QStringList{sample(QStringLiteral(".hidden.mid")), sample(QStringLiteral("A.mid")),
                         sample(QStringLiteral("b.mid")), sample(QStringLiteral("c.txt"))}));
        verifyAsked(1);
        QVERIFY(urlsOpened().isEmpty());
    }

    void secondPressAddsNothingAndAsksAgain()
    {
        MakeFile(sample(QStringLiteral("a.mid")));
        MakeFile(sample(QStringLiteral("b.mid")));
        pressLoadSamples();
        pressLoadSamples();
        QCOMPARE(Entries(list()),
                 (QStringList{sample(QStringLiteral("a.mid")), sample(QStringLiteral("b.mid"))}));
        verifyAsked(2);
    }

    void removedSampleComesBackAtTheEnd()
    {
        for (const char* name : {"a.mid", "b.mid", "c.mid"})
            MakeFile(sample(QString::fromLatin1(name)));
        pressLoadSamples();
        list().selectAt(1);
        QTest::keyClick(&list(), Qt::Key_Delete);
        pressLoadSamples();
        QCOMPARE(Entries(list()),
                 (QStringList{sample(QStringLiteral("b.mid")), sample(QStringLiteral("c.mid")),
                              sample(QStringLiteral("a.mid"))}));
    }

    // Only an entry with exactly the sample's text keeps it out.
    void listedUnderAnotherSpelling_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<bool>("addedAgain");
        QTest::newRow("same text") << QStringLiteral("{samples}/a.mid") << false;
        QTest::newRow("other letter case") << QStringLiteral("{samples}/A.MID") << true;
        QTest::newRow("doubled separator") << QStringLiteral("{samples}//a.mid") << true;
        QTest::newRow("trailing blank") << QStringLiteral("{samples}/a.mid ") << true;
    }
    void listedUnderAnotherSpelling()
    {
        QFETCH(QString, listed);
        QFETCH(bool, addedAgain);
        MakeFile(sample(QStringLiteral("a.mid")));
        listed.replace(QStringLiteral("{samples}"), samples());
        list().append(listed);
        pressLoadSamples();
        QStringList expected{listed};
        if (addedAgain)
            expected.append(sample(QStringLiteral("a.mid")));
        QCOMPARE(Entries(list()), expected);
    }

    void isInList_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        const QStringList some{QStringLiteral("/m/a.mid"), QStringLiteral("/m/b.mid")};
        QTest::newRow("empty list") << QStringList() << QStringLiteral("/m/a.mid") << false;
        QTest::newRow("empty list, empty text") << QStringList() << QString() << false;
        QTest::newRow("last entry") << some << QStringLiteral("/m/b.mid") << true;
        QTest::newRow("letter case") << some << QStringLiteral("/M/a.mid") << false;
        QTest::newRow("part of an entry") << some << QStringLiteral("/m/a") << false;
    }
    void isInList()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, text);
        QFETCH(bool, found);
        for (const QString& entry : entries)
            list().append(entry);
        QCOMPARE(Samples::IsInList(list(), text), found);
    }

    void noSamplesFolderStillAsks_data()
    {
        QTest::addColumn<bool>("emptyFolder");
        QTest::newRow("no folder") << false;
        QTest::newRow("empty folder") << true;
    }
    void noSamplesFolderStillAsks()
    {
        QFETCH(bool, emptyFolder);
        if (emptyFolder)
            QVERIFY(QDir().mkpath(samples()));
        pressLoadSamples();
        QCOMPARE(list().count(), 0);
        verifyAsked(1);
    }

    void yesOpensTheSamplesFolder()
    {
        MakeFile(sample(QStringLiteral("a.mid")));
        m_test->dialogs.messageAnswers.enqueue(tp::MessageAnswer::Yes);
        pressLoadSamples();
        QCOMPARE(urlsOpened(),
                 QStringList{QUrl::fromLocalFile(samples() + QLatin1Char('/')).toString()});
        QCOMPARE(list().count(), 1);
    }

    // The question appears once the samples are in the list.
    void samplesAreListedBeforeTheQuestion()
    {
        MakeFile(sample(QStringLiteral("a.mid")));
        int listedWhileAsking = -1;
        m_test->dialogs.onMessage = [&](const ScriptedDialogs::Shown&) {
            listedWhileAsking = list().count();
        };
        pressLoadSamples();
        QCOMPARE(listedWhileAsking, 1);
    }

    void loadsWhileBusy()
    {
        MakeFile(sample(QStringLiteral("a.mid")));
        form().setMousePointer(Pointer::Hourglass);
        pressLoadSamples();
        QCOMPARE(list().count(), 1);
        QCOMPARE(form().mousePointer(), Pointer::Hourglass);
    }

    // The samples that come with the program.
    void bundledSamples()
    {
        TestWindow test;
        MainWindow& bundled = test.load();
        bundled.loadSamples();
        const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/Samples");
        QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
        QVERIFY2(names.size() >= 5, qPrintable(names.join(QLatin1Char(','))));
        QStringList expected;
        for (const QString& name : names) {
            QVERIFY2(name.endsWith(QLatin1String(".mid")), qPrintable(name));
            expected.append(folder + QLatin1Char('/') + name);
        }
        QCOMPARE(Entries(*bundled.fileList), expected);
    }

    // Converting the samples that come with the program gives an MP3 file of real music for
    // each of them.
    void bundledSamplesConvert()
    {
        QTemporaryDir temp;
        QTemporaryDir out;
        const QByteArray savedTemp = qgetenv("TEMP");
        qputenv("TEMP", QFile::encodeName(temp.path()));
        const auto restore = qScopeGuard([&] { qputenv("TEMP", savedTemp); });

        TestWindow test;
        MainWindow& bundled = test.load();
        bundled.bitrateBox->setCurrentText(QStringLiteral("96 kbps"));
        bundled.saveToFolderOption->setChecked(true);
        bundled.outputFolderBox->setText(out.path());
        QTest::mouseClick(bundled.samplesButton, Qt::LeftButton);
        const int count = bundled.fileList->count();
        QVERIFY(count >= 5);
        QTest::mouseClick(bundled.startButton, Qt::LeftButton);
        QCOMPARE(test.dialogs.messageTexts().last(), QStringLiteral("Done."));

        for (int position = 1; position <= count; ++position) {
            const QString source = bundled.fileList->entryText(position);
            const QString name = QFileInfo(source).completeBaseName();
            const QString mp3 = out.filePath(name + QStringLiteral("_96 kbps.mp3"));
            QVERIFY2(QFile::exists(mp3), qPrintable(mp3));
            const AudioCheck::Mp3Frames frames = AudioCheck::ReadMp3Frames(mp3);
            QVERIFY(frames.frames > 100);
            QVERIFY(frames.stereo);
            for (const int kbps : frames.bitrates)
                QCOMPARE(kbps, 96);
            const AudioCheck::Pcm pcm = AudioCheck::DecodeMp3(mp3, temp.path());
            QVERIFY(pcm.ok);
            QVERIFY2(pcm.seconds > 15 && pcm.seconds < 65,
                     qPrintable(name + QLatin1String(": ") + QString::number(pcm.seconds)));
            QVERIFY2(
                pcm.rms > 0.02 && pcm.peak > 0.1 && pcm.peak <= 1.0,
                qPrintable(
                    QStringLiteral("%1: rms %2, peak %3").arg(name).arg(pcm.rms).arg(pcm.peak)));
        }
    }
};

QTEST_MAIN(TestSamples)
#include "tst_samples.moc"
