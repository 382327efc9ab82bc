// Names the calling thread, so that a debugger, top -H or a crash dump shows which one is ours.
#pragma once

namespace Osmer_Framework {
namespace Face {

// At most 15 characters (the Linux limit). Does nothing where the system offers no way.
void NameThisThread(const char* name);

}  // namespace Face
}  // namespace Osmer_Framework
