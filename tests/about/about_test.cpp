#include "app/about_geometry.h"
#include "app/app_icon.h"
#include "app/credits.h"
#include "app/frmAbout.h"
#include "tests/platform/fake_platform.h"

#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <memory>

using namespace quillvane;

namespace {

// Whether every pixel of the icon at this size is transparent (or there are none).
bool IsBlank(const QIcon& icon, int side) {
    const QImage image = icon.pixmap(side).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return std::all_of(image.constBits(), image.constBits() + image.sizeInBytes(),
                       [](uchar b) { return b == 0; });
}

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

    testing::FakePlatform platform_;
    std::unique_ptr<QWidget> main_; // stands in for the main window
    QLineEdit* txtInput_ = nullptr;
    QPointer<frmAbout> about_;

    frmAbout* OpenAbout() { return frmAbout::OpenOver(about_, platform_, main_.get()); }
    template <typename T = QLabel> T* Child(const char* name) { return about_->findChild<T*>(name); }

private slots:
    void init() {
        main_ = std::make_unique<QWidget>();
        main_->setGeometry(40, 30, 633, 747);
        txtInput_ = new QLineEdit(main_.get());
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }
    // The main window takes an open About window with it, so that it never keeps the
    // program running on its own.
    void cleanup() {
        main_.reset();
        QVERIFY(about_.isNull());
    }

    // Centred on the main window with both frames counted, in twips and single
    // precision: half twips are kept, and nothing keeps the window on the screen.
    void opens() {
        const TwipsPoint halves = CentreOver({15, 30, 9525, 11505}, 6465, 3630);
        QCOMPARE(QPointF(halves.left, halves.top), QPointF(1545, 3967.5));
        const TwipsPoint outside = CentreOver({-3000, 0, 1500, 1500}, 6600, 3800);
        QCOMPARE(QPointF(outside.left, outside.top), QPointF(-5550, -1150));

        frmAbout* about = OpenAbout();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        const QRect main = main_->frameGeometry(), outer = about->frameGeometry();
        QVERIFY(outer.size() != about->size());
        QVERIFY(qAbs(outer.x() - (main.x() + (main.width() - outer.width()) / 2.0)) <= 0.5);
        QVERIFY(qAbs(outer.y() - (main.y() + (main.height() - outer.height()) / 2.0)) <= 0.5);
        // The caption adds the credit that the main window shows too.
        QCOMPARE(about->windowTitle(), QStringLiteral("About Quillvane - by the Quillvane developers"));
        QCOMPARE(Child("lblTitle")->text(), "About Quillvane");
        // One empty line between copyright and licence, broken by LF: a label shows a CR as a space.
        QCOMPARE(Child("lblCopyright")->text(), QString(kCopyrightLine) + "\n\n" + kLicenceNotice);
        QCOMPARE(about->minimumSize(), about->maximumSize());
        QVERIFY(!(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        // The program's icon has an image at every common size; the About window shows
        // none (an empty icon would fall back to the program's).
        for (int side : {16, 24, 32, 48, 128})
            QVERIFY(ApplicationIcon().availableSizes().contains(QSize(side, side)) &&
                    !IsBlank(ApplicationIcon(), side));
        QVERIFY(!about->windowIcon().isNull() && IsBlank(about->windowIcon(), 16) &&
                IsBlank(about->windowIcon(), 32));
    }

    // A left click or a screen reader's press opens a link; nothing else does.
    void links() {
        const std::tuple<const char*, Qt::MouseButton, std::vector<std::string>> clicks[] = {
            {"lblMail", Qt::LeftButton, {"mailto:quillvane@example.org"}},
            {"lblWebsite", Qt::NoButton, {"https://quillvane.example.org"}}, // pressed by a screen reader
            {"lblMail", Qt::RightButton, {}},
            {"Label2", Qt::LeftButton, {}},
        };
        OpenAbout();
        for (const auto& [label, button, opened] : clicks) {
            platform_.openedUrls.clear();
            if (button == Qt::NoButton)
                QAccessible::queryAccessibleInterface(Child(label))->actionInterface()->doAction("Press");
            else
                QTest::mouseClick(Child(label), button);
            QCOMPARE(platform_.openedUrls, opened);
        }
    }

    // About while shown centres the same window anew; after a close, by the button
    // or by the frame, it builds a fresh one.
    void reopens() {
        frmAbout* about = OpenAbout();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        const QPoint before = about->frameGeometry().topLeft();
        main_->move(main_->pos() + QPoint(60, 40));
        QCOMPARE(OpenAbout(), about);
        QCOMPARE(about->frameGeometry().topLeft(), before + QPoint(60, 40));
        for (bool byButton : {true, false}) {
            const QPointer<frmAbout> closed = about_;
            byButton ? QTest::mouseClick(Child<QPushButton>("cmdClose"), Qt::LeftButton)
                     : void(closed->close());
            // Asked between the close and the deletion, the closed window takes nothing.
            QVERIFY(closed.isNull() || !closed->TakeFocusIfShown());
            frmAbout* fresh = OpenAbout();
            QTRY_VERIFY(closed.isNull());
            QVERIFY(about_ == fresh && fresh->isVisible());
        }
    }

    // While shown it takes the focus back from the program's other windows, but
    // never from another program.
    void holdsTheFocus() {
        auto* cmdClose = OpenAbout()->findChild<QPushButton*>("cmdClose");
        QTRY_COMPARE(QApplication::focusWidget(), cmdClose);
        // A click into the main window's box: the focus gets there, and comes straight back.
        QSignalSpy moves(qApp, &QApplication::focusChanged);
        main_->activateWindow();
        QTest::mouseClick(txtInput_, Qt::LeftButton);
        QTRY_VERIFY(std::any_of(moves.cbegin(), moves.cend(), [&](const auto& move) {
            return move[1].template value<QWidget*>() == txtInput_;
        }));
        QTRY_COMPARE(QApplication::focusWidget(), cmdClose);
        QTRY_COMPARE(QApplication::activeWindow(), about_.data());
        // Another program activated: Qt reports no focus widget, which stays so.
        // (Offscreen cannot show whether the window would be raised; checked on X.)
        QApplication::setActiveWindow(nullptr);
        QTest::qWait(50);
        QCOMPARE(QApplication::focusWidget(), nullptr);
    }
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
