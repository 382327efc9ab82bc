// The adapter object: construction and destruction, the gateway address and the exchange that every
// command performs.
#include "CLS_VurodoroViri_Druvel.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "adapter_log.h"
#include "base_url.h"
#include "facepad_protocol.h"
#include "gateway_exchange.h"
#include "platform_paths.h"
#include "polling_control.h"

namespace Osmer_Framework {
namespace Face {

namespace {
constexpr const char* kDefaultUrl = "http://127.0.0.1";
constexpr const char* kDefaultPort = "10001";

// The URL prefix followed by an endpoint path, nothing added or removed.
std::string JoinUrl(const std::string& prefix, std::string_view path)
{
    std::string url;
    url.reserve(prefix.size() + path.size());
    url.append(prefix).append(path);
    return url;
}
}  // namespace

std::atomic<VurodoroViri_Druvel*> VurodoroViri_Druvel::m_pCarGate{nullptr};
std::atomic<bool> VurodoroViri_Druvel::m_bThreadQuit{false};

VurodoroViri_Druvel::VurodoroViri_Druvel()
    : CLS_VurodoroViri_Base(), m_strUrl(), m_strPort(), m_httpTool(), m_pResultCallback(nullptr)
{
    {
        std::lock_guard<std::mutex> lock(m_addressMutex);
        SetAddressLocked(kDefaultUrl, kDefaultPort);
    }
    PollingControl& polling = PollingControl::Instance();
    polling.Adopt(this, PollingStatics{m_pCarGate, m_bThreadQuit});
    try {
        InitJsonLibrary();
        polling.StartPoller(&SlotTimerTimeout);
    } catch (...) {
        polling.Retire(this);  // no thread may keep a pointer to a half-built adapter
        throw;
    }
}

// Stops every polling thread before the fields go: a result request in flight is aborted and a
// callback that is running is waited for (unless this is its own thread).
VurodoroViri_Druvel::~VurodoroViri_Druvel()
{
    PollingControl::Instance().Retire(this);
}

std::string VurodoroViri_Druvel::GetExeDirectory()
{
    return ExecutablePath();
}

// Neither a failed load nor a failed allocation stops the construction.
void VurodoroViri_Druvel::InitJsonLibrary()
try {
    const std::string libraryPath = JsonLibraryPathFor(GetExeDirectory());
    if (json_load_lib(libraryPath.c_str()) == 0) {
        VV_LOG(kLogLevelError, "VurodoroViri_Druvel::InitJsonLibrary  json_load_lib fail");
    }
} catch (...) {
}

bool VurodoroViri_Druvel::SetUrl(const std::string& _strUrl)
try {
    {
        std::lock_guard<std::mutex> lock(m_addressMutex);
        SetAddressLocked(_strUrl, m_strPort);
    }
    ForgetOtherGateways();
    return true;
} catch (...) {
    return false;
}

void VurodoroViri_Druvel::SetAddressLocked(std::string _strUrl, std::string _strPort)
{
    const char* fault = BaseUrlFault(_strUrl);
    std::string prefix;
    prefix.reserve(_strUrl.size() + _strPort.size() + 2);
    prefix.append(_strUrl).append(1, ':').append(_strPort).append(1, '/');
    m_strUrl.swap(_strUrl);
    m_strPort.swap(_strPort);
    m_strUrlPrefix.swap(prefix);
    m_pUrlFault = fault;
}

std::string VurodoroViri_Druvel::GetUrl() const
{
    std::lock_guard<std::mutex> lock(m_addressMutex);
    return m_strUrl;
}

int VurodoroViri_Druvel::GetRequestPort() const
{
    std::lock_guard<std::mutex> lock(m_addressMutex);
    return std::atoi(m_strPort.c_str());
}

bool VurodoroViri_Druvel::SetRequestPort(int _iPort)
try {
    if (_iPort < 0 || _iPort > 65535) {
        VV_LOG(kLogLevelError, "VurodoroViri_Druvel::SetRequestPort _iPort<0 || _iPort>65535");
        return false;
    }
    char text[32] = {};
    std::snprintf(text, sizeof text, "%d", _iPort);
    {
        std::lock_guard<std::mutex> lock(m_addressMutex);
        SetAddressLocked(m_strUrl, text);
    }
    ForgetOtherGateways();
    return true;
} catch (...) {
    return false;  // a failed allocation: the old port stays
}

std::string VurodoroViri_Druvel::GetFullPostUrl(const std::string& _strPath) const
{
    std::lock_guard<std::mutex> lock(m_addressMutex);
    return JoinUrl(m_strUrlPrefix, _strPath);
}

std::string VurodoroViri_Druvel::GetFullPostParam(const std::string& _strId,
                                                  const std::string& _strSn,
                                                  const std::string& _strData)
{
    return facepad::BuildBody(facepad::body::kRecord, {_strSn, _strId, _strData});
}

// The URL and its base's fault are read together, so a SetUrl in between cannot split them.
bool VurodoroViri_Druvel::Exchange(const facepad::Endpoint& _endpoint, const std::string& _strBody,
                                   FailureLog _eLog, std::string* _pReply,
                                   Terminal_Http_Cancel* _pCancel)
{
    const char* fault = nullptr;
    std::string url;
    {
        std::lock_guard<std::mutex> lock(m_addressMutex);
        fault = m_pUrlFault;
        url = JoinUrl(m_strUrlPrefix, _endpoint.path);
    }
    const GatewayAnswer answer = ExchangeOnce(
        m_httpTool, GatewayRequest{_endpoint.path, url, fault, _strBody, _pReply, _pCancel});
    if (answer != GatewayAnswer::Accepted && _eLog == FailureLog::Written) {
        const char* failure = answer == GatewayAnswer::None ? " Call HttpPostRequest ret false"
                                                            : " Call GetLastPostStatus ret false";
        VV_LOG(kLogLevelError, std::string("VurodoroViri_Druvel::") + _endpoint.sentBy + failure);
    }
    return answer == GatewayAnswer::Accepted;
}

void VurodoroViri_Druvel::ForgetOtherGateways()
{
    std::string current;
    {
        std::lock_guard<std::mutex> lock(m_addressMutex);
        if (m_pUrlFault == nullptr) {
            current = m_strUrlPrefix;
        }
    }
    m_httpTool.CloseIdleConnectionsExcept(current);
}

}  // namespace Face
}  // namespace Osmer_Framework
