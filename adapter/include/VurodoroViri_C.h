// The plain C interface: the adapter for hosts in C, C#, Python (ctypes) or built with a compiler
// that cannot share the C++ interface (MSVC, clang-cl, another GCC). Only C types cross it: an
// opaque handle, texts as const char* (UTF-8, passed byte for byte), integers. Every operation
// returns 1 where its C++ counterpart returns true and 0 where it returns false, and nothing is
// thrown out of it. It lives in the same library as the C++ class (VurodoroViri_Druvel.dll,
// libVurodoroViri_Druvel.so.1), with the same behaviour: one POST per operation, results through
// a callback on the adapter's polling thread, the first poll 8 s after creation, one adapter at a
// time (docs/integration-guide.md). Compiles as C11 and as C++.
#pragma once

#include <stddef.h>

#include "VurodoroViri_Export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VurodoroViriC_Adapter VurodoroViriC_Adapter;

// One result of a terminal: its serial number, the command identifier the host sent, the result
// text ("0" done, "-1003" ...). Runs on the adapter's polling thread, one call at a time; the texts
// are valid during the call only. Return 0 when the result is taken; anything else keeps it, and it
// comes again with the next delivery. Results of commands other programs sent come too: take them.
typedef int (*VurodoroViriC_ResultCallback)(void* context, const char* serial,
                                            const char* command_id, const char* result);

// The outcome kinds of VurodoroViriC_LastExchange, the values of the C++ enum
// Osmer_Framework::Face::VurodoroViri_ExchangeOutcome (VurodoroViri_Diagnostics.h) as integers.
// A later library may add kinds after the last; VurodoroViriC_OutcomeName names every kind.
enum {
    VurodoroViriC_None = 0,               // this thread has not exchanged anything yet
    VurodoroViriC_Accepted = 1,           // the gateway answered 200
    VurodoroViriC_Refused = 2,            // another status (see http_status)
    VurodoroViriC_Timeout = 3,            // connect, read or write time-out, or the 30 s deadline
    VurodoroViriC_ConnectionRefused = 4,  // nothing listens there, or unreachable
    VurodoroViriC_ConnectionBroken = 5,   // the connection broke before the whole answer came
    VurodoroViriC_BadUrl = 6,             // the base URL and port do not make an http:// URL
    VurodoroViriC_ReplyTooLarge = 7,      // the answer's head or body went past its limit
    VurodoroViriC_BadReply = 8,           // the answer was not HTTP/1.x
    VurodoroViriC_Cancelled = 9,          // aborted because the adapter was being destroyed
    VurodoroViriC_CannotResolve = 10,     // the host name did not resolve in time
    VurodoroViriC_ProxyError = 11         // a proxy's 502, 503 or 504: delivery MayHaveBeenDone
};

// Whether the gateway may have carried out a command that returned 0: the values of
// Osmer_Framework::Face::VurodoroViri_Delivery.
enum {
    VurodoroViriC_NotSent = 0,          // not one byte reached the gateway: sending again is safe
    VurodoroViriC_MayHaveBeenDone = 1,  // it went out and no answer of the gateway's came
    VurodoroViriC_Answered = 2          // the gateway answered (see http_status)
};

// Creates an adapter (base URL "http://127.0.0.1", port 10001, no callback) and starts its polling
// thread. 1 and `*adapter` set; 0 and `*adapter` NULL when no thread could be started.
VURODOROVIRI_DRUVEL_API int VurodoroViriC_Create(VurodoroViriC_Adapter** adapter);
// Stops the polling thread (within 250 ms; it waits for a callback running on another thread) and
// frees the adapter. Allowed from inside the callback. 0 for NULL.
VURODOROVIRI_DRUVEL_API int VurodoroViriC_Destroy(VurodoroViriC_Adapter* adapter);

// In every call below, a NULL adapter gives 0 and a NULL text counts as "".

