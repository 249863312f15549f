#include "common/OList.h"

OList::OList() {
    m_sentinel.prev = &m_sentinel;
    m_sentinel.next = &m_sentinel;
    m_cursor = &m_sentinel;
}

OList::~OList() { Clear(); }

void OList::InsertBefore(Node* at, void* item) {
    Node* n = new Node;
    n->item = item;
    n->next = at;
    n->prev = at->prev;
    at->prev->next = n;
    at->prev = n;
    ++m_count;
}

void OList::Append(void* item) { InsertBefore(&m_sentinel, item); }

void OList::InsertBeforeCursor(void* item) { InsertBefore(m_cursor, item); }

bool OList::Remove(void* item) {
    Node* n = m_sentinel.next;
    while (n != &m_sentinel && n->item != item) n = n->next;
    if (n == &m_sentinel) return false;
    if (m_cursor == n) {
        // The cursor moves on to the next node, or back when the last node goes.
        m_cursor = (n->next != &m_sentinel) ? n->next : n->prev;
    }
    n->prev->next = n->next;
    n->next->prev = n->prev;
    delete n;
    --m_count;
    return true;
}

void OList::Reset() { m_cursor = m_sentinel.next; }

bool OList::AtEnd() const { return m_cursor == &m_sentinel; }

void OList::Advance() {
    if (m_cursor != &m_sentinel) m_cursor = m_cursor->next;
}

void* OList::Current() const { return m_cursor == &m_sentinel ? nullptr : m_cursor->item; }

void OList::Clear() {
    Node* n = m_sentinel.next;
    while (n != &m_sentinel) {
        Node* next = n->next;
        delete n;
        n = next;
    }
    m_sentinel.prev = &m_sentinel;
    m_sentinel.next = &m_sentinel;
    m_cursor = &m_sentinel;
    m_count = 0;
}

void* OList::At(int index) const {
    if (index < 0 || index >= m_count) return nullptr;
    Node* n = m_sentinel.next;
    for (int i = 0; i < index; ++i) n = n->next;
    return n->item;
}

bool OList::Contains(const void* item) const {
    for (Node* n = m_sentinel.next; n != &m_sentinel; n = n->next)
        if (n->item == item) return true;
    return false;
}
