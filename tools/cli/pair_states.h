// What a sync knows of every request it makes: one byte per user, terminal and request kind, so
// that 100,000 users on 50 terminals cost megabytes, not gigabytes. The rare texts (why a send
// failed, the answer's page, a result code other than 0) are kept apart, each distinct text once.
// A request's send and its result are kept apart too: a result is proof of what the terminal did,
// whatever became of the answer to the send. Thread-safe: the senders, the polling thread and the
// journal's reader all write here.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace facepad::cli {

// The requests of one user on one terminal: the user record (or its removal), then its photo.
enum class Slot : std::uint8_t { Record = 0, Photo = 1 };

enum class SendState : std::uint8_t {
    None,       // nothing known: still to send
    Sending,    // written before the request; alone it means "may have arrived"
    Accepted,   // the gateway answered 200
    Refused,    // the gateway answered another status (detail: the reason)
    Unsent,     // the gateway was never reached (detail: the reason); may be sent again
    Uncertain,  // it went out and no answer of the gateway's came (cut off, timed out, a proxy's
                // 502, 503 or 504): it may have been carried out, so it is never sent again
};

enum class ResultState : std::uint8_t { None, Done, Other };

struct RequestState {
    SendState send = SendState::None;
    ResultState result = ResultState::None;
};

// The texts that go with one request's send.
struct SendNote {
    std::string detail;  // why it came out as it did; "" when it was simply accepted
    std::string reply;   // the first bytes of the answer to a failed send, when one came
};

class PairStates {
public:
    explicit PairStates(std::size_t pairs);

    RequestState Get(std::size_t pair, Slot slot) const;
    void SetSend(std::size_t pair, Slot slot, SendState state, const SendNote& note = {});
    void SetResult(std::size_t pair, Slot slot, const std::string& code);
    // Back to "still to send", as if nothing had been known.
    void Forget(std::size_t pair, Slot slot);
    SendNote Note(std::size_t pair, Slot slot) const;
    // The result code when it is not 0, "" otherwise.
    std::string ResultCode(std::size_t pair, Slot slot) const;

    // Requests that went out (or may have) and whose result has not come yet.
    std::size_t Awaited() const;
    // Waits until none is awaited or `limit` passes; true when none is.
    bool WaitUntilNoneAwaited(std::chrono::milliseconds limit) const;

private:
    using TextOf = std::unordered_map<std::size_t, std::uint32_t>;  // index -> m_texts

    static std::size_t Index(std::size_t pair, Slot slot);
    RequestState Unpack(std::size_t index) const;
    void Store(std::size_t index, RequestState state);
    void Keep(TextOf& texts, std::size_t index, const std::string& text);
    std::string Text(const TextOf& texts, std::size_t index) const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::uint8_t> m_states;  // send | result << 4
    TextOf m_detailOf;
    TextOf m_replyOf;
    TextOf m_codeOf;
    std::vector<std::string> m_texts;
    std::unordered_map<std::string, std::uint32_t> m_textIds;
    std::size_t m_awaited = 0;
};

}  // namespace facepad::cli
