#pragma once
// SearchController: the search panel under the region tree: scope, operation, the words and
// the field they are looked for in, the "After" and "Before" dates and the "Longer then" and
// "Shorter then" lengths, and "Search", which runs the query over the region list
// (library/CRegionSearch.h) and shows every region whose search mark is set in the region
// browser.
//
// Threading: main thread only.

#include <QObject>

#include "app/AreaController.h"
#include "library/CRegionSearch.h"

class BrowserController;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
struct WindowAreas;

class SearchController : public AreaController {
public:
    SearchController(CCore& core, const WindowAreas& areas);
    ~SearchController() override;

    void SetBrowser(BrowserController* browser) { m_browser = browser; }
    void ModeChanged(int mode) override;

    // The panel's settings as the query takes them; false (with the reason) when a length does
    // not read as minutes and seconds.
    bool Settings(SearchSettings& s, std::string& why) const;
    // "Search": how many regions the browser shows afterwards (-1 when the panel is not valid).
    int Search();

private:
    QWidget* m_panel = nullptr;
    QComboBox* m_scope = nullptr;
    QComboBox* m_operation = nullptr;
    QLineEdit* m_text = nullptr;
    QComboBox* m_field = nullptr;
    QCheckBox* m_afterOn = nullptr;
    QDateEdit* m_after = nullptr;
    QCheckBox* m_beforeOn = nullptr;
    QDateEdit* m_before = nullptr;
    QCheckBox* m_longerOn = nullptr;
    QLineEdit* m_longer = nullptr;
    QCheckBox* m_shorterOn = nullptr;
    QLineEdit* m_shorter = nullptr;
    QPushButton* m_search = nullptr;
    BrowserController* m_browser = nullptr;
    QObject m_context;
};
