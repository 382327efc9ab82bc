#include "pair_states.h"

#include "facepad_protocol.h"

namespace facepad::cli {

namespace {

bool MayHaveGoneOut(SendState send)
{
    return send == SendState::Accepted || send == SendState::Sending ||
           send == SendState::Uncertain;
}

// What may have reached a terminal is awaited: its result, when one comes, decides.
bool IsAwaited(RequestState state)
{
    return MayHaveGoneOut(state.send) && state.result == ResultState::None;
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

void PairStates::Keep(TextOf& texts, std::size_t index, const std::string& text)
{
    if (text.empty()) {
        texts.erase(index);
        return;
    }
    const auto known = m_textIds.emplace(text, static_cast<std::uint32_t>(m_texts.size()));
    if (known.second) {
        m_texts.push_back(text);
    }
    texts[index] = known.first->second;
}

std::string PairStates::Text(const TextOf& texts, std::size_t index) const
{
    const auto found = texts.find(index);
    return found == texts.end() ? std::string() : m_texts[found->second];
}

RequestState PairStates::Get(std::size_t pair, Slot slot) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Unpack(Index(pair, slot));
}

void PairStates::SetSend(std::size_t pair, Slot slot, SendState state, const SendNote& note)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::size_t index = Index(pair, slot);
    RequestState now = Unpack(index);
    now.send = state;
    Keep(m_detailOf, index, note.detail);
    Keep(m_replyOf, index, note.reply);
    Store(index, now);
}

void PairStates::SetResult(std::size_t pair, Slot slot, const std::string& code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::size_t index = Index(pair, slot);
    RequestState now = Unpack(index);
    now.result = code == result_code::kDone ? ResultState::Done : ResultState::Other;
    Keep(m_codeOf, index, now.result == ResultState::Other ? code : std::string());
    Store(index, now);
}

void PairStates::Forget(std::size_t pair, Slot slot)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::size_t index = Index(pair, slot);
    for (TextOf* texts : {&m_detailOf, &m_replyOf, &m_codeOf}) {
        texts->erase(index);
    }
    Store(index, RequestState{});
}

SendNote PairStates::Note(std::size_t pair, Slot slot) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::size_t index = Index(pair, slot);
    return SendNote{Text(m_detailOf, index), Text(m_replyOf, index)};
}

std::string PairStates::ResultCode(std::size_t pair, Slot slot) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Text(m_codeOf, Index(pair, slot));
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