// "http://" and a host, no port; stored as it is (always 1), see SetUrl in
// CLS_VurodoroViri_Druvel.h.
VURODOROVIRI_DRUVEL_API int VurodoroViriC_SetUrl(VurodoroViriC_Adapter* adapter, const char* url);
// 0..65535; anything else is refused (0) and the old port stays.
VURODOROVIRI_DRUVEL_API int VurodoroViriC_SetRequestPort(VurodoroViriC_Adapter* adapter, int port);
// Install within 8 s of creation: a result list that arrives with no callback ends the polling
// thread for good. A NULL callback is refused and leaves the installed one in place.
VURODOROVIRI_DRUVEL_API int VurodoroViriC_SetResultCallback(VurodoroViriC_Adapter* adapter,
                                                            VurodoroViriC_ResultCallback callback,
                                                            void* context);

// The operations, one POST each; 1 means the gateway answered 200, nothing more. Records and
// settings are lists of names and values that end with NULL, e.g. { "pin", "1001", "name", "Ada",
// NULL }; a name right before the NULL gets "". Keys as in docs/reference.md.
VURODOROVIRI_DRUVEL_API int VurodoroViriC_AddUser(VurodoroViriC_Adapter* adapter,
                                                  const char* command_id, const char* serial,
                                                  const char* const* user);
VURODOROVIRI_DRUVEL_API int VurodoroViriC_DelUser(VurodoroViriC_Adapter* adapter,
                                                  const char* command_id, const char* serial,
                                                  const char* const* user);
VURODOROVIRI_DRUVEL_API int VurodoroViriC_SetBiophoto(VurodoroViriC_Adapter* adapter,
                                                      const char* command_id, const char* serial,
                                                      const char* const* photo);
VURODOROVIRI_DRUVEL_API int VurodoroViriC_DelBiophoto(VurodoroViriC_Adapter* adapter,
                                                      const char* command_id, const char* serial,
                                                      const char* const* photo);
VURODOROVIRI_DRUVEL_API int VurodoroViriC_SetListenPort(VurodoroViriC_Adapter* adapter,
                                                        const char* port, const char* reset);
VURODOROVIRI_DRUVEL_API int VurodoroViriC_SetInitParam(VurodoroViriC_Adapter* adapter,
                                                       const char* const* settings);
VURODOROVIRI_DRUVEL_API int VurodoroViriC_GetAvailable(VurodoroViriC_Adapter* adapter);
VURODOROVIRI_DRUVEL_API int VurodoroViriC_Bind(VurodoroViriC_Adapter* adapter, const char* serial,
                                               int channel);
VURODOROVIRI_DRUVEL_API int VurodoroViriC_Unbind(VurodoroViriC_Adapter* adapter,
                                                 const char* serial);
// 1 when the gateway reports the terminal connected.
VURODOROVIRI_DRUVEL_API int VurodoroViriC_GetTerminalStatus(VurodoroViriC_Adapter* adapter,
                                                            const char* serial);
// Unlocks the terminal's door (AC_UNLOCK).
VURODOROVIRI_DRUVEL_API int VurodoroViriC_ControlDevice(VurodoroViriC_Adapter* adapter,
                                                        const char* command_id, const char* serial);

// Why the calling thread's last exchange, through any adapter, ended as it did: returns its
// outcome kind; `*delivery` gets its delivery kind, `*http_status` the answer's status (0 when no
// answer came), `detail` the reason in words, cut to `detail_size` bytes with its NUL. Any pointer
// may be NULL.
VURODOROVIRI_DRUVEL_API int VurodoroViriC_LastExchange(int* delivery, int* http_status,
                                                       char* detail, size_t detail_size);
// "accepted", "refused by the gateway", "timed out", ... for an outcome kind; "unknown" for a
// number that is none.
VURODOROVIRI_DRUVEL_API const char* VurodoroViriC_OutcomeName(int outcome);
// The library's version, "major.minor.patch".
VURODOROVIRI_DRUVEL_API const char* VurodoroViriC_Version(void);

#ifdef __cplusplus
}
#endif
