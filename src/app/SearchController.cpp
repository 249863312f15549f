#include "app/SearchController.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/WindowAreas.h"
#include "common/Clock.h"
#include "core/CCore.h"
#include "library/CRegionList.h"

namespace {

QComboBox* Choices(const std::vector<std::string>& names, const char* objectName) {
    auto* box = new QComboBox;
    box->setObjectName(objectName);
    for (const std::string& n : names) box->addItem(QString::fromStdString(n));
    box->setCurrentIndex(0);
    return box;
}

int32_t StampOf(const QDate& d) { return MakeDateStamp(d.year(), d.month(), d.day()); }

QDate Today() {
    const LocalDateTime now = Clock::Now();
    return QDate(now.year, now.month, now.day);
}

} // namespace

SearchController::SearchController(CCore& core, const WindowAreas& areas) : AreaController(core) {
    m_panel = new QWidget;
    m_panel->setObjectName("SearchPanel");
    auto* grid = new QGridLayout(m_panel);
    grid->setContentsMargins(0, 4, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);

    m_scope = Choices(CRegionSearch::ScopeNames(), "SearchScope");
    m_operation = Choices(CRegionSearch::OperationNames(), "SearchOperation");
    m_text = new QLineEdit;
    m_text->setObjectName("SearchText");
    m_field = Choices(CRegionSearch::FieldNames(), "SearchField");

    auto dateRow = [&](const char* caption, const char* boxName, const char* editName, QCheckBox*& on,
                       QDateEdit*& edit) {
        on = new QCheckBox(caption);
        on->setObjectName(boxName);
        edit = new QDateEdit(Today());
        edit->setObjectName(editName);
        edit->setCalendarPopup(true);
        edit->setDisplayFormat("yyyy-MM-dd");
    };
    dateRow("After", "SearchAfterOn", "SearchAfter", m_afterOn, m_after);
    dateRow("Before", "SearchBeforeOn", "SearchBefore", m_beforeOn, m_before);
    auto lengthRow = [&](const char* caption, const char* boxName, const char* editName, QCheckBox*& on,
                         QLineEdit*& edit) {
        on = new QCheckBox(caption);
        on->setObjectName(boxName);
        edit = new QLineEdit;
        edit->setObjectName(editName);
        // Minutes and seconds, two places each.
        edit->setInputMask("99m 99s");
        edit->setText("00m 00s");
    };
    lengthRow("Longer then", "SearchLongerOn", "SearchLonger", m_longerOn, m_longer);
    lengthRow("Shorter then", "SearchShorterOn", "SearchShorter", m_shorterOn, m_shorter);
    m_search = new QPushButton("Search");
    m_search->setObjectName("SearchButton");

    int row = 0;
    grid->addWidget(m_scope, row++, 0, 1, 2);
    grid->addWidget(m_operation, row++, 0, 1, 2);
    grid->addWidget(m_text, row++, 0, 1, 2);
    grid->addWidget(new QLabel("in"), row, 0);
    grid->addWidget(m_field, row++, 1);
    grid->addWidget(m_afterOn, row, 0);
    grid->addWidget(m_after, row++, 1);
    grid->addWidget(m_beforeOn, row, 0);
    grid->addWidget(m_before, row++, 1);
    grid->addWidget(m_longerOn, row, 0);
    grid->addWidget(m_longer, row++, 1);
    grid->addWidget(m_shorterOn, row, 0);
    grid->addWidget(m_shorter, row++, 1);
    grid->addWidget(m_search, row++, 0, 1, 2);
    areas.left->addWidget(m_panel);

    QObject::connect(m_search, &QPushButton::clicked, &m_context, [this] { Search(); });
    // Enter in the words runs the search as the button does.
    QObject::connect(m_text, &QLineEdit::returnPressed, &m_context, [this] { Search(); });
}

SearchController::~SearchController() = default;

void SearchController::ModeChanged(int mode) { m_panel->setVisible(mode == kModeBrowse); }

bool SearchController::Settings(SearchSettings& s, std::string& why) const {
    s = SearchSettings{};
    s.scope = m_scope->currentIndex();
    s.operation = m_operation->currentIndex();
    s.text = m_text->text().toStdString();
    s.field = m_field->currentIndex();
    s.afterOn = m_afterOn->isChecked();
    s.afterStamp = StampOf(m_after->date());
    s.beforeOn = m_beforeOn->isChecked();
    s.beforeStamp = StampOf(m_before->date());
    s.longerOn = m_longerOn->isChecked();
    s.shorterOn = m_shorterOn->isChecked();
    // The mask leaves blanks where nothing was typed; they count as 0.
    if (s.longerOn && !CRegionSearch::ParseLength(m_longer->displayText().toStdString(), s.longerSeconds)) {
        why = "Longer then";
        return false;
    }
    if (s.shorterOn && !CRegionSearch::ParseLength(m_shorter->displayText().toStdString(), s.shorterSeconds)) {
        why = "Shorter then";
        return false;
    }
    return true;
}

int SearchController::Search() {
    CRegionList* list = m_core.RegionList();
    SearchSettings s;
    std::string why;
    if (!list || !m_browser || !Settings(s, why)) return -1;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<CRegion*> shown = CRegionSearch::Run(*list, s, list->GetSelectedFolder());
    m_browser->ShowRegions(shown);
    QApplication::restoreOverrideCursor();
    return static_cast<int>(shown.size());
}
