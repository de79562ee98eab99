#pragma once

#include "platform/platform.h"

class QWidget;

namespace quillvane {

// The real desktop, through Qt. Dialogs are modal to the given owner window.
class QtPlatform final : public Platform {
public:
    explicit QtPlatform(QWidget* owner = nullptr) : owner_(owner) {}
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

private:
    QWidget* owner_;
};

} // namespace quillvane
