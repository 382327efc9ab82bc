// The boundary between a host application and a face-terminal adapter. Hosts are compiled against
// this class: the types, constness, reference kinds and the order of the virtual slots are fixed.
#pragma once

#include <map>
#include <string>

#include "VurodoroViri_Export.h"

namespace Osmer_Framework {
namespace Face {

// Parameters of one operation, read with operator[] (a missing key is inserted with "").
using ParamMap = std::map<std::string, std::string>;
// Terminal serial number -> command identifier -> result text.
using ResultMap = std::map<std::string, std::map<std::string, std::string>>;
// Host callback for terminal results. Runs on the adapter's polling thread; its result is ignored.
using ResultCallback = int (*)(std::map<std::string, std::map<std::string, std::string>>&);

// Every operation returns true when the request was accepted (the gateway answered "200", or a
// setting was stored) and false otherwise; details go to the toolkit's debug-log hook only.
// A true result says nothing about what the terminal did: that arrives through the callback.
class VURODOROVIRI_BASE_API CLS_VurodoroViri_Base {
public:
    CLS_VurodoroViri_Base();
    virtual ~CLS_VurodoroViri_Base() {}

    // 1-4: user records and biometric photos (command identifier, terminal serial number, record).
    virtual bool AddUser(const std::string& _strId, const std::string& _strSn,
                         std::map<std::string, std::string>& _mapUser) = 0;
    virtual bool DelUser(const std::string& _strId, const std::string& _strSn,
                         std::map<std::string, std::string>& _mapUser) = 0;
    virtual bool SetBiophoto(const std::string& _strId, const std::string& _strSn,
                             std::map<std::string, std::string>& _mapPhoto) = 0;
    virtual bool DelBiophoto(const std::string& _strId, const std::string& _strSn,
                             std::map<std::string, std::string>& _mapPhoto) = 0;
    // 5: install the result callback (null is refused).
    virtual bool SetResultCallbackFace(
        int (*_pResultCallback)(std::map<std::string, std::map<std::string, std::string>>&)) = 0;
    // 6-8: gateway set-up.
    virtual bool SetListenPortFace(std::string& _strPort, std::string& _strReset) = 0;
    virtual bool SetInitParamFace(std::map<std::string, std::string>& _mapParam) = 0;
    virtual bool GetAvailableFace(std::map<std::string, std::string>& _mapParam) = 0;
    // 9-10: terminal binding.
    virtual bool BindVurodoroViri(const std::string& _strSn, const int& _iChannel,
                                  const std::string& _strArg1, const std::string& _strArg2,
                                  const std::string& _strArg3, const std::string& _strArg4) = 0;
    virtual bool UnBindVurodoroViri(const std::string& _strSn) = 0;
    // 11-12: terminal status and door control.
    virtual bool GetTerminalStatusFace(const std::string& _strSn) = 0;
    virtual bool ControlDeviceFace(const std::string& _strId, const std::string& _strSn,
                                   const std::string& _strArg1, const std::string& _strArg2,
                                   const std::string& _strArg3) = 0;
    // 13: gateway base URL (scheme and host, no port).
    virtual bool SetUrl(const std::string& _strUrl) = 0;
};

}  // namespace Face
}  // namespace Osmer_Framework
