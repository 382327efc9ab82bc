#include "CLS_VurodoroViri_Base.h"

namespace Osmer_Framework {
namespace Face {

// The framework's base library only constructs the base; it holds no state.
CLS_VurodoroViri_Base::CLS_VurodoroViri_Base() = default;

}  // namespace Face
}  // namespace Osmer_Framework
