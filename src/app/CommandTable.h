#pragma once
// CommandTable: every menu item, shortcut and context-menu entry of the main window is one row
// of the table in Commands.cpp. The menus, the context menus (the region views' copy of "Edit"
// among them) and the mode switch's show and hide are built from the rows; the window areas'
// controllers bind their handlers to rows by id. A row acts only in the transport states it
// names; in the others its item is greyed and its shortcut does nothing.
//
// Threading: main thread only.

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The window's two modes.
enum WindowMode : int { kModeBrowse = 0, kModeEdit = 1 };
// kNeverShown: a row that exists for its state (read and written by its controller) but is
// offered to nobody.
enum ModeMask : unsigned {
    kNeverShown = 0,
    kInBrowse = 1u << kModeBrowse,
    kInEdit = 1u << kModeEdit,
    kInBothModes = 3u
};
// Transport states a command acts in, one bit per state of common/TransportState.h.
enum StateMask : unsigned {
    kWhenStopped = 1u << 0,
    kWhenPlaying = 1u << 1,
    kWhenRecording = 1u << 2,
    kWhenMonitoring = 1u << 3,
    kWhenRendering = 1u << 4,
    kInAnyState = 0x1Fu,
};

struct CommandRow {
    const char* id;       // "file.quit"
    const char* menu;     // where it sits: "File", a submenu path "Setup/Audio Storage/On Import", or a
                          // context menu "@RegionGraph"
    const char* caption;  // exactly as the user sees it; "-" is a separator
    const char* shortcut; // QKeySequence text, "" for none
    unsigned modes;       // ModeMask: the modes in which the item is shown
    unsigned states;      // StateMask: the transport states in which it acts
    bool checkable;
};

class CommandTable : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(bool checked)>;

    // rows: the table, in menu order. The actions live as long as the table.
    CommandTable(const CommandRow* rows, size_t count, QObject* parent = nullptr);

    // The controller of a window area binds its handler to a row. Rows nobody binds are not
    // shown: an item that does nothing is never offered.
    void Bind(const std::string& id, Handler handler);
    // A row whose feature this machine lacks stays shown but greyed in every state.
    void SetAvailable(const std::string& id, bool available);
    QAction* Action(const std::string& id) const;
    const CommandRow* Row(const std::string& id) const;

    // The menu bar's menus in the order of their first row, with their submenus; context menus
    // ("@...") are skipped.
    void BuildMenuBar(QMenuBar* bar);
    // A menu or context menu's items and submenus, in order, into `into`. The items are the
    // table's own actions, so a copy shares captions, visibility, check marks and handlers.
    void FillMenu(const std::string& menu, QMenu* into);
    // Shortcuts of rows that sit in no shown menu reach the window through these actions.
    void AddShortcutsTo(QWidget* window);

    // Shows the rows of a mode and hides the others.
    void ApplyMode(int mode);
    // Greys the rows that do not act in this transport state.
    void ApplyTransportState(int state);
    int Mode() const { return m_mode; }
    int TransportState() const { return m_state; }

    // Runs a row's handler as its menu item would: only when it is bound, shown in the current
    // mode and acts in the current state. True when it ran.
    bool Dispatch(const std::string& id, bool checked = false);

private:
    struct Entry {
        const CommandRow* row = nullptr;
        QAction* action = nullptr;
        Handler handler;
        bool available = true;
    };
    bool Acts(const Entry& e) const;
    void Refresh(Entry& e);

    std::vector<Entry> m_entries;
    std::map<std::string, size_t> m_byId;
    int m_mode = kModeBrowse;
    int m_state = 0;
};

// The main window's table.
const CommandRow* MainWindowCommands(size_t& count);
