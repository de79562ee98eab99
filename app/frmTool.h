#pragma once

// The main window: the String converter and QueryString panels, the menus and
// the clipboard commands. Each handler reads its controls, calls the logic in
// convert/ or querystring/, and writes its controls back.

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>

class QButtonGroup;

namespace Ui {
class frmTool;
}

namespace quillvane {

class Platform;
class frmAbout;
class TextBox;

// The settings that the option controls write and the commands read.
struct ToolSettingsData {
    std::string LanguageCode;  // "ASP", "PHPECHO", "PHPPRINT", "JavaScript", "JSP" or "Perl"
    std::string RequestObject; // ASP collection: "Request", "Request.Form" or "Request.QueryString"
    std::string SuperGlobal;   // PHP superglobal without "$_": "GET", "POST" or "COOKIE"
    std::string EmptyTest;     // PHP test for a missing variable: "isset" or "empty"
    bool SingleStatement = false;
    bool PreserveEmptyLines = false;
    bool PreserveTabs = false;
};

class frmTool : public QMainWindow {
    Q_OBJECT

public:
    explicit frmTool(Platform& platform, QWidget* parent = nullptr);
    ~frmTool() override;

    ToolSettingsData ToolSettings;
    std::string LoadedFile; // the path the last browse dialog returned

public slots:
    void Form_Load();
    void Form_GotFocus();
    void Form_Unload();

    // String converter panel.
    void optHTMLto_Click(int index);
    void cmdConvert_Click();
    void cmdClear_Click();
    void cmdSelCopy_Click();
    void cmdLoadFile_Click();
    void cmdSave_Click();
    void txtInput_KeyDown(int keyCode, int shift);
    void txtOutput_KeyDown(int keyCode, int shift);

    // QueryString panel.
    void optGetLang_Click(int index);
    void optQueryASP_Click(int index);
    void optSuperGlobal_Click(int index);
    void optEmpty_Click(int index);
    void cmdAdd_Click();
    void cmdClearGet_Click();
    void cmdSelCopy2_Click();

    // Menus.
    void mnuString_Click();
    void mnuQuery_Click();
    void mnuExit_Click();
    void mnuAbout_Click();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ApplyFonts();
    void SetUpMenuKeys();
    void ConnectHandlers();
    void PlaceWindow();
    void PlaceAgainOnceFramed();
    void ShowAspQueryFrames();
    void ShowPhpQueryFrames();
    void CopyWholeBox(TextBox& box);
    // Keeps the window painted while a big text moves in or out of a box.
    std::function<void(double)> Progress();

    std::unique_ptr<Ui::frmTool> ui;
    Platform& platform_;
    QPointer<frmAbout> about_; // while an About window exists
    bool placedByFrame_ = false;
};

} // namespace quillvane
