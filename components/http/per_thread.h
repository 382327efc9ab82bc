// One object of a type per thread: made on first use, destroyed when its thread ends.
//
// On Windows not thread_local: MinGW's GCC runs the destructor of a thread_local in a DLL after the
// thread's emulated TLS block has been freed, so it works on freed memory and corrupts the heap at
// thread exit. A fiber-local slot whose clean-up callback deletes the object has no such ordering.
#pragma once

namespace Osmer_Framework {
namespace http {

#ifdef _WIN32

struct PerThreadBase {
    virtual ~PerThreadBase() = default;
};

namespace per_thread {
// A new slot whose value is deleted (through PerThreadBase) when its thread ends; throws
// std::system_error when none is left.
unsigned long NewSlot();
PerThreadBase* Get(unsigned long slot);
void Set(unsigned long slot, PerThreadBase* value);
}  // namespace per_thread

template <class T>
T& PerThread()
{
    struct Box : PerThreadBase {
        T value{};
    };
    static const unsigned long slot = per_thread::NewSlot();
    auto* box = static_cast<Box*>(per_thread::Get(slot));
    if (box == nullptr) {
        box = new Box();
        per_thread::Set(slot, box);
    }
    return box->value;
}

#else

template <class T>
T& PerThread()
{
    thread_local T value{};
    return value;
}

#endif

}  // namespace http
}  // namespace Osmer_Framework
