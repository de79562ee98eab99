#include "app/about_geometry.h"
#include "app/app_icon.h"
#include "app/credits.h"
#include "app/frmAbout.h"
#include "tests/platform/fake_platform.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <memory>

using quillvane::frmAbout;
using quillvane::testing::FakePlatform;

namespace {

// True when every pixel of the image is fully transparent.
bool IsBlank(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return false;
    return true;
}

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void centresInTwips_data();
    void centresInTwips();
    void opensCentredOnTheMainWindow();
    void captionAndTitleDifferByTheCredit();
    void laysOutTheForm_data();
    void laysOutTheForm();
    void linksLook();
    void linksOpenThroughThePlatform_data();
    void linksOpenThroughThePlatform();
    void closingDiscardsTheWindow_data();
    void closingDiscardsTheWindow();
    void aboutWhileShownRerunsTheSteps();
    void focusComesBackFromTheMainWindow();
    void anotherProgramKeepsTheFocus();
    void carriesNoIconButTheProgramHasOne();

private:
    frmAbout* OpenAbout() { return frmAbout::OpenOver(about_, platform_, main_.get()); }
    template <typename T> T* Child(const char* name) { return about_->findChild<T*>(name); }

    FakePlatform platform_;
    std::unique_ptr<QWidget> main_; // stands in for the main window
    QLineEdit* txtInput_ = nullptr;
    QPointer<frmAbout> about_;
};

void AboutTest::init() {
    platform_ = FakePlatform();
    main_ = std::make_unique<QWidget>();
    main_->setWindowTitle(QStringLiteral("Quillvane"));
    main_->setGeometry(40, 30, 633, 747);
    txtInput_ = new QLineEdit(main_.get());
    txtInput_->setObjectName(QStringLiteral("txtInput"));
    txtInput_->setGeometry(10, 10, 200, 24);
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
}

void AboutTest::cleanup() {
    main_.reset(); // takes an open About window with it
    QVERIFY(about_.isNull());
}

void AboutTest::centresInTwips_data() {
    QTest::addColumn<QRectF>("mainWindow");
    QTest::addColumn<QSizeF>("about");
    QTest::addColumn<QPointF>("expected");
    QTest::newRow("the worked example")
        << QRectF(1000, 1000, 9600, 12000) << QSizeF(6600, 3800) << QPointF(2500, 5100);
    QTest::newRow("half twips") << QRectF(15, 30, 9525, 11505) << QSizeF(6465, 3630) << QPointF(1545, 3967.5);
    // Nothing keeps the window on the screen.
    QTest::newRow("past the top left")
        << QRectF(-3000, 0, 1500, 1500) << QSizeF(6600, 3800) << QPointF(-5550, -1150);
}

void AboutTest::centresInTwips() {
    QFETCH(QRectF, mainWindow);
    QFETCH(QSizeF, about);
    QFETCH(QPointF, expected);
    const quillvane::TwipsPoint at = quillvane::CentreOver(
        {float(mainWindow.x()), float(mainWindow.y()), float(mainWindow.width()), float(mainWindow.height())},
        float(about.width()), float(about.height()));
    QCOMPARE(at.left, float(expected.x()));
    QCOMPARE(at.top, float(expected.y()));
}

void AboutTest::opensCentredOnTheMainWindow() {
    frmAbout* about = OpenAbout();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    const QRect main = main_->frameGeometry();
    const QRect outer = about->frameGeometry();
    QVERIFY(outer.size() != about->size()); // the frame counts
    QVERIFY(qAbs(outer.x() - (main.x() + (main.width() - outer.width()) / 2.0)) <= 0.5);
    QVERIFY(qAbs(outer.y() - (main.y() + (main.height() - outer.height()) / 2.0)) <= 0.5);
}

void AboutTest::captionAndTitleDifferByTheCredit() {
    frmAbout* about = OpenAbout();
    const QString title = Child<QLabel>("lblTitle")->text();
    QCOMPARE(title, QStringLiteral("About Quillvane"));
    QCOMPARE(about->windowTitle(), title + QStringLiteral(" - by the Quillvane developers"));
    QCOMPARE(QString::fromUtf8(quillvane::kAuthorCredit), QStringLiteral(" - by the Quillvane developers"));
    // One empty line between the copyright line and the licence notice.
    QCOMPARE(Child<QLabel>("lblCopyright")->text(), QString::fromUtf8(quillvane::kCopyrightLine) + "\n\n" +
                                                        QString::fromUtf8(quillvane::kLicenceNotice));
}

