#include "app/frmAbout.h"
#include "tests/platform/fake_platform.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using quillvane::frmAbout;
using quillvane::testing::FakePlatform;

// Runs the application's event loop until it ends or the watchdog gives up; returns
// the loop's exit code, or -1 when it had to be stopped.
static int RunEventLoop(int watchdogMs) {
    bool stopped = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        stopped = true;
        QCoreApplication::exit(99);
    });
    watchdog.start(watchdogMs);
    const int code = QCoreApplication::exec();
    return stopped ? -1 : code;
}

class AboutQuitTest : public QObject {
    Q_OBJECT

private slots:
    // The About window is not a main window of its own: closing it leaves the program
    // running, and closing the main window ends the program while it is open.
    void closingAboutKeepsTheProgram();
    void closingTheMainWindowEndsTheProgram();
};

void AboutQuitTest::closingAboutKeepsTheProgram() {
    FakePlatform platform;
    QWidget main;
    main.show();
    QPointer<frmAbout> about;
    frmAbout::OpenOver(about, platform, &main);
    QTimer::singleShot(0, about, [&] { about->findChild<QPushButton*>("cmdClose")->click(); });
    QCOMPARE(RunEventLoop(300), -1);
    QVERIFY(about.isNull());
    QVERIFY(main.isVisible());
}

void AboutQuitTest::closingTheMainWindowEndsTheProgram() {
    FakePlatform platform;
    auto* main = new QWidget;
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->show();
    QPointer<frmAbout> about;
    frmAbout::OpenOver(about, platform, main);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QTimer::singleShot(0, main, &QWidget::close);
    QCOMPARE(RunEventLoop(3000), 0);
    QTRY_VERIFY(about.isNull()); // gone with the main window
}

QTEST_MAIN(AboutQuitTest)
#include "about_quit_test.moc"
