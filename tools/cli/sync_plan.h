// What a sync works on: every user of the file on every chosen terminal, numbered so that a pair
// is one index (user * terminals + terminal), and the ways back from the texts a journal line, a
// report row or a result carries to that index.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "pair_states.h"
#include "user_csv.h"

namespace facepad::cli {

// sync-users sends a user record and its photo; remove-users one removal.
enum class SyncKind { AddUsers, RemoveUsers };

class SyncPlan {
public:
    SyncPlan(SyncKind kind, std::vector<UserRow> users, std::vector<std::string> terminals);

    SyncKind Kind() const { return m_kind; }
    std::size_t Pairs() const { return m_users.size() * m_terminals.size(); }
    const UserRow& User(std::size_t pair) const { return m_users[pair / m_terminals.size()]; }
    const std::string& Terminal(std::size_t pair) const
    {
        return m_terminals[pair % m_terminals.size()];
    }
    std::size_t UserCount() const { return m_users.size(); }
    bool HasPhoto(std::size_t pair) const { return !User(pair).photoPath.empty(); }

    std::optional<std::size_t> PairOf(const std::string& serial, const std::string& pin) const;
    // "user", "photo" or "remove": the last part of a command id and a journal line's kind.
    const char* SlotName(Slot slot) const;
    std::optional<Slot> SlotNamed(const std::string& name) const;

    // Every pair takes part unless a retry narrows the plan to the pairs it names.
    void SelectOnly(std::vector<bool> selected) { m_selected = std::move(selected); }
    bool Selected(std::size_t pair) const { return m_selected.empty() || m_selected[pair]; }

private:
    SyncKind m_kind;
    std::vector<UserRow> m_users;
    std::vector<std::string> m_terminals;
    std::unordered_map<std::string, std::size_t> m_userIndex;
    std::unordered_map<std::string, std::size_t> m_terminalIndex;
    std::vector<bool> m_selected;
};

}  // namespace facepad::cli
