#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include "platform/gui/FileTypeIcon.h"
#include "platform/gui/HelpViewer.h"
#include "platform/gui/SettingsStore.h"

class TestPlatformGui : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void htmlScratchFileGetsTheThemedIconAndIsRemoved() {
        QTemporaryDir dir;
        const QIcon icon = platform::fileTypeSmallIcon(dir.path().toStdString(), "~qx1201..html");
        QVERIFY(!icon.isNull());
        const QImage html = icon.pixmap(16, 16).toImage();
        const QImage generic = platform::genericFileIcon().pixmap(16, 16).toImage();
        QVERIFY(!generic.isNull());
        QVERIFY(html != generic);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void aNameThatLeavesTheFolderTouchesNothing() {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("inner");
        const QString victim = dir.path() + "/victim.txt";
        QFile f(victim);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
        f.close();
        const QIcon icon = platform::fileTypeSmallIcon((dir.path() + "/inner").toStdString(),
                                                       "~qx1201./../victim.txt");
        QVERIFY(!icon.isNull());
        QVERIFY(QFile::exists(victim));
        QCOMPARE(QFileInfo(victim).size(), qint64(7));
    }

    void aPlantedLinkIsNotFollowed() {
        QTemporaryDir dir;
        const QString victim = dir.path() + "/victim.txt";
        QFile f(victim);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
        f.close();
        QVERIFY(QFile::link(victim, dir.path() + "/~qx1201..txt"));
        platform::fileTypeSmallIcon(dir.path().toStdString(), "~qx1201..txt");
        QCOMPARE(QFileInfo(victim).size(), qint64(7));
        QVERIFY(!QFileInfo::exists(dir.path() + "/~qx1201..txt"));
    }

    void settingsRoundTripAndAbsentValue() {
        QTemporaryDir dir;
        platform::QSettingsStore store((dir.path() + "/s.ini").toStdString());
        QVERIFY(!store.readString("\\Software\\A", "V").has_value());
        QVERIFY(store.writeString("\\Software\\A", "V", "text"));
        QCOMPARE(store.readString("\\Software\\A", "V").value_or(""), std::string("text"));
        QVERIFY(!store.readString("\\Software\\B", "V").has_value());
    }

    void helpWindowShowsTheDocument() {
        QTemporaryDir dir;
        const QString file = dir.path() + "/help.html";
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            "<html><head><title>T</title></head><body><a name=\"topic1\"></a>Hello "
            "help</body></html>");
        f.close();
        platform::HelpViewer viewer;
        QVERIFY(!viewer.showContext(1));  // no file set
        viewer.setHelpFile(file);
        QVERIFY(viewer.showContext(1));
        QVERIFY(viewer.window());
        QVERIFY(viewer.window()->toPlainText().contains("Hello help"));
        viewer.window()->close();
        QTRY_VERIFY(viewer.window() == nullptr);
    }
};

QTEST_MAIN(TestPlatformGui)
#include "test_PlatformGui.moc"
