#include "app/about_geometry.h"
#include "app/app_icon.h"
#include "app/credits.h"
#include "app/frmAbout.h"
#include "tests/platform/fake_platform.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <memory>

using quillvane::frmAbout;

namespace {

bool IsBlank(const QIcon& icon, int side) {
    const QImage image = icon.pixmap(side).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return false;
    return true;
}

const QString kCaption = QStringLiteral("About Quillvane - by the Quillvane developers");

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void centresInTwips();
    void opensCentredOnTheMainWindow();
    void showsItsTexts();
    void laysOutTheForm();
    void linksOpenThroughThePlatform();
    void closingDiscardsTheWindow();
    void aboutWhileShownRerunsTheSteps();
    void holdsTheFocusWithinTheProgram();
    void carriesNoIconButTheProgramHasOne();

private:
    frmAbout* OpenAbout() { return frmAbout::OpenOver(about_, platform_, main_.get()); }
    template <typename T> T* Child(const char* name) { return about_->findChild<T*>(name); }

    quillvane::testing::FakePlatform platform_;
    std::unique_ptr<QWidget> main_; // stands in for the main window
    QLineEdit* txtInput_ = nullptr;
    QPointer<frmAbout> about_;
};

void AboutTest::init() {
    platform_ = {};
    main_ = std::make_unique<QWidget>();
    main_->setGeometry(40, 30, 633, 747);
    txtInput_ = new QLineEdit(main_.get());
    txtInput_->setObjectName(QStringLiteral("txtInput"));
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
}

void AboutTest::cleanup() {
    main_.reset(); // takes an open About window with it
    QVERIFY(about_.isNull());
}