void AboutTest::laysOutTheForm_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text"); // null: set at run time, checked elsewhere
    QTest::addColumn<QString>("face");
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");
    QTest::newRow("lblTitle") << "lblTitle" << QRect(120, 120, 6255, 495) << QString() << "Arial" << 12.75
                              << true;
    QTest::newRow("lblCopyright") << "lblCopyright" << QRect(120, 600, 4335, 975) << QString()
                                  << "MS Sans Serif" << 8.25 << false;
    QTest::newRow("Label1") << "Label1" << QRect(240, 1800, 2775, 255) << "Mail:"
                            << "MS Sans Serif" << 8.25 << false;
    QTest::newRow("lblMail") << "lblMail" << QRect(240, 2040, 4095, 255) << "quillvane@example.org"
                             << "MS Sans Serif" << 8.25 << false;
    // As wide as the link below it, so that the substitute face shows the whole text.
    QTest::newRow("Label2") << "Label2" << QRect(240, 2400, 4095, 255)
                            << "Website: (Visit for more cool software!)"
                            << "MS Sans Serif" << 8.25 << false;
    QTest::newRow("lblWebsite") << "lblWebsite" << QRect(240, 2640, 4095, 255)
                                << "https://quillvane.example.org"
                                << "MS Sans Serif" << 8.25 << false;
    QTest::newRow("cmdClose") << "cmdClose" << QRect(120, 3000, 2655, 255) << "Close"
                              << "MS Sans Serif" << 8.25 << false;
}

void AboutTest::laysOutTheForm() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    QFETCH(QString, face);
    QFETCH(double, points);
    QFETCH(bool, bold);
    frmAbout* about = OpenAbout();
    QCOMPARE(about->size(), QSize(429, 222)); // 6435 x 3330 twips
    QCOMPARE(about->minimumSize(), about->maximumSize());
    QVERIFY(!(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    QWidget* control = about->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    if (!text.isNull()) {
        const auto* button = qobject_cast<QPushButton*>(control);
        QCOMPARE(button ? button->text() : qobject_cast<QLabel*>(control)->text(), text);
    }
    QCOMPARE(control->font().families().value(0), face);
    QCOMPARE(control->font().pointSizeF(), points);
    QCOMPARE(control->font().bold(), bold);
    // The Close button is the only control that takes the focus.
    QCOMPARE(control->focusPolicy() != Qt::NoFocus, name == "cmdClose");
}

void AboutTest::linksLook() {
    OpenAbout();
    for (const char* name : {"lblMail", "lblWebsite"}) {
        const QLabel* link = Child<QLabel>(name);
        QVERIFY2(link->font().underline(), name);
        QCOMPARE(link->palette().color(link->foregroundRole()), QColor(0, 0, 255));
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    }
    QVERIFY(!Child<QLabel>("Label1")->font().underline());
}

void AboutTest::linksOpenThroughThePlatform_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QStringList>("opened");
    QTest::newRow("mail") << "lblMail" << Qt::LeftButton << QStringList{"mailto:quillvane@example.org"};
    QTest::newRow("website") << "lblWebsite" << Qt::LeftButton
                             << QStringList{"https://quillvane.example.org"};
    QTest::newRow("right button") << "lblMail" << Qt::RightButton << QStringList{};
    QTest::newRow("plain label") << "Label2" << Qt::LeftButton << QStringList{};
}

void AboutTest::linksOpenThroughThePlatform() {
    QFETCH(QString, label);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QStringList, opened);
    frmAbout* about = OpenAbout();
    QTest::mouseClick(about->findChild<QLabel*>(label), button);
    QStringList urls;
    for (const std::string& url : platform_.openedUrls)
        urls << QString::fromStdString(url);
    QCOMPARE(urls, opened);
    QVERIFY(about->isVisible()); // whatever the desktop did with the link
}

void AboutTest::closingDiscardsTheWindow_data() {
    QTest::addColumn<bool>("byButton"); // else by the frame's close command
    QTest::newRow("Close button") << true;
    QTest::newRow("window close") << false;
}

