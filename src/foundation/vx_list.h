#pragma once

#include <cstdint>

// Doubly linked list of item pointers. The list does not own its items:
// destruction frees the nodes only; DeleteAll deletes the items as well.
template <typename T> class CVxList {
public:
    struct Node {
        Node* next;
        Node* prev;
        T* item;
    };

    CVxList() = default;
    CVxList(const CVxList&) = delete;
    CVxList& operator=(const CVxList&) = delete;
    virtual ~CVxList() { RemoveAll(); }

    uint32_t Count() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }

    void AddTail(T* item) {
        Node* node = new Node{nullptr, m_tail, item};
        if (m_tail)
            m_tail->next = node;
        else
            m_head = node;
        m_tail = node;
        ++m_count;
    }

    // The item at a position, or null past the end.
    T* At(uint32_t index) const {
        Node* node = m_head;
        for (uint32_t i = 0; node && i < index; ++i)
            node = node->next;
        return node ? node->item : nullptr;
    }

    // Frees the nodes; the items stay with their owner.
    void RemoveAll() {
        while (m_head) {
            Node* next = m_head->next;
            delete m_head;
            m_head = next;
        }
        m_tail = nullptr;
        m_count = 0;
    }

    // Deletes every item, then the nodes.
    void DeleteAll() {
        for (Node* node = m_head; node; node = node->next)
            delete node->item;
        RemoveAll();
    }

    template <typename F> void ForEach(F&& visit) const {
        for (Node* node = m_head; node; node = node->next)
            visit(*node->item);
    }

private:
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    uint32_t m_count = 0;
};
