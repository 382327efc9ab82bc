#include "VurodoroViri_TestAccess.h"
#include "polling_control.h"

namespace Osmer_Framework {
namespace Face {

void VurodoroViri_TestAccess::SetNapLength(std::chrono::microseconds length)
{
    PollingControl::Instance().SetNapLength(length);
}

bool VurodoroViri_TestAccess::ThreadQuit()
{
    return PollingControl::Instance().StopRequested();
}

void VurodoroViri_TestAccess::SetThreadQuit(bool raised)
{
    PollingControl::Instance().SetStopFlag(raised);
}

VurodoroViri_Druvel* VurodoroViri_TestAccess::CarGate()
{
    return PollingControl::Instance().CurrentAdapter();
}

std::size_t VurodoroViri_TestAccess::RunningPollers()
{
    return PollingControl::Instance().RunningPollers();
}

}  // namespace Face
}  // namespace Osmer_Framework
