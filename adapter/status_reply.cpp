#include "status_reply.h"

#include "facepad_protocol.h"
#include "json_list_reader.h"
#include "ox_toolkit.h"
#include "reply_list.h"

namespace Osmer_Framework {
namespace Face {

// Elements report "connstatus" above 0 when connected; 0, negative or missing means not. The first
// connected element ends the reading; anything after the list's first complete value is ignored.
StatusReading ReadStatusReply(const std::string& reply)
{
    const ReplyList list = FindReplyList(reply, kStatusListKey);
    if (list.shape == ReplyListShape::None) {
        return StatusReading::NoList;
    }
    if (list.shape == ReplyListShape::Empty) {
        return StatusReading::BareEmptyList;
    }
    bool connected = false;
    const ListReading reading =
        ReadJsonList(list.text, {facepad::reply::kConnStatus}, [&connected](json_object* element) {
            connected = json_object_get_field_int(element, facepad::reply::kConnStatus, -1) > 0;
            return !connected;
        });
    if (reading != ListReading::Array) {
        return StatusReading::NoList;
    }
    return connected ? StatusReading::Connected : StatusReading::NotConnected;
}

}  // namespace Face
}  // namespace Osmer_Framework
