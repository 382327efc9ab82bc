#include "pair_states.h"

#include "facepad_protocol.h"

namespace facepad::cli {

namespace {

bool IsAwaited(RequestState state)
{
    return state.send == SendState::Accepted && state.result == ResultState::None;
}

}  // namespace

PairStates::PairStates(std::size_t pairs) : m_states(pairs * 2, 0) {}

std::size_t PairStates::Index(std::size_t pair, Slot slot)
{
    return pair * 2 + static_cast<std::size_t>(slot);
}

RequestState PairStates::Unpack(std::size_t index) const
{
    const std::uint8_t bits = m_states[index];
    return RequestState{static_cast<SendState>(bits & 0x0F), static_cast<ResultState>(bits >> 4)};
}

// Keeps the count of awaited results right whatever order the answer and the result come in:
// on a busy gateway a result may be delivered before its request's answer was read.
void PairStates::Store(std::size_t index, RequestState state)
{
    const bool before = IsAwaited(Unpack(index));
    m_states[index] = static_cast<std::uint8_t>(static_cast<unsigned>(state.send) |
                                                static_cast<unsigned>(state.result) << 4);
    const bool after = IsAwaited(state);
    if (before != after) {
        m_awaited = after ? m_awaited + 1 : m_awaited - 1;
        m_changed.notify_all();
    }
}

void PairStates::KeepDetail(std::size_t index, const std::string& detail)
{
    if (detail.empty()) {
        m_detailOf.erase(index);
        return;
    }
    const auto known = m_textIds.emplace(detail, static_cast<std::uint32_t>(m_texts.size()));
    if (known.second) {
        m_texts.push_back(detail);
    }
    m_detailOf[index] = known.first->second;
}

RequestState PairStates::Get(std::size_t pair, Slot slot) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Unpack(Index(pair, slot));
}

void PairStates::SetSend(std::size_t pair, Slot slot, SendState state, const std::string& detail)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::size_t index = Index(pair, slot);
    RequestState now = Unpack(index);
    now.send = state;
    if (now.result != ResultState::Other) {
        KeepDetail(index, detail);
    }
    Store(index, now);
}

void PairStates::SetResult(std::size_t pair, Slot slot, const std::string& code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::size_t index = Index(pair, slot);
    RequestState now = Unpack(index);
    now.result = code == result_code::kDone ? ResultState::Done : ResultState::Other;
    KeepDetail(index, now.result == ResultState::Other ? code : std::string());
    Store(index, now);
}

std::string PairStates::Detail(std::size_t pair, Slot slot) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_detailOf.find(Index(pair, slot));
    return found == m_detailOf.end() ? std::string() : m_texts[found->second];
}

std::size_t PairStates::Awaited() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_awaited;
}

bool PairStates::WaitUntilNoneAwaited(std::chrono::milliseconds limit) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, limit, [this] { return m_awaited == 0; });
}

}  // namespace facepad::cli
