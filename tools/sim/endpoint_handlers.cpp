#include "endpoint_handlers.h"

#include <limits>
#include <utility>

#include "body_fields.h"
#include "facepad_protocol.h"
#include "gateway_replies.h"
#include "record_documents.h"

namespace facepad::sim {

namespace {

constexpr int kStatusBadRequest = 400;
constexpr int kStatusConflict = 409;

// The fields of the body of `path`, as the protocol table lists them.
std::vector<FieldSpec> LayoutOf(const char* path)
{
    std::vector<FieldSpec> layouts;
    for (const Field& field : EndpointOf(path).body) {
        layouts.push_back(FieldSpec{field.name, field.withEquals});
    }
    return layouts;
}

// The first fields of every terminal command: "SN=" serial, TAB, "id=" identifier, then the rest.
struct CommandFields {
    std::string serial;
    std::string id;
    std::vector<std::string> rest;
    std::string error;
};

CommandFields ParseCommand(const std::string& body, const char* path)
{
    ParsedFields parsed = ParseFields(body, LayoutOf(path));
    CommandFields command;
    if (!parsed.ok()) {
        command.error = parsed.error;
        return command;
    }
    command.serial = parsed.values[0];
    command.id = parsed.values[1];
    command.rest.assign(parsed.values.begin() + 2, parsed.values.end());
    if (command.serial.empty()) {
        command.error = "SN is empty";
    } else if (command.id.empty()) {
        command.error = "id is empty";
    }
    return command;
}

// The one-field body "SN=" serial, with a serial.
Decoded<std::string> ParseSerialOnly(const std::string& body, const char* path)
{
    Decoded<std::string> serial;
    const ParsedFields parsed = ParseFields(body, LayoutOf(path));
    serial.error = parsed.error;
    if (parsed.ok()) {
        serial.value = parsed.values[0];
        serial.error = serial.value.empty() ? "SN is empty" : "";
    }
    return serial;
}

Reply Queued(const std::string& id, const std::string& serial, const std::string& code)
{
    return Accepted("command " + id + " for " + serial + " queued: result " + code + " (" +
                    DescribeResultCode(code) + ")");
}

Reply RequireEmptyBody(const std::string& body, const char* endpointPath)
{
    return BadRequest(std::string(endpointPath) + " takes an empty body, got " + Quoted(body));
}

Reply HandleGetAvailable(GatewayState& state, const std::string& body)
{
    if (!body.empty()) {
        return RequireEmptyBody(body, endpoint::kGetAvailable);
    }
    return Accepted(FormatAvailableReply(state.Terminals()));
}

Reply HandleSetPort(GatewayState& state, const std::string& body)
{
    const ParsedFields parsed = ParseFields(body, LayoutOf(endpoint::kSetPort));
    if (!parsed.ok()) {
        return BadRequest(parsed.error);
    }
    const std::string& port = parsed.values[0];
    const std::string& reset = parsed.values[1];
    const auto number = ParseDecimal(port);
    if (!number || *number < 1 || *number > 65535) {
        return BadRequest("port must be a number from 1 to 65535, got " + Quoted(port));
    }
    if (!reset.empty() && reset[0] == '=') {
        return BadRequest("reset takes its value directly, without \"=\": got " + Quoted(reset));
    }
    state.SetListenPort(port, reset);
    return Accepted("listen port " + port + ", reset " + Quoted(reset));
}

Reply HandleSetInitParam(GatewayState& state, const std::string& body)
{
    const ParsedFields parsed = ParseFields(body, LayoutOf(endpoint::kSetInitParam));
    if (!parsed.ok()) {
        return BadRequest(parsed.error);
    }
    auto params = DecodeInitParams(parsed.values[0]);
    if (!params.ok()) {
        return BadRequest(params.error);
    }
    state.SetInitParams(std::move(params.value));
    return Accepted(std::to_string(kInitParamCount) + " init settings stored");
}

Reply HandleBinding(GatewayState& state, const std::string& body)
{
    const ParsedFields parsed = ParseFields(body, LayoutOf(endpoint::kBinding));
    if (!parsed.ok()) {
        return BadRequest(parsed.error);
    }
    const std::string& serial = parsed.values[0];
    const auto channel = ParseDecimal(parsed.values[1]);
    if (serial.empty()) {
        return BadRequest("SN is empty");
    }
    if (!channel || *channel < 0 || *channel > std::numeric_limits<int>::max()) {
        return BadRequest("ch must be a channel number from 0 to 2147483647, got " +
                          Quoted(parsed.values[1]));
    }
    const std::string refusal = state.Bind(serial, *channel);
    return refusal.empty() ? Accepted("bound " + serial + " to channel " + parsed.values[1])
                           : Conflict(refusal);
}

Reply HandleUnbinding(GatewayState& state, const std::string& body)
{
    const auto serial = ParseSerialOnly(body, endpoint::kUnbinding);
    if (!serial.ok()) {
        return BadRequest(serial.error);
    }
    const std::string refusal = state.Unbind(serial.value);
    return refusal.empty() ? Accepted("unbound " + serial.value) : Conflict(refusal);
}

// The four record commands share one shape: serial, command identifier and a JSON document that
// is decoded, then applied to the state; only the decoder and the state change differ.
template <class Decode, class Apply>
Reply HandleRecordCommand(const char* path, const std::string& body, Decode decode, Apply apply)
{
    const CommandFields command = ParseCommand(body, path);
    if (!command.error.empty()) {
        return BadRequest(command.error);
    }
    const auto record = decode(command.rest[0]);
    if (!record.ok()) {
        return BadRequest(record.error);
    }
    return Queued(command.id, command.serial, apply(command, record.value));
}

Reply HandleAddUser(GatewayState& state, const std::string& body)
{
    return HandleRecordCommand(endpoint::kAddUser, body, DecodeUserRecord,
                               [&](const CommandFields& c, const auto& user) {
                                   return state.AddUser(c.serial, c.id, user);
                               });
}

Reply HandleDelUser(GatewayState& state, const std::string& body)
{
    return HandleRecordCommand(endpoint::kDelUser, body, DecodePinDocument,
                               [&](const CommandFields& c, const auto& pin) {
                                   return state.DelUser(c.serial, c.id, pin);
                               });
}

Reply HandleSetBioPhoto(GatewayState& state, const std::string& body)
{
    return HandleRecordCommand(endpoint::kSetBioPhoto, body, DecodePhotoRecord,
                               [&](const CommandFields& c, const auto& photo) {
                                   return state.SetPhoto(c.serial, c.id, photo);
                               });
}

Reply HandleDelBioPhoto(GatewayState& state, const std::string& body)
{
    return HandleRecordCommand(endpoint::kDelBioPhoto, body, DecodePinDocument,
                               [&](const CommandFields& c, const auto& pin) {
                                   return state.DelPhoto(c.serial, c.id, pin);
                               });
}

Reply HandleGetResult(GatewayState& state, const std::string& body)
{
    if (!body.empty()) {
        return RequireEmptyBody(body, endpoint::kGetResult);
    }
    return Accepted(FormatResultReply(state.DrainResults()));
}

Reply HandleGetTerminalStatus(GatewayState& state, const std::string& body)
{
    const auto serial = ParseSerialOnly(body, endpoint::kGetTerminalStatus);
    if (!serial.ok()) {
        return BadRequest(serial.error);
    }
    return Accepted(FormatStatusReply(state.Status(serial.value)));
}

// The "data=" field of a device command is sent empty and ignored here.
Reply HandleControlDevice(GatewayState& state, const std::string& body)
{
    const CommandFields command = ParseCommand(body, endpoint::kControlDevice);
    if (!command.error.empty()) {
        return BadRequest(command.error);
    }
    if (command.rest[0] != field::kUnlockCommand) {
        return BadRequest(std::string("cmd must be ") + field::kUnlockCommand + ", got " +
                          Quoted(command.rest[0]));
    }
    return Queued(command.id, command.serial, state.Unlock(command.serial, command.id));
}

}  // namespace

Reply Accepted(std::string text)
{
    return Reply{200, std::move(text)};
}

Reply BadRequest(const std::string& reason)
{
    return Reply{kStatusBadRequest, "bad request: " + reason};
}

Reply Conflict(const std::string& reason)
{
    return Reply{kStatusConflict, "refused: " + reason};
}

// Each endpoint's row, checked when this compiles; the map below is built from the protocol
// table's list, so an endpoint it lists without a handler here is missing from the map (the
// simulator's tests send something to every listed endpoint and fail on its 404).
constexpr std::pair<const Endpoint*, EndpointHandler> kHandlers[] = {
    {&EndpointOf(endpoint::kGetAvailable), &HandleGetAvailable},
    {&EndpointOf(endpoint::kSetPort), &HandleSetPort},
    {&EndpointOf(endpoint::kSetInitParam), &HandleSetInitParam},
    {&EndpointOf(endpoint::kBinding), &HandleBinding},
    {&EndpointOf(endpoint::kUnbinding), &HandleUnbinding},
    {&EndpointOf(endpoint::kAddUser), &HandleAddUser},
    {&EndpointOf(endpoint::kDelUser), &HandleDelUser},
    {&EndpointOf(endpoint::kSetBioPhoto), &HandleSetBioPhoto},
    {&EndpointOf(endpoint::kDelBioPhoto), &HandleDelBioPhoto},
    {&EndpointOf(endpoint::kGetResult), &HandleGetResult},
    {&EndpointOf(endpoint::kGetTerminalStatus), &HandleGetTerminalStatus},
    {&EndpointOf(endpoint::kControlDevice), &HandleControlDevice},
};

const std::map<std::string, EndpointHandler>& EndpointHandlers()
{
    static const std::map<std::string, EndpointHandler> handlers = [] {
        std::map<std::string, EndpointHandler> byPath;
        for (const Endpoint& row : kEndpoints) {
            for (const auto& [served, handler] : kHandlers) {
                if (served == &row) {
                    byPath.emplace(row.path, handler);
                }
            }
        }
        return byPath;
    }();
    return handlers;
}

}  // namespace facepad::sim
