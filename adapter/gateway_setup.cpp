// Gateway and terminal set-up: available terminals, listen port, initialisation settings, binding.
#include "CLS_VurodoroViri_Druvel.h"

namespace Osmer_Framework {
namespace Face {

bool VurodoroViri_Druvel::GetAvailableFace(std::map<std::string, std::string>& /*_mapParam*/)
{
    std::string reply;
    return ExchangeWithGateway("GetAvailableFace", "facepad/getavailable", std::string(), reply);
}

}  // namespace Face
}  // namespace Osmer_Framework
