#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>

#include <memory>

namespace Ui {
class frmAbout;
}

namespace quillvane {

class Platform;

// The About window: title, copyright and licence, and the mail and web links. It is
// modeless, yet while it is shown it keeps the focus against the other windows of
// this program (never against other programs). Closing it deletes it.
class frmAbout : public QWidget {
    Q_OBJECT

public:
    // A hidden About window owned by mainWindow, so that it goes when the main window
    // goes and never keeps the program running on its own.
    frmAbout(Platform& platform, QWidget* mainWindow);
    ~frmAbout() override;

    // The main window's "About": builds the window when there is none (the last one
    // was closed) and runs the opening steps on it. Returns the window shown.
    static frmAbout* OpenOver(QPointer<frmAbout>& about, Platform& platform, QWidget* mainWindow);

    // The opening steps: caption, title, centring on the main window, copyright and
    // licence, show. Run again while shown, they set everything anew.
    void Open();

    // For the main window when it receives the focus: while shown, the About window
    // takes the focus over. Returns whether it did.
    bool TakeFocusIfShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void cmdClose_Click();
    void cmdClose_LostFocus(QWidget* now);
    void Form_LostFocus(QWindow* now);
    void lblMail_Click();
    void lblWebsite_Click();

    void ApplyLook();
    void CentreOnMainWindow();
    QSize OuterSize() const;
    void HoldFocus();

    std::unique_ptr<Ui::frmAbout> ui_;
    Platform& platform_;
    QWidget* mainWindow_;
    // The outer size the last centring assumed, and whether the window manager has yet
    // to frame the window (until then its outer size is only an estimate).
    QSize placedOuterSize_;
    bool awaitingFrame_ = false;
};

} // namespace quillvane
