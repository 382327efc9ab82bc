#include "sync_plan.h"

namespace facepad::cli {

namespace {
constexpr char kUserSlot[] = "user";
constexpr char kPhotoSlot[] = "photo";
constexpr char kRemoveSlot[] = "remove";
}  // namespace

SyncPlan::SyncPlan(SyncKind kind, std::vector<UserRow> users, std::vector<std::string> terminals)
    : m_kind(kind), m_users(std::move(users)), m_terminals(std::move(terminals))
{
    m_userIndex.reserve(m_users.size());
    for (std::size_t i = 0; i < m_users.size(); ++i) {
        m_userIndex.emplace(m_users[i].Pin(), i);
    }
    for (std::size_t i = 0; i < m_terminals.size(); ++i) {
        m_terminalIndex.emplace(m_terminals[i], i);
    }
}

std::optional<std::size_t> SyncPlan::PairOf(const std::string& serial, const std::string& pin) const
{
    const auto user = m_userIndex.find(pin);
    const auto terminal = m_terminalIndex.find(serial);
    if (user == m_userIndex.end() || terminal == m_terminalIndex.end()) {
        return std::nullopt;
    }
    return user->second * m_terminals.size() + terminal->second;
}

const char* SyncPlan::SlotName(Slot slot) const
{
    if (m_kind == SyncKind::RemoveUsers) {
        return kRemoveSlot;
    }
    return slot == Slot::Record ? kUserSlot : kPhotoSlot;
}

std::optional<Slot> SyncPlan::SlotNamed(const std::string& name) const
{
    for (const Slot slot : {Slot::Record, Slot::Photo}) {
        if (name == SlotName(slot)) {
            return slot;
        }
    }
    return std::nullopt;
}

}  // namespace facepad::cli
