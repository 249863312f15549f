#include "app/PrefsController.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QEvent>
#include <QFont>
#include <QString>
#include <QWidget>

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "core/CCore.h"
#include "library/CPrefs.h"

namespace {
const char* const kFontIds[3] = {"setup.font.small", "setup.font.medium", "setup.font.large"};
// The lists and boxes of the window that show text at the chosen size; the sections' own lists
// join through AddFontTargets.
const char* const kFontWidgets[] = {"RegionTree", "PresetTree", "PresetList", "SameSampleRegions", "RegionNotes"};
// A stored tree height outside this span comes from a damaged store and is not applied.
constexpr int kMinTreeHeight = 40;
constexpr int kMaxTreeHeight = 2000;
} // namespace

PrefsController::PrefsController(CCore& core, QWidget* window, BrowserController& browser)
    : AreaController(core), m_window(window), m_browser(browser) {}

int PrefsController::FontPixels(int choice) {
    switch (choice) {
    case 1: return 14;
    case 2: return 15;
    default: return 12;
    }
}

void PrefsController::ApplyFont(QWidget* widget, int px) {
    if (!widget) return;
    QFont f = widget->font();
    f.setPixelSize(px);
    widget->setFont(f);
    // A list draws its rows in its viewport, which keeps a font of its own once it was set.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) area->viewport()->setFont(f);
}

void PrefsController::RegisterCommands(CommandTable& commands) {
    m_commands = &commands;
    for (int i = 0; i < 3; ++i) commands.Bind(kFontIds[i], [this, i](bool) { SetFontSize(i); });
}

void PrefsController::CoreStarted() {
    CPrefs* prefs = m_core.Prefs();
    if (!prefs) return;
    m_autoPlayAtClick = prefs->Has(kAutoPlayAtClickKey) && prefs->GetByte(kAutoPlayAtClickKey) != 0;
    // "AutoPlay Range" is kept in the store but never comes back on by itself.
    m_autoPlayRange = false;
    // Only the preset tree takes its stored height; the region tree's is written for the record
    // (and kept as it was when the window never showed).
    if (prefs->Has(kRegionTreeHeightKey)) m_regionTreeHeight = prefs->GetInt(kRegionTreeHeightKey);
    m_regionTree = m_window->findChild<QWidget*>("RegionTree");
    m_presetTree = m_window->findChild<QWidget*>("PresetTree");
    if (prefs->Has(kPresetTreeHeightKey)) {
        const int h = prefs->GetInt(kPresetTreeHeightKey);
        if (h >= kMinTreeHeight && h <= kMaxTreeHeight) {
            m_presetTreeHeight = h;
            if (m_presetTree) m_presetTree->setFixedHeight(h);
        }
    }
    // A window that never shows has no layout: the heights stay as stored (or unknown, 0).
    for (QWidget* tree : {m_regionTree.data(), m_presetTree.data()})
        if (tree) tree->installEventFilter(this);
    for (int i = 0; i < 3; ++i) {
        m_panelTypes[i] = kFixedPanelType;
        m_controlColours[i] = kFixedControlColour;
    }
    const int font = prefs->Has(kFontSizeKey) ? prefs->GetInt(kFontSizeKey) : 0;
    for (const char* name : kFontWidgets)
        if (auto* w = m_window->findChild<QWidget*>(name)) m_fontTargets.append(w);
    SetFontSize(font);
}

void PrefsController::CoreStopping() {
    CPrefs* prefs = m_core.Prefs();
    if (!prefs) return;
    prefs->SetByte(kAutoPlayAtClickKey, m_autoPlayAtClick ? 1 : 0);
    prefs->SetByte(kAutoPlayRangeKey, m_autoPlayRange ? 1 : 0);
    for (QWidget* tree : {m_regionTree.data(), m_presetTree.data()})
        if (tree) tree->removeEventFilter(this);
    prefs->SetInt(kRegionTreeHeightKey, m_regionTreeHeight);
    prefs->SetInt(kPresetTreeHeightKey, m_presetTreeHeight);
    prefs->SetInt(kFontSizeKey, m_fontSize);
    for (int i = 0; i < 3; ++i) {
        prefs->SetInt(kPanelTypeKey + i, m_panelTypes[i]);
        prefs->SetInt(kControlColourKey + i, m_controlColours[i]);
    }
}

bool PrefsController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->isVisible()) {
            if (w == m_regionTree) m_regionTreeHeight = w->height();
            else if (w == m_presetTree) m_presetTreeHeight = w->height();
        }
    }
    return QObject::eventFilter(watched, event);
}

void PrefsController::SetFontSize(int choice) {
    m_fontSize = (choice >= 0 && choice <= 2) ? choice : 0;
    CheckFontItems();
    ApplyFontEverywhere();
}

void PrefsController::AddFontTargets(const QList<QWidget*>& widgets) {
    const int px = FontPixels(m_fontSize);
    for (QWidget* w : widgets) {
        if (!w) continue;
        m_fontTargets.append(w);
        ApplyFont(w, px);
    }
}

void PrefsController::CheckFontItems() {
    if (!m_commands) return;
    for (int i = 0; i < 3; ++i)
        if (QAction* a = m_commands->Action(kFontIds[i])) a->setChecked(i == m_fontSize);
}

void PrefsController::ApplyFontEverywhere() {
    const int px = FontPixels(m_fontSize);
    for (const QPointer<QWidget>& w : m_fontTargets)
        if (w) ApplyFont(w, px);
    // Both tapes draw their labels at this height and lay their items out by it.
    m_browser.Browser().SetTextHeight(px);
    m_browser.VTape().SetTextHeight(px);
    m_browser.Redraw();
}
