#pragma once
// Node of a circular singly linked list; owners destroy nodes through the
// virtual destructor.

namespace mervex {

class ListNode {
public:
    ListNode() = default;
    virtual ~ListNode() = default;
    ListNode(const ListNode&) = delete;
    ListNode& operator=(const ListNode&) = delete;

    ListNode* next = nullptr;  // following node; the last node links to the first
};

}  // namespace mervex
