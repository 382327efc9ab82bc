// Placeholders until the command operations land; each refuses its request.
#include "CLS_VurodoroViri_Druvel.h"

namespace Osmer_Framework {
namespace Face {

bool VurodoroViri_Druvel::AddUser(const std::string&, const std::string&, std::map<std::string, std::string>&) { return false; }
bool VurodoroViri_Druvel::DelUser(const std::string&, const std::string&, std::map<std::string, std::string>&) { return false; }
bool VurodoroViri_Druvel::SetBiophoto(const std::string&, const std::string&, std::map<std::string, std::string>&) { return false; }
bool VurodoroViri_Druvel::DelBiophoto(const std::string&, const std::string&, std::map<std::string, std::string>&) { return false; }
bool VurodoroViri_Druvel::SetListenPortFace(std::string&, std::string&) { return false; }
bool VurodoroViri_Druvel::SetInitParamFace(std::map<std::string, std::string>&) { return false; }
bool VurodoroViri_Druvel::BindVurodoroViri(const std::string&, const int&, const std::string&, const std::string&, const std::string&, const std::string&) { return false; }
bool VurodoroViri_Druvel::UnBindVurodoroViri(const std::string&) { return false; }
bool VurodoroViri_Druvel::GetTerminalStatusFace(const std::string&) { return false; }
bool VurodoroViri_Druvel::ControlDeviceFace(const std::string&, const std::string&, const std::string&, const std::string&, const std::string&) { return false; }

}  // namespace Face
}  // namespace Osmer_Framework
