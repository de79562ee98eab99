#pragma once

// A scripted stand-in for the desktop: records every request and answers from
// queues that a test fills beforehand. An empty queue answers like a cancel.

#include "platform/platform.h"

#include <deque>
#include <string>
#include <vector>

namespace quillvane::testing {

struct ShownMessage {
    std::string text;
    std::string title;
    MessageIcon icon;
};

struct AskedInput {
    std::string prompt;
    std::string title;
    std::string defaultText;
};

class FakePlatform final : public Platform {
public:
    std::string clipboard = "(untouched)";
    int clipboardClears = 0;

    std::deque<std::string> browseAnswers;
    std::vector<std::string> browsePrompts;

    std::deque<bool> yesNoAnswers;
    std::vector<ShownMessage> questions;

    std::deque<std::string> inputAnswers;
    std::vector<AskedInput> inputs;

    std::vector<ShownMessage> messages;
    std::vector<std::string> openedUrls;

    std::string documentsFolder = "/home/user/Documents/";
    std::string homeFolder = "/home/user/";
    std::string programFolder = "/opt/quillvane";

    int waitDepth = 0;
    int waitsBegun = 0;
    int runsAsideInWait = 0;
    int progressInWait = 0;
    int progressOutsideWait = 0;

    void ClearClipboard() override {
        clipboard.clear();
        ++clipboardClears;
    }
    void SetClipboardText(const std::string& text) override { clipboard = text; }

    std::string BrowseForFile(const std::string& prompt) override {
        browsePrompts.push_back(prompt);
        return Pop(browseAnswers, std::string());
    }

    std::string GetSpecialFolder(SpecialFolder folder) override {
        return folder == SpecialFolder::Documents ? documentsFolder : homeFolder;
    }

    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        messages.push_back({text, title, icon});
    }

    bool AskYesNo(const std::string& text, const std::string& title) override {
        questions.push_back({text, title, MessageIcon::Question});
        return Pop(yesNoAnswers, false);
    }

    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override {
        inputs.push_back({prompt, title, defaultText});
        return Pop(inputAnswers, std::string());
    }

    std::string ProgramFolder() override { return programFolder; }

    void OpenUrl(const std::string& url) override { openedUrls.push_back(url); }

    void BeginWait() override {
        ++waitDepth;
        ++waitsBegun;
    }
    void EndWait() override { --waitDepth; }
    void ReportProgress(double) override { ++(waitDepth > 0 ? progressInWait : progressOutsideWait); }
    void RunAside(const std::function<void()>& work) override {
        runsAsideInWait += waitDepth > 0;
        work();
    }

private:
    template <typename T> static T Pop(std::deque<T>& queue, T fallback) {
        if (queue.empty())
            return fallback;
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
};

} // namespace quillvane::testing
