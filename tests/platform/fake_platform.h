#pragma once

// A scripted stand-in for the desktop. Every request goes to `log`: dialogs as
// "kind(title|text...)", a wait as "[...]", work run aside as "aside", a run of
// progress reports as "~". Dialogs take `answers` in turn ("y" is Yes; none cancels).

#include "platform/platform.h"

#include <deque>
#include <string>

namespace quillvane::testing {

struct FakePlatform final : Platform {
    std::string log, clipboard = "(untouched)", programFolder = "/opt/quillvane";
    std::string documentsFolder = "/home/user/Documents/";
    std::deque<std::string> answers;
    bool runAside = true; // false skips the work

    std::string Answer(const std::string& request) {
        log += request;
        const std::string answer = answers.empty() ? "" : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return answer;
    }
    void ClearClipboard() override {
        clipboard.clear();
        log += "clear";
    }
    void SetClipboardText(const std::string& text) override { clipboard = text; }
    std::string BrowseForFile(const std::string& prompt) override { return Answer("browse(" + prompt + ")"); }
    std::string GetSpecialFolder(SpecialFolder folder) override {
        return folder == SpecialFolder::Documents ? documentsFolder : "/home/user/";
    }
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        log += "message(" + title + "|" + text + "|" + std::to_string(static_cast<int>(icon)) + ")";
    }
    bool AskYesNo(const std::string& text, const std::string& title) override {
        return Answer("ask(" + title + "|" + text + ")") == "y";
    }
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& text) override {
        return Answer("input(" + title + "|" + prompt + "|" + text + ")");
    }
    std::string ProgramFolder() override { return programFolder; }
    void OpenUrl(const std::string& url) override { log += "open(" + url + ")"; }
    void BeginWait() override { log += "["; }
    void EndWait() override { log += "]"; }
    void ReportProgress(double) override { log += log.ends_with('~') ? "" : "~"; }
    void RunAside(const std::function<void()>& work) override {
        log += "aside";
        if (runAside)
            work();
    }
};

} // namespace quillvane::testing
