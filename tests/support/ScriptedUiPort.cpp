#include "support/ScriptedUiPort.h"

void ScriptedUiPort::Notice(const std::string& text, const std::string& caption) {
    messages.push_back({"notice", text, caption});
}

bool ScriptedUiPort::Question(const std::string& text, const std::string& caption, bool) {
    messages.push_back({"question", text, caption});
    if (questionAnswers.empty()) return false;
    bool a = questionAnswers.front();
    questionAnswers.pop_front();
    return a;
}

bool ScriptedUiPort::ChooseFolder(const std::string& title, const std::string&, std::string& folder) {
    folderTitles.push_back(title);
    if (folderAnswers.empty()) return false;
    folder = folderAnswers.front();
    folderAnswers.pop_front();
    return !folder.empty();
}

bool ScriptedUiPort::ChooseFiles(const std::string&, const std::string&, const std::string&, bool,
                                 std::vector<std::string>& files) {
    if (fileAnswers.empty()) return false;
    files = fileAnswers.front();
    fileAnswers.pop_front();
    return !files.empty();
}

void ScriptedUiPort::LetEventsThrough() {
    ++eventCalls;
    if (onEvents) onEvents(*this);
}

void ScriptedUiPort::ReportShow() {
    ++reportShows;
    if (m_setting) *m_setting = reportDontShowAgain;
    reportDontShowAgain = false;
}