void AboutTest::centresInTwips() {
    struct Case {
        quillvane::TwipsRect mainWindow;
        float width, height, left, top;
    };
    const Case cases[] = {
        {{1000, 1000, 9600, 12000}, 6600, 3800, 2500, 5100}, // the worked example
        {{15, 30, 9525, 11505}, 6465, 3630, 1545, 3967.5},   // half twips are kept
        {{-3000, 0, 1500, 1500}, 6600, 3800, -5550, -1150},  // nothing keeps it on the screen
    };
    for (const Case& c : cases) {
        const quillvane::TwipsPoint at = quillvane::CentreOver(c.mainWindow, c.width, c.height);
        QCOMPARE(at.left, c.left);
        QCOMPARE(at.top, c.top);
    }
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

void AboutTest::showsItsTexts() {
    frmAbout* about = OpenAbout();
    // The caption and the title differ only by the credit that the main window shows too.
    QCOMPARE(about->windowTitle(), kCaption);
    QCOMPARE(about->windowTitle(), Child<QLabel>("lblTitle")->text() + quillvane::kAuthorCredit);
    // One empty line between the copyright line and the licence notice.
    QCOMPARE(Child<QLabel>("lblCopyright")->text(),
             QString(quillvane::kCopyrightLine) + "\n\n" + QString(quillvane::kLicenceNotice));
    const std::pair<const char*, const char*> fixed[] = {
        {"Label1", "Mail:"},
        {"lblMail", "quillvane@example.org"},
        {"Label2", "Website: (Visit for more cool software!)"},
        {"lblWebsite", "https://quillvane.example.org"},
    };
    for (const auto& [name, text] : fixed)
        QCOMPARE(Child<QLabel>(name)->text(), QString(text));
    QCOMPARE(Child<QPushButton>("cmdClose")->text(), QStringLiteral("Close"));
}

void AboutTest::laysOutTheForm() {
    struct Control {
        const char* name;
        QRect twips;
        const char* face;
        double points;
        bool bold, link;
    };
    const Control controls[] = {
        {"lblTitle", {120, 120, 6255, 495}, "Arial", 12.75, true, false},
        {"lblCopyright", {120, 600, 4335, 975}, "MS Sans Serif", 8.25, false, false},
        {"Label1", {240, 1800, 2775, 255}, "MS Sans Serif", 8.25, false, false},
        {"lblMail", {240, 2040, 4095, 255}, "MS Sans Serif", 8.25, false, true},
        // As wide as the link below it, so that the substitute face shows the whole text.
        {"Label2", {240, 2400, 4095, 255}, "MS Sans Serif", 8.25, false, false},
        {"lblWebsite", {240, 2640, 4095, 255}, "MS Sans Serif", 8.25, false, true},
        {"cmdClose", {120, 3000, 2655, 255}, "MS Sans Serif", 8.25, false, false},
    };
    frmAbout* about = OpenAbout();
    QCOMPARE(about->minimumSize(), QSize(429, 222)); // 6435 x 3330 twips, fixed
    QCOMPARE(about->maximumSize(), QSize(429, 222));
    QVERIFY(!(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    for (const Control& c : controls) {
        const QWidget* control = about->findChild<QWidget*>(c.name);
        QVERIFY2(control, c.name);
        QCOMPARE(control->geometry(), QRect(c.twips.topLeft() / 15, c.twips.size() / 15));
        QCOMPARE(control->font().families().value(0), QString(c.face));
        QCOMPARE(control->font().pointSizeF(), c.points);
        QCOMPARE(control->font().bold(), c.bold);
        QCOMPARE(control->font().underline(), c.link);
        QCOMPARE(control->palette().color(control->foregroundRole()) == QColor(0, 0, 255), c.link);
        QCOMPARE(control->cursor().shape() == Qt::PointingHandCursor, c.link);
        // The Close button is the only control that takes the focus.
        QCOMPARE(control->focusPolicy() != Qt::NoFocus, control == Child<QPushButton>("cmdClose"));
    }
}

void AboutTest::linksOpenThroughThePlatform() {
    struct Click {
        const char* label;
        Qt::MouseButton button;
        const char* opened; // nullptr: nothing
    };
    const Click clicks[] = {
        {"lblMail", Qt::LeftButton, "mailto:quillvane@example.org"},
        {"lblWebsite", Qt::LeftButton, "https://quillvane.example.org"},
        {"lblMail", Qt::RightButton, nullptr},
        {"Label2", Qt::LeftButton, nullptr},
    };
    frmAbout* about = OpenAbout();
    for (const Click& click : clicks) {
        platform_.openedUrls.clear();
        QTest::mouseClick(Child<QLabel>(click.label), click.button);
        QCOMPARE(platform_.openedUrls,
                 click.opened ? std::vector<std::string>{click.opened} : std::vector<std::string>{});
    }
    QVERIFY(about->isVisible()); // whatever the desktop did with the links
}

void AboutTest::closingDiscardsTheWindow() {
    for (bool byButton : {true, false}) { // else by the frame's close command
        frmAbout* first = OpenAbout();
        QSignalSpy destroyed(first, &QObject::destroyed);
        if (byButton)
            QTest::mouseClick(Child<QPushButton>("cmdClose"), Qt::LeftButton);
        else
            first->close();
        // Asked between the close and the deletion, the main window gets nothing.
        QVERIFY(about_.isNull() || !about_->TakeFocusIfShown());
        QTRY_COMPARE(destroyed.count(), 1);

        frmAbout* second = OpenAbout();
        QVERIFY(second->isVisible());
        QCOMPARE(second->windowTitle(), kCaption);
        QCOMPARE(Child<QLabel>("lblTitle")->text(), QStringLiteral("About Quillvane"));
        second->close();
        QTRY_VERIFY(about_.isNull());
    }
}

void AboutTest::aboutWhileShownRerunsTheSteps() {
    frmAbout* about = OpenAbout();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    about->setWindowTitle(QStringLiteral("stale"));
    Child<QLabel>("lblTitle")->clear();
    main_->move(main_->pos() + QPoint(60, 40));
    const QPoint before = about->frameGeometry().topLeft();

    QCOMPARE(OpenAbout(), about);
    QCOMPARE(about->windowTitle(), kCaption);
    QCOMPARE(Child<QLabel>("lblTitle")->text(), QStringLiteral("About Quillvane"));
    QCOMPARE(about->frameGeometry().topLeft(), before + QPoint(60, 40));
}

void AboutTest::holdsTheFocusWithinTheProgram() {
    frmAbout* about = OpenAbout();
    auto* cmdClose = Child<QPushButton>("cmdClose");
    QTRY_COMPARE(QApplication::focusWidget(), cmdClose);
    QVERIFY(about->TakeFocusIfShown()); // what the main window asks when it gets the focus

    // A click into the main window's text box: the focus gets there, and comes straight back.
    QSignalSpy focusMoves(qApp, &QApplication::focusChanged);
    main_->activateWindow();
    QTest::mouseClick(txtInput_, Qt::LeftButton);
    QTRY_VERIFY(std::any_of(focusMoves.cbegin(), focusMoves.cend(), [&](const QList<QVariant>& move) {
        return move.at(1).value<QWidget*>() == txtInput_;
    }));
    QTRY_COMPARE(QApplication::focusWidget(), cmdClose);
    QTRY_COMPARE(QApplication::activeWindow(), about);

    // Another program activated: Qt reports no focus widget at all, which stays so.
    // (Offscreen cannot show whether the window would be raised again; checked on X.)
    QApplication::setActiveWindow(nullptr);
    QTest::qWait(50);
    QCOMPARE(QApplication::focusWidget(), nullptr);

    // Once the window is closed the main window keeps its focus.
    about->close();
    QTRY_VERIFY(about_.isNull());
    main_->activateWindow();
    txtInput_->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), txtInput_);
    QTest::qWait(50);
    QCOMPARE(QApplication::focusWidget(), txtInput_);
}

void AboutTest::carriesNoIconButTheProgramHasOne() {
    const QIcon appIcon = quillvane::ApplicationIcon();
    QApplication::setWindowIcon(appIcon);
    for (int side : {16, 32}) {
        QVERIFY(appIcon.availableSizes().contains(QSize(side, side)));
        QVERIFY(!IsBlank(appIcon, side));
    }
    // An empty icon would fall back to the program's; the window's own is transparent.
    const QIcon icon = OpenAbout()->windowIcon();
    QVERIFY(!icon.isNull() && IsBlank(icon, 16) && IsBlank(icon, 32));
    QApplication::setWindowIcon(QIcon());
}

QTEST_MAIN(AboutTest)
#include "about_test.moc"
