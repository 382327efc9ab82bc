// The face-terminal adapter: every operation is one HTTP POST to the gateway service, and a polling
// thread fetches the terminals' results and hands them to the host's callback.
//
// Threads: operations may be called from any host thread, also from inside the result callback.
// The callback runs on the adapter's polling thread. The destructor stops that thread: it aborts a
// result request in flight, waits for a callback that is running (unless it is called from inside
// that callback), and returns within a fraction of a second.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "CLS_VurodoroViri_Base.h"
#include "Terminal_Http_Tool.h"
#include "VurodoroViri_Export.h"

namespace facepad {
struct Endpoint;
}

namespace Osmer_Framework {
namespace Face {

struct RecordCommand;
struct AdapterOptionsAccess;
enum class FailureLog : int;

class VURODOROVIRI_DRUVEL_API VurodoroViri_Druvel : public CLS_VurodoroViri_Base {
public:
    // Defaults: base URL "http://127.0.0.1", port 10001, no callback. Starts the polling thread;
    // throws std::system_error when it cannot be started.
    VurodoroViri_Druvel();
    ~VurodoroViri_Druvel() override;
    VurodoroViri_Druvel(const VurodoroViri_Druvel&) = delete;
    VurodoroViri_Druvel& operator=(const VurodoroViri_Druvel&) = delete;

    // What each operation sends, key by key, with types and examples: docs/reference.md. Maps are
    // read with operator[]: a key left out is sent as "" (or 0) and inserted into the map. "int"
    // keys go out as JSON numbers (atoi of the text), the others as JSON strings.

    // "facepad/adduser": pin (required), name, pri (int), passwd, verify (int), card, vicecard.
    bool AddUser(const std::string& _strId, const std::string& _strSn,
                 std::map<std::string, std::string>& _mapUser) override;
    // "facepad/deluser": pin.
    bool DelUser(const std::string& _strId, const std::string& _strSn,
                 std::map<std::string, std::string>& _mapUser) override;
    // "facepad/setbiophoto": pin (required), type (int), size (int: the length of content as
    // sent), content (the photo in base64), url, format (int); the gateway needs content or url.
    bool SetBiophoto(const std::string& _strId, const std::string& _strSn,
                     std::map<std::string, std::string>& _mapPhoto) override;
    // "facepad/delbiophoto": pin (no photo type).
    bool DelBiophoto(const std::string& _strId, const std::string& _strSn,
                     std::map<std::string, std::string>& _mapPhoto) override;
    // Null is refused (false) and leaves an installed callback in place.
    bool SetResultCallbackFace(int (*_pResultCallback)(
        std::map<std::string, std::map<std::string, std::string>>&)) override;
    // "facepad/setport": "port=" port, TAB, "reset" and the reset value with no "=" between.
    bool SetListenPortFace(std::string& _strPort, std::string& _strReset) override;
    // "facepad/setinitparam": all of type, AttLog, OpLog, AttPhoto, EnrollUser, ChgUser, EnrollFP,
    // ChgFP, FPImag, FACE, UserPic, WORKCODE, BioPhoto, TimeOut, each as a JSON string.
    bool SetInitParamFace(std::map<std::string, std::string>& _mapParam) override;
    // "facepad/getavailable", empty body. The map is neither read nor written.
    bool GetAvailableFace(std::map<std::string, std::string>& _mapParam) override;
    // "facepad/binding": serial and channel only; the four texts are not sent.
    bool BindVurodoroViri(const std::string& _strSn, const int& _iChannel,
                          const std::string& _strArg1, const std::string& _strArg2,
                          const std::string& _strArg3, const std::string& _strArg4) override;
    // "facepad/unbinding": serial.
    bool UnBindVurodoroViri(const std::string& _strSn) override;
    // "facepad/getterminalstatus": serial. True when the gateway reports at least one connected
    // terminal for the serial number.
    bool GetTerminalStatusFace(const std::string& _strSn) override;
    // "facepad/controldevice": serial, id and the command AC_UNLOCK; the three texts are not sent.
    bool ControlDeviceFace(const std::string& _strId, const std::string& _strSn,
                           const std::string& _strArg1, const std::string& _strArg2,
                           const std::string& _strArg3) override;
    // Any text is stored as it is; always true. Only "http://" and a host name or address make a
    // usable one: with anything more (a trailing "/", a path, a port) every exchange fails at once,
    // the reason in the diagnostics' `detail`, and nothing is sent.
    bool SetUrl(const std::string& _strUrl) override;

    std::string GetUrl() const;
    int GetRequestPort() const;
    // 0..65535; anything else is refused and logged.
    bool SetRequestPort(int _iPort);
    // base URL + ":" + port + "/" + endpoint path.
    std::string GetFullPostUrl(const std::string& _strPath) const;
    // "SN=" serial TAB "id=" identifier TAB "data=" data.
    std::string GetFullPostParam(const std::string& _strId, const std::string& _strSn,
                                 const std::string& _strData);
    // Merges a result list into `_mapResult`, replacing the inner map of every serial it names.
    // False (and `_mapResult` untouched) only when `_strJson` is not JSON.
    bool JsonDataToMapData(const std::string& _strJson,
                           std::map<std::string, std::map<std::string, std::string>>& _mapResult);
    // Body of the polling thread.
    static void SlotTimerTimeout();

private:
    // The options of VurodoroViri_Options.h reach the client and the exchange through it.
    friend struct AdapterOptionsAccess;

    std::string GetExeDirectory();
    void InitJsonLibrary();

    // The one exchange: a POST of `_strBody` to `_endpoint`, then the exact "200" check; true when
    // accepted. A failure writes the operation's log line unless `_eLog` says none. Only the poll
    // and the status query keep the answer's body (`_pReply`); the others read and drop it, the
    // diagnostics keeping its first bytes. `_pCancel` lets the polling thread's stop abort it.
    bool Exchange(const facepad::Endpoint& _endpoint, const std::string& _strBody, FailureLog _eLog,
                  std::string* _pReply = nullptr, Terminal_Http_Cancel* _pCancel = nullptr);
    // Idle connections to a gateway the adapter no longer addresses are closed.
    void ForgetOtherGateways();
    bool SendRecordCommand(const RecordCommand& _command, const std::string& _strId,
                           const std::string& _strSn,
                           std::map<std::string, std::string>& _mapRecord);

    // Sets the two address texts and what every request derives from them; called with
    // m_addressMutex held. A failed allocation leaves the old address whole.
    void SetAddressLocked(std::string _strUrl, std::string _strPort);

    std::string m_strUrl;
    std::string m_strPort;
    // Derived from the two texts when they change, not per request: base URL + ":" + port + "/",
    // and why the base URL cannot address a gateway (null when it can).
    std::string m_strUrlPrefix;
    const char* m_pUrlFault = nullptr;
    Terminal_Http_Tool m_httpTool;
    std::atomic<ResultCallback> m_pResultCallback;
    // Guards the address texts: the polling thread builds URLs while a host may change them.
    mutable std::mutex m_addressMutex;

    static std::atomic<VurodoroViri_Druvel*> m_pCarGate;
    static std::atomic<bool> m_bThreadQuit;
};

}  // namespace Face
}  // namespace Osmer_Framework
