#pragma once

#include "platform/platform.h"

#include <QElapsedTimer>
#include <QPointer>

#include <memory>

class QObject;
class QProgressDialog;
class QWidget;

namespace quillvane {

// The real desktop, through Qt. Dialogs are modal to the given owner window.
class QtPlatform final : public Platform {
public:
    explicit QtPlatform(QWidget* owner = nullptr);
    ~QtPlatform() override;
    void SetOwner(QWidget* owner) { owner_ = owner; }

    void ClearClipboard() override;
    void SetClipboardText(const std::string& text) override;
    std::string BrowseForFile(const std::string& prompt) override;
    std::string GetSpecialFolder(SpecialFolder folder) override;
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
    bool AskYesNo(const std::string& text, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override;
    std::string ProgramFolder() override;
    void OpenUrl(const std::string& url) override;
    void BeginWait() override;
    void EndWait() override;
    void ReportProgress(double done) override;
    void RunAside(const std::function<void()>& work) override;

private:
    void ShowProgress(double done);

    QWidget* owner_;
    int waitDepth_ = 0;
    std::unique_ptr<QObject> inputBlocker_;
    QElapsedTimer waitClock_;  // since the outermost wait began
    QElapsedTimer paintClock_; // since the window was last given time to paint
    QPointer<QProgressDialog> progress_;
};

} // namespace quillvane
