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
        if (std::string(rows[i].caption) == "-") e.action->setSeparator(true);
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

void CommandTable::BuildMenuBar(QMenuBar* bar) {
    std::vector<std::string> order;
    for (const Entry& e : m_entries) {
        const std::string menu = e.row->menu;
        if (menu.empty() || menu[0] == '@') continue;
        if (std::find(order.begin(), order.end(), menu) == order.end()) order.push_back(menu);
    }
    for (const std::string& menu : order) {
        QMenu* m = bar->addMenu(QString::fromStdString(menu));
        m->setObjectName(QString::fromStdString("menu:" + menu));
        for (Entry& e : m_entries)
            if (menu == e.row->menu) m->addAction(e.action);
    }
}

void CommandTable::FillMenu(const std::string& menu, QMenu* into) {
    for (Entry& e : m_entries) {
        if (menu != e.row->menu) continue;
        // The same action: caption, visibility, check mark and handler stay one.
        into->addAction(e.action);
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
