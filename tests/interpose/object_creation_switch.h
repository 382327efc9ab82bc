// Switches json_object_new_object off for the adapter while a FailingObjectCreation lives.
#pragma once

#include <cstddef>

namespace vvtest {

class FailingObjectCreation {
public:
    FailingObjectCreation();
    ~FailingObjectCreation();
    FailingObjectCreation(const FailingObjectCreation&) = delete;
    FailingObjectCreation& operator=(const FailingObjectCreation&) = delete;
};

// Calls that reached this binary's json_object_new_object, failed or not.
std::size_t ObjectCreationCalls();

}  // namespace vvtest
