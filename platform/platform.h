#pragma once

// The one door to the desktop: dialogs, message boxes, the clipboard, links and
// well-known folders. Everything behind it can be swapped for a fake in tests, so
// this header stays free of Qt; text crosses it as UTF-8 std::string.

#include <functional>
#include <string>

namespace quillvane {

enum class MessageIcon { None, Question, Warning };

enum class SpecialFolder { Desktop, Documents, Home };

class Platform {
public:
    virtual ~Platform() = default;

    // The clipboard receives plain text, exactly as given (CR LF stays CR LF).
    virtual void ClearClipboard() = 0;
    virtual void SetClipboardText(const std::string& text) = 0;

    // Lets the user pick a file, starting in the desktop folder; the prompt is the
    // dialog's title. Returns the full path, or an empty string on cancel.
    virtual std::string BrowseForFile(const std::string& prompt) = 0;

    // The folder's path followed by "/", or an empty string when there is none.
    virtual std::string GetSpecialFolder(SpecialFolder folder) = 0;

    // A modal message box with an OK button only.
    virtual void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) = 0;

    // A modal Yes/No question with the question icon, Yes being the default.
    // Returns true only when the user answers Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;

    // A modal prompt with an edit field holding defaultText. Returns the field's
    // text on OK, or an empty string on cancel.
    virtual std::string InputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText) = 0;

    // The folder that holds the running program, without a trailing separator.
    virtual std::string ProgramFolder() = 0;

    // Hands a link to the desktop's default handler; the outcome is not reported.
    virtual void OpenUrl(const std::string& url) = 0;

    // Shows the wait cursor while a long command runs; calls nest. Until the
    // outermost wait ends the window takes no input, and once the command has
    // run for a while a modal progress dialog shows.
    virtual void BeginWait() = 0;
    virtual void EndWait() = 0;

    // Called now and then by long work on the window's thread during a wait, with
    // the share done (0 to 1): keeps the window painted and the progress current.
    virtual void ReportProgress(double done) = 0;

    // Runs `work` to its end while the window keeps painting; during a wait it
    // may run on another thread, so it must touch neither widgets nor the platform.
    virtual void RunAside(const std::function<void()>& work) = 0;
};

// Keeps the wait cursor up for the life of a scope, whatever way it is left.
class WaitCursor {
public:
    explicit WaitCursor(Platform& platform) : platform_(platform) { platform_.BeginWait(); }
    ~WaitCursor() { platform_.EndWait(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    Platform& platform_;
};

} // namespace quillvane