void AboutTest::closingDiscardsTheWindow() {
    QFETCH(bool, byButton);
    frmAbout* first = OpenAbout();
    QSignalSpy destroyed(first, &QObject::destroyed);
    if (byButton)
        QTest::mouseClick(Child<QPushButton>("cmdClose"), Qt::LeftButton);
    else
        first->close();
    // Asked between the close and the deletion, the main window gets nothing.
    QVERIFY(about_.isNull() || !about_->TakeFocusIfShown());
    QTRY_COMPARE(destroyed.count(), 1);
    QVERIFY(about_.isNull());

    frmAbout* second = OpenAbout();
    QVERIFY(second->isVisible());
    QCOMPARE(second->findChild<QLabel*>("lblTitle")->text(), QStringLiteral("About Quillvane"));
    QCOMPARE(second->windowTitle(), QStringLiteral("About Quillvane - by the Quillvane developers"));
}

void AboutTest::aboutWhileShownRerunsTheSteps() {
    frmAbout* about = OpenAbout();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    about->setWindowTitle(QStringLiteral("stale"));
    Child<QLabel>("lblTitle")->clear();
    main_->move(main_->pos() + QPoint(60, 40));
    const QPoint before = about->frameGeometry().topLeft();

    QCOMPARE(OpenAbout(), about);
    QCOMPARE(about->windowTitle(), QStringLiteral("About Quillvane - by the Quillvane developers"));
    QCOMPARE(Child<QLabel>("lblTitle")->text(), QStringLiteral("About Quillvane"));
    QCOMPARE(about->frameGeometry().topLeft(), before + QPoint(60, 40));
}

void AboutTest::focusComesBackFromTheMainWindow() {
    frmAbout* about = OpenAbout();
    auto* cmdClose = Child<QPushButton>("cmdClose");
    QTRY_COMPARE(QApplication::focusWidget(), cmdClose);
    QVERIFY(about->TakeFocusIfShown()); // what the main window asks when it gets the focus

    QSignalSpy focusMoves(qApp, &QApplication::focusChanged);
    main_->activateWindow();
    QTest::mouseClick(txtInput_, Qt::LeftButton);
    QTRY_VERIFY(std::any_of(focusMoves.cbegin(), focusMoves.cend(), [&](const QList<QVariant>& move) {
        return move.at(1).value<QWidget*>() == txtInput_;
    }));
    QTRY_COMPARE(QApplication::focusWidget(), cmdClose);
    QTRY_COMPARE(QApplication::activeWindow(), about);

    // Once the window is closed the main window keeps its focus.
    QTest::mouseClick(cmdClose, Qt::LeftButton);
    QTRY_VERIFY(about_.isNull());
    main_->activateWindow();
    txtInput_->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), txtInput_);
    QTest::qWait(50);
    QCOMPARE(QApplication::focusWidget(), txtInput_);
}

void AboutTest::anotherProgramKeepsTheFocus() {
    OpenAbout();
    QTRY_COMPARE(QApplication::focusWidget(), Child<QPushButton>("cmdClose"));
    // What Qt does when another program is activated: no window of ours has the focus.
    QApplication::setActiveWindow(nullptr);
    QTest::qWait(50);
    QCOMPARE(QApplication::activeWindow(), nullptr);
    QCOMPARE(QApplication::focusWidget(), nullptr);
}

void AboutTest::carriesNoIconButTheProgramHasOne() {
    const QIcon appIcon = quillvane::ApplicationIcon();
    QApplication::setWindowIcon(appIcon);
    main_->setWindowIcon(appIcon);
    for (int side : {16, 32}) {
        QVERIFY(appIcon.availableSizes().contains(QSize(side, side)));
        QVERIFY(!IsBlank(appIcon.pixmap(side).toImage()));
    }

    const QIcon icon = OpenAbout()->windowIcon();
    QVERIFY(!icon.isNull()); // an empty icon would fall back to the program's
    QVERIFY(IsBlank(icon.pixmap(16).toImage()));
    QVERIFY(IsBlank(icon.pixmap(32).toImage()));
    QApplication::setWindowIcon(QIcon());
}

QTEST_MAIN(AboutTest)
#include "about_test.moc"
