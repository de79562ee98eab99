#include "app/frmAbout.h"
#include "tests/platform/fake_platform.h"

#include <QApplication>
#include <QTimer>
#include <QtTest>

// Runs apart from the other window tests: it takes the application's event loop to
// its end.
class AboutQuitTest : public QObject {
    Q_OBJECT

private slots:
    // The About window is no main window of its own: closing the main window ends the
    // program while it is open, and takes it along.
    void closingTheMainWindowEndsTheProgram() {
        quillvane::testing::FakePlatform platform;
        auto* main = new QWidget;
        main->setAttribute(Qt::WA_DeleteOnClose);
        main->show();
        QPointer<quillvane::frmAbout> about;
        quillvane::frmAbout::OpenOver(about, platform, main);
        QVERIFY(QTest::qWaitForWindowExposed(about));

        QTimer::singleShot(0, main, &QWidget::close);
        QTimer::singleShot(3000, [] { QCoreApplication::exit(99); }); // the program would not end
        QCOMPARE(QCoreApplication::exec(), 0);
        QTRY_VERIFY(about.isNull());
    }
};

QTEST_MAIN(AboutQuitTest)
#include "about_quit_test.moc"
