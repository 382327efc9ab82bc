// The user record and the photo as the adapter's record commands take them, named from the
// protocol table: the options of add-user, the columns of a users file and the parameter maps all
// come from member::kUser and member::kPhoto, so that a member cannot be spelt twice.
#pragma once

#include <array>
#include <cstddef>
#include <iterator>
#include <map>
#include <string>

#include "facepad_protocol.h"

namespace facepad::cli {

using ParamMap = std::map<std::string, std::string>;

// The members of member::kUser, in its order.
using UserRecord = std::array<std::string, std::size(member::kUser)>;

constexpr std::size_t UserMemberIndex(const char* name)
{
    std::size_t i = 0;
    while (i < std::size(member::kUser) && !SameText(member::kUser[i].name, name)) {
        ++i;
    }
    return i;
}
inline constexpr std::size_t kPinMember = UserMemberIndex(member::kPin);
inline constexpr std::size_t kNameMember = UserMemberIndex(member::kName);
static_assert(kPinMember < std::size(member::kUser) && kNameMember < std::size(member::kUser));

// Every member by name, integer members as the text the adapter reads with atoi.
ParamMap UserParams(const UserRecord& record);
// The photo's members; "size" is the length of `content` as sent (base64), as the reference
// documentation says.
ParamMap PhotoParams(const std::string& pin, int type, int format, const std::string& url,
                     std::string content);
// What DelUser and DelBiophoto read.
ParamMap PinParams(const std::string& pin);

}  // namespace facepad::cli
