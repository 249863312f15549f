#pragma once
// OList: the one list container of the library. A doubly linked list of untyped item
// pointers with a tail sentinel, an item count and one built-in cursor. It never owns
// its items: clearing or destroying the list frees only its nodes.
//
// Threading: not thread-safe; main thread only like the model that uses it.

#include <cstddef>

class OList {
public:
    // An opaque cursor position, for saving and restoring the cursor around look-ups.
    using Position = void*;

    OList();
    ~OList();
    OList(const OList&) = delete;
    OList& operator=(const OList&) = delete;

    void Append(void* item);
    // Inserts before the cursor; with the cursor at the end this appends.
    void InsertBeforeCursor(void* item);
    // Removes the first node (from the head) that holds item. A cursor on that node moves
    // to the next node, or to the previous one when the removed node was the last.
    bool Remove(void* item);
    void Reset();
    bool AtEnd() const;
    void Advance();
    void* Current() const;
    int Count() const { return m_count; }
    Position GetCursor() const { return m_cursor; }
    void SetCursor(Position p) { m_cursor = static_cast<Node*>(p); }
    void Clear();

    // The n-th item (0-based) without touching the cursor; null when out of range.
    void* At(int n) const;
    void* First() const { return At(0); }
    // The last item without a walk; null when empty.
    void* Last() const { return m_count > 0 ? m_sentinel.prev->item : nullptr; }
    bool Contains(const void* item) const;

    // Walks every item without touching the cursor.
    template <typename F> void ForEach(F&& f) const {
        for (Node* n = m_sentinel.next; n != &m_sentinel; n = n->next) f(n->item);
    }

private:
    struct Node {
        Node* prev = nullptr;
        Node* next = nullptr;
        void* item = nullptr;
    };
    Node m_sentinel; // tail sentinel; also links to the head as a ring
    Node* m_cursor;
    int m_count = 0;
    void InsertBefore(Node* at, void* item);
};

// A typed view over OList for records of one kind.
template <typename T> class TypedList {
public:
    void Append(T* item) { m_list.Append(item); }
    void InsertBeforeCursor(T* item) { m_list.InsertBeforeCursor(item); }
    bool Remove(T* item) { return m_list.Remove(item); }
    void Reset() { m_list.Reset(); }
    bool AtEnd() const { return m_list.AtEnd(); }
    void Advance() { m_list.Advance(); }
    T* Current() const { return static_cast<T*>(m_list.Current()); }
    int Count() const { return m_list.Count(); }
    OList::Position GetCursor() const { return m_list.GetCursor(); }
    void SetCursor(OList::Position p) { m_list.SetCursor(p); }
    void Clear() { m_list.Clear(); }
    T* At(int n) const { return static_cast<T*>(m_list.At(n)); }
    T* Last() const { return static_cast<T*>(m_list.Last()); }
    bool Contains(const T* item) const { return m_list.Contains(item); }
    template <typename F> void ForEach(F&& f) const {
        m_list.ForEach([&](void* p) { f(static_cast<T*>(p)); });
    }
    OList& Raw() { return m_list; }
    const OList& Raw() const { return m_list; }

private:
    OList m_list;
};
