#include "app/CommandTable.h"

#include <QAction>
#include <algorithm>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

CommandTable::CommandTable(const CommandRow* rows, size_t count, QObject* parent) : QObject(parent) {
    m_entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        Entry e;
        e.row = &rows[i];
        e.action = new QAction(QString::fromUtf8(rows[i].caption), this);
        e.action->setObjectName(QString::fromUtf8(rows[i].id));
        if (std::string(rows[i].caption) == "-") {
            // A separator with a text is drawn by some styles as a titled section ("-" beside
            // the line): it carries none.
            e.action->setText(QString());
            e.action->setSeparator(true);
        }
        if (rows[i].shortcut[0]) e.action->setShortcut(QKeySequence(QString::fromUtf8(rows[i].shortcut)));
        e.action->setCheckable(rows[i].checkable);
        const std::string id = rows[i].id;
        connect(e.action, &QAction::triggered, this, [this, id](bool checked) { Dispatch(id, checked); });
        m_byId[id] = m_entries.size();
        m_entries.push_back(std::move(e));
        Refresh(m_entries.back());
    }
}

void CommandTable::Bind(const std::string& id, Handler handler) {
    auto it = m_byId.find(id);
    if (it == m_byId.end()) return;
    Entry& e = m_entries[it->second];
    e.handler = std::move(handler);
    Refresh(e);
}

void CommandTable::SetAvailable(const std::string& id, bool available) {
    auto it = m_byId.find(id);
    if (it == m_byId.end()) return;
    m_entries[it->second].available = available;
    Refresh(m_entries[it->second]);
}

QAction* CommandTable::Action(const std::string& id) const {
    auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : m_entries[it->second].action;
}

const CommandRow* CommandTable::Row(const std::string& id) const {
    auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : m_entries[it->second].row;
}

namespace {
// The next component of a menu path below `under` ("" is the bar): "Setup/Audio Storage/On Import"
// below "Setup" is "Audio Storage". Empty when the path is `under` itself or not below it.
std::string NextComponent(const std::string& path, const std::string& under) {
    std::string rest;
    if (under.empty()) {
        rest = path;
    } else {
        if (path.size() <= under.size() + 1 || path.compare(0, under.size(), under) != 0 || path[under.size()] != '/')
            return {};
        rest = path.substr(under.size() + 1);
    }
    return rest.substr(0, rest.find('/'));
}
} // namespace

void CommandTable::BuildMenuBar(QMenuBar* bar) {
    std::vector<std::string> order;
    for (const Entry& e : m_entries) {
        const std::string menu = e.row->menu;
        if (menu.empty() || menu[0] == '@') continue;
        const std::string top = NextComponent(menu, "");
        if (std::find(order.begin(), order.end(), top) == order.end()) order.push_back(top);
    }
    for (const std::string& top : order) {
        QMenu* m = bar->addMenu(QString::fromStdString(top));
        m->setObjectName(QString::fromStdString("menu:" + top));
        FillMenu(top, m);
    }
}

void CommandTable::FillMenu(const std::string& menu, QMenu* into) {
    // Items and submenus in the order of their first row; a submenu holds the rows whose path
    // runs through it.
    std::vector<std::string> made;
    for (Entry& e : m_entries) {
        const std::string path = e.row->menu;
        if (path == menu) {
            // The same action: caption, visibility, check mark and handler stay one.
            into->addAction(e.action);
            continue;
        }
        const std::string sub = NextComponent(path, menu);
        if (sub.empty() || std::find(made.begin(), made.end(), sub) != made.end()) continue;
        made.push_back(sub);
        QMenu* child = into->addMenu(QString::fromStdString(sub));
        child->setObjectName(QString::fromStdString("menu:" + menu + "/" + sub));
        FillMenu(menu + "/" + sub, child);
    }
}

void CommandTable::AddShortcutsTo(QWidget* window) {
    for (Entry& e : m_entries)
        if (e.row->shortcut[0]) window->addAction(e.action);
}

bool CommandTable::Acts(const Entry& e) const {
    return e.handler && e.available && (e.row->modes & (1u << m_mode)) && (e.row->states & (1u << m_state));
}

void CommandTable::Refresh(Entry& e) {
    const bool separator = e.action->isSeparator();
    const bool shown = (e.handler || separator) && (e.row->modes & (1u << m_mode));
    e.action->setVisible(shown);
    e.action->setEnabled(separator || Acts(e));
}

void CommandTable::ApplyMode(int mode) {
    m_mode = mode;
    for (Entry& e : m_entries) Refresh(e);
}

void CommandTable::ApplyTransportState(int state) {
    if (state == m_state) return;
    m_state = state;
    for (Entry& e : m_entries) Refresh(e);
}

bool CommandTable::Dispatch(const std::string& id, bool checked) {
    auto it = m_byId.find(id);
    if (it == m_byId.end()) return false;
    Entry& e = m_entries[it->second];
    if (!Acts(e)) return false;
    e.handler(checked);
    return true;
}
