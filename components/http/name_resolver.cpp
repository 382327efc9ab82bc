#include "name_resolver.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come before windows.h.
#include <windows.h>
#else
#include <dlfcn.h>
#include <netdb.h>
#include <sys/socket.h>
#endif

namespace Osmer_Framework {
namespace http {

namespace {

// Lookups whose callers gave up on them and which still run, each a thread blocked in the
// resolver, counted per name. Past this many for one name, that name fails at once: a name no
// server answers must not pile up threads, nor cost the other names (those of the hosts file
// among them) their lookups.
constexpr int kMostAbandonedLookupsPerName = 16;

class AbandonedLookups {
public:
    int Of(const std::string& host)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_count.find(host);
        return found != m_count.end() ? found->second : 0;
    }
    void Add(const std::string& host)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_count[host];
    }
    void Remove(const std::string& host)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_count.find(host);
        if (found != m_count.end() && --found->second <= 0) {
            m_count.erase(found);
        }
    }

private:
    std::mutex m_mutex;
    std::map<std::string, int> m_count;
};

// Never destroyed: a lookup left behind may end while the process exits.
AbandonedLookups& Abandoned()
{
    static AbandonedLookups* const abandoned = new AbandonedLookups();
    return *abandoned;
}

// What the caller and its resolver thread share; the thread owns it too, so the caller may leave.
struct Lookup {
    Lookup(std::string name, std::string port) : host(std::move(name)), service(std::move(port)) {}
    ~Lookup()
    {
        if (addresses != nullptr) {
            freeaddrinfo(addresses);
        }
    }
    Lookup(const Lookup&) = delete;
    Lookup& operator=(const Lookup&) = delete;

    const std::string host;
    const std::string service;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    int error = 0;
    addrinfo* addresses = nullptr;  // freed with the lookup unless the caller took it
};

int LookUp(const std::string& host, const std::string& service, int flags, addrinfo*& addresses)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | flags;
    return getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses);
}

void RunLookup(Lookup& lookup)
{
    addrinfo* addresses = nullptr;
    const int error = LookUp(lookup.host, lookup.service, 0, addresses);
    std::lock_guard<std::mutex> lock(lookup.mutex);
    lookup.error = error;
    lookup.addresses = error == 0 ? addresses : nullptr;
    lookup.done = true;
    if (lookup.abandoned) {
        Abandoned().Remove(lookup.host);
    }
    lookup.finished.notify_all();
}

// A resolver thread that outlives its caller runs this library's code when its lookup ends, so
// from the first one left behind the library stays loaded until the process ends.
const char g_insideThisLibrary = 0;

void KeepLibraryLoaded()
{
    static std::once_flag once;
    std::call_once(once, [] {
#ifdef _WIN32
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&g_insideThisLibrary), &self);
#else
        Dl_info self{};
        if (dladdr(&g_insideThisLibrary, &self) != 0 && self.dli_fname != nullptr &&
            self.dli_fname[0] != '\0') {
            dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);  // never closed
        }
#endif
    });
}

// Called with the lookup's lock held, so the thread sees the flag when it finishes.
void Abandon(Lookup& lookup)
{
    lookup.abandoned = true;
    Abandoned().Add(lookup.host);
}

std::string Unresolved(const std::string& host, const std::string& why)
{
    return "cannot resolve " + host + ": " + why;
}

std::string DescribeError(int error)
{
    switch (error) {
    case EAI_NONAME:
#if defined(EAI_NODATA) && EAI_NODATA != EAI_NONAME
    case EAI_NODATA:
#endif
        return "no such host";
    case EAI_AGAIN:
        return "no answer from the name servers";
    case EAI_FAIL:
        return "the name servers failed";
    default:
#ifdef _WIN32
        return "resolver error " + std::to_string(error);
#else
        return gai_strerror(error);
#endif
    }
}

std::string NoAnswerWithin(Clock::duration waited)
{
    const auto milliseconds = std::chrono::round<std::chrono::milliseconds>(waited).count();
    if (milliseconds < 1000) {
        return "no answer within " + std::to_string(milliseconds) + " ms";
    }
    return "no answer within " + std::to_string((milliseconds + 500) / 1000) + " s";
}

// Waits for the thread's answer until the deadline or the cancel, checking the cancel flag every
// slice: nothing can wake this wait from the cancelling thread.
Resolution AwaitAnswer(Lookup& lookup, Deadline deadline, CancelSignal* cancel)
{
    Resolution result;
    const auto started = Clock::now();
    std::unique_lock<std::mutex> lock(lookup.mutex);
    while (!lookup.done) {
        if (cancel != nullptr && cancel->Raised()) {
            Abandon(lookup);
            result.status = ResolveStatus::Cancelled;
            result.reason = Unresolved(lookup.host, "cancelled");
            return result;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            Abandon(lookup);
            result.reason = Unresolved(lookup.host, NoAnswerWithin(now - started));
            return result;
        }
        lookup.finished.wait_until(
            lock, cancel != nullptr ? std::min(deadline, now + kCancelSlice) : deadline);
    }
    if (lookup.error != 0 || lookup.addresses == nullptr) {
        result.reason = Unresolved(lookup.host, DescribeError(lookup.error));
        return result;
    }
    result.status = ResolveStatus::Resolved;
    result.addresses.reset(lookup.addresses);
    lookup.addresses = nullptr;
    return result;
}

Resolution ResolveName(const std::string& host, const std::string& service, Deadline deadline,
                       CancelSignal* cancel)
{
    if (Abandoned().Of(host) >= kMostAbandonedLookupsPerName) {
        Resolution busy;
        busy.reason = Unresolved(host, std::to_string(kMostAbandonedLookupsPerName) +
                                           " earlier lookups of this name are still unanswered");
        return busy;
    }
    const auto lookup = std::make_shared<Lookup>(host, service);
    try {
        std::thread([lookup] { RunLookup(*lookup); }).detach();
    } catch (const std::system_error&) {
        Resolution failed;
        failed.reason = Unresolved(host, "no thread for the lookup");
        return failed;
    }
    Resolution result = AwaitAnswer(*lookup, deadline, cancel);
    // Outside the lookup's lock: pinning may wait for the loader, which the resolver may hold.
    if (lookup->abandoned) {
        KeepLibraryLoaded();
    }
    return result;
}

}  // namespace

void AddressListDeleter::operator()(addrinfo* list) const
{
    freeaddrinfo(list);
}

Resolution ResolveHost(const std::string& host, int port, Deadline deadline, CancelSignal* cancel)
{
    const std::string service = std::to_string(port);
    addrinfo* numeric = nullptr;
    if (LookUp(host, service, AI_NUMERICHOST, numeric) == 0) {
        Resolution resolved;
        resolved.status = ResolveStatus::Resolved;
        resolved.addresses.reset(numeric);
        return resolved;
    }
    return ResolveName(host, service, deadline, cancel);
}

}  // namespace http
}  // namespace Osmer_Framework
