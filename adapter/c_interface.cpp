// The plain C interface of VurodoroViri_C.h: each function turns C texts into the C++ types, calls
// the adapter, and turns its bool into 1 or 0; whatever is thrown stays here. The C++ callback
// carries no context, so one function delivers every result to the C callback of the newest
// handle, the adapter the polling threads work for.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>

#include "CLS_VurodoroViri_Druvel.h"
#include "VurodoroViri_C.h"
#include "VurodoroViri_Diagnostics.h"

namespace Face = Osmer_Framework::Face;

struct VurodoroViriC_Adapter {
    Face::VurodoroViri_Druvel adapter;
    VurodoroViriC_ResultCallback callback = nullptr;  // guarded by g_newestMutex
    void* context = nullptr;
};

namespace {

using Outcome = Face::VurodoroViri_ExchangeOutcome;
using Delivery = Face::VurodoroViri_Delivery;

// The C names mirror the C++ values; a value added after the last needs no C name to pass through.
static_assert(static_cast<int>(Outcome::None) == VurodoroViriC_None &&
                  static_cast<int>(Outcome::Accepted) == VurodoroViriC_Accepted &&
                  static_cast<int>(Outcome::Refused) == VurodoroViriC_Refused &&
                  static_cast<int>(Outcome::Timeout) == VurodoroViriC_Timeout &&
                  static_cast<int>(Outcome::ConnectionRefused) == VurodoroViriC_ConnectionRefused &&
                  static_cast<int>(Outcome::ConnectionBroken) == VurodoroViriC_ConnectionBroken &&
                  static_cast<int>(Outcome::BadUrl) == VurodoroViriC_BadUrl &&
                  static_cast<int>(Outcome::ReplyTooLarge) == VurodoroViriC_ReplyTooLarge &&
                  static_cast<int>(Outcome::BadReply) == VurodoroViriC_BadReply &&
                  static_cast<int>(Outcome::Cancelled) == VurodoroViriC_Cancelled &&
                  static_cast<int>(Outcome::CannotResolve) == VurodoroViriC_CannotResolve &&
                  static_cast<int>(Outcome::ProxyError) == VurodoroViriC_ProxyError,
              "the C outcome kinds must be the C++ values");
static_assert(static_cast<int>(Delivery::NotSent) == VurodoroViriC_NotSent &&
                  static_cast<int>(Delivery::MayHaveBeenDone) == VurodoroViriC_MayHaveBeenDone &&
                  static_cast<int>(Delivery::Answered) == VurodoroViriC_Answered,
              "the C delivery kinds must be the C++ values");

std::mutex g_newestMutex;
VurodoroViriC_Adapter* g_newest = nullptr;

struct Target {
    VurodoroViriC_ResultCallback callback;
    void* context;
};

// Read before every result: the callback may have destroyed its adapter or replaced itself.
bool NewestTarget(Target& target)
{
    std::lock_guard<std::mutex> lock(g_newestMutex);
    if (g_newest == nullptr || g_newest->callback == nullptr) {
        return false;
    }
    target = Target{g_newest->callback, g_newest->context};
    return true;
}

// The C++ callback: one C call per result; what the C callback takes leaves the map.
int DeliverToC(Face::ResultMap& results)
{
    for (auto terminal = results.begin(); terminal != results.end();) {
        auto& commands = terminal->second;
        for (auto command = commands.begin(); command != commands.end();) {
            Target target{};
            if (!NewestTarget(target)) {
                return 0;
            }
            const bool kept = target.callback(target.context, terminal->first.c_str(),
                                              command->first.c_str(), command->second.c_str()) != 0;
            command = kept ? std::next(command) : commands.erase(command);
        }
        terminal = commands.empty() ? results.erase(terminal) : std::next(terminal);
    }
    return 0;
}

std::string Text(const char* text)
{
    return text != nullptr ? std::string(text) : std::string();
}

Face::ParamMap Fields(const char* const* list)
{
    Face::ParamMap fields;
    for (; list != nullptr && list[0] != nullptr; list += 2) {
        fields[list[0]] = Text(list[1]);
        if (list[1] == nullptr) {
            break;
        }
    }
    return fields;
}

// 1 or 0 for the call's bool; 0 for a NULL handle or anything thrown.
template <typename Call>
int Guarded(VurodoroViriC_Adapter* handle, Call call)
{
    if (handle == nullptr) {
        return 0;
    }
    try {
        return call(handle->adapter) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

using Record = bool (Face::VurodoroViri_Druvel::*)(const std::string&, const std::string&,
                                                   Face::ParamMap&);

int RecordCall(VurodoroViriC_Adapter* handle, Record operation, const char* commandId,
               const char* serial, const char* const* fields)
{
    return Guarded(handle, [&](Face::VurodoroViri_Druvel& adapter) {
        Face::ParamMap record = Fields(fields);
        return (adapter.*operation)(Text(commandId), Text(serial), record);
    });
}

}  // namespace

int VurodoroViriC_Create(VurodoroViriC_Adapter** adapter)
{
    if (adapter == nullptr) {
        return 0;
    }
    *adapter = nullptr;
    try {
        auto handle = std::make_unique<VurodoroViriC_Adapter>();
        std::lock_guard<std::mutex> lock(g_newestMutex);
        g_newest = handle.get();
        *adapter = handle.release();
        return 1;
    } catch (...) {
        return 0;
    }
}

// Forgotten as the newest first, so no delivery starts for it; the delete then waits for one that
// is running on another thread.
int VurodoroViriC_Destroy(VurodoroViriC_Adapter* adapter)
{
    if (adapter == nullptr) {
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(g_newestMutex);
        if (g_newest == adapter) {
            g_newest = nullptr;
        }
    }
    delete adapter;
    return 1;
}

int VurodoroViriC_SetUrl(VurodoroViriC_Adapter* adapter, const char* url)
{
    return Guarded(adapter, [&](Face::VurodoroViri_Druvel& a) { return a.SetUrl(Text(url)); });
}

int VurodoroViriC_SetRequestPort(VurodoroViriC_Adapter* adapter, int port)
{
    return Guarded(adapter, [&](Face::VurodoroViri_Druvel& a) { return a.SetRequestPort(port); });
}

int VurodoroViriC_SetResultCallback(VurodoroViriC_Adapter* adapter,
                                    VurodoroViriC_ResultCallback callback, void* context)
{
    return Guarded(adapter, [&](Face::VurodoroViri_Druvel& a) {
        if (callback == nullptr) {
            return a.SetResultCallbackFace(nullptr);  // refused, and logged as the C++ call is
        }
        {
            std::lock_guard<std::mutex> lock(g_newestMutex);
            adapter->callback = callback;
            adapter->context = context;
        }
        return a.SetResultCallbackFace(&DeliverToC);
    });
}

int VurodoroViriC_AddUser(VurodoroViriC_Adapter* adapter, const char* command_id,
                          const char* serial, const char* const* user)
{
    return RecordCall(adapter, &Face::VurodoroViri_Druvel::AddUser, command_id, serial, user);
}

int VurodoroViriC_DelUser(VurodoroViriC_Adapter* adapter, const char* command_id,
                          const char* serial, const char* const* user)
{
    return RecordCall(adapter, &Face::VurodoroViri_Druvel::DelUser, command_id, serial, user);
}

int VurodoroViriC_SetBiophoto(VurodoroViriC_Adapter* adapter, const char* command_id,
                              const char* serial, const char* const* photo)
{
    return RecordCall(adapter, &Face::VurodoroViri_Druvel::SetBiophoto, command_id, serial, photo);
}

int VurodoroViriC_DelBiophoto(VurodoroViriC_Adapter* adapter, const char* command_id,
                              const char* serial, const char* const* photo)
{
    return RecordCall(adapter, &Face::VurodoroViri_Druvel::DelBiophoto, command_id, serial, photo);
}

int VurodoroViriC_SetListenPort(VurodoroViriC_Adapter* adapter, const char* port, const char* reset)
{
    return Guarded(adapter, [&](Face::VurodoroViri_Druvel& a) {
        std::string portText = Text(port);
        std::string resetText = Text(reset);
        return a.SetListenPortFace(portText, resetText);
    });
}

int VurodoroViriC_SetInitParam(VurodoroViriC_Adapter* adapter, const char* const* settings)
{
    return Guarded(adapter, [&](Face::VurodoroViri_Druvel& a) {
        Face::ParamMap map = Fields(settings);
        return a.SetInitParamFace(map);
    });
}

int VurodoroViriC_GetAvailable(VurodoroViriC_Adapter* adapter)
{
    return Guarded(adapter, [](Face::VurodoroViri_Druvel& a) {
        Face::ParamMap unused;
        return a.GetAvailableFace(unused);
    });
}

int VurodoroViriC_Bind(VurodoroViriC_Adapter* adapter, const char* serial, int channel)
{
    return Guarded(adapter, [&](Face::VurodoroViri_Druvel& a) {
        return a.BindVurodoroViri(Text(serial), channel, "", "", "", "");
    });
}

int VurodoroViriC_Unbind(VurodoroViriC_Adapter* adapter, const char* serial)
{
    return Guarded(
        adapter, [&](Face::VurodoroViri_Druvel& a) { return a.UnBindVurodoroViri(Text(serial)); });
}

int VurodoroViriC_GetTerminalStatus(VurodoroViriC_Adapter* adapter, const char* serial)
{
    return Guarded(adapter, [&](Face::VurodoroViri_Druvel& a) {
        return a.GetTerminalStatusFace(Text(serial));
    });
}

int VurodoroViriC_ControlDevice(VurodoroViriC_Adapter* adapter, const char* command_id,
                                const char* serial)
{
    return Guarded(adapter, [&](Face::VurodoroViri_Druvel& a) {
        return a.ControlDeviceFace(Text(command_id), Text(serial), "", "", "");
    });
}

int VurodoroViriC_LastExchange(int* delivery, int* http_status, char* detail, size_t detail_size)
try {
    const Face::VurodoroViri_LastExchange last = Face::VurodoroViri_GetLastExchange();
    if (delivery != nullptr) {
        *delivery = static_cast<int>(last.delivery);
    }
    if (http_status != nullptr) {
        *http_status = std::atoi(last.status.c_str());
    }
    if (detail != nullptr && detail_size > 0) {
        const std::size_t length = std::min(last.detail.size(), detail_size - 1);
        std::memcpy(detail, last.detail.data(), length);
        detail[length] = '\0';
    }
    return static_cast<int>(last.outcome);
} catch (...) {
    return VurodoroViriC_None;
}

const char* VurodoroViriC_OutcomeName(int outcome)
{
    return Face::VurodoroViri_ExchangeOutcomeName(static_cast<Outcome>(outcome));
}

const char* VurodoroViriC_Version(void)
{
    return Face::VurodoroViri_GetVersion();
}
