#include "cli_commands.h"

#include <CLS_VurodoroViri_Druvel.h>

#include <chrono>
#include <cstdio>
#include <map>

#include "adapter_log.h"
#include "facepad_protocol.h"
#include "photo_file.h"
#include "result_watch.h"

namespace facepad::cli {

namespace {

using ParamMap = std::map<std::string, std::string>;

// One line per outcome; a refusal is followed by the adapter's own explanation.
bool Report(const std::string& what, bool accepted)
{
    std::printf("%s: %s\n", what.c_str(), accepted ? "accepted by the gateway" : "FAILED");
    for (const std::string& line : TakeAdapterLog()) {
        std::printf("  adapter: %s\n", line.c_str());
    }
    if (!accepted) {
        std::printf("  (the gateway refused the request or could not be reached)\n");
    }
    return accepted;
}

std::string CommandText(const CommandLine& l, const std::string& what)
{
    return what + " on " + l.serial + " as command " + l.id;
}

void AddTarget(CLI::App* sub, CommandLine& l)
{
    sub->add_option("SN", l.serial, "terminal serial number")->required();
    sub->add_option("--id", l.id, "command identifier; its result is reported under it")
        ->required();
}

bool AddUser(Adapter& a, const CommandLine& l)
{
    ParamMap user{{"pin", l.pin},
                  {"name", l.name},
                  {"pri", std::to_string(l.pri)},
                  {"passwd", l.passwd},
                  {"verify", std::to_string(l.verify)},
                  {"card", l.card},
                  {"vicecard", l.vicecard}};
    return Report(CommandText(l, "add user " + l.pin + " (" + l.name + ")"),
                  a.AddUser(l.id, l.serial, user));
}

bool DelUser(Adapter& a, const CommandLine& l)
{
    ParamMap user{{"pin", l.pin}};
    return Report(CommandText(l, "delete user " + l.pin), a.DelUser(l.id, l.serial, user));
}

bool SetPhoto(Adapter& a, const CommandLine& l)
{
    const auto bytes = ReadWholeFile(l.photoFile);
    if (!bytes) {
        std::printf("set photo: cannot read %s\n", l.photoFile.c_str());
        return false;
    }
    ParamMap photo{{"pin", l.pin},
                   {"type", std::to_string(l.photoType)},
                   {"size", std::to_string(bytes->size())},
                   {"content", Base64(*bytes)},
                   {"url", l.photoUrl},
                   {"format", std::to_string(l.photoFormat)}};
    return Report(CommandText(l, "set photo of user " + l.pin + " (" +
                                     std::to_string(bytes->size()) + " bytes)"),
                  a.SetBiophoto(l.id, l.serial, photo));
}

bool DelPhoto(Adapter& a, const CommandLine& l)
{
    ParamMap photo{{"pin", l.pin}};
    return Report(CommandText(l, "delete photos of user " + l.pin),
                  a.DelBiophoto(l.id, l.serial, photo));
}

bool Unlock(Adapter& a, const CommandLine& l)
{
    return Report(CommandText(l, "unlock door"), a.ControlDeviceFace(l.id, l.serial, "", "", ""));
}

bool Bind(Adapter& a, const CommandLine& l)
{
    return Report("bind " + l.serial + " to channel " + std::to_string(l.channel),
                  a.BindVurodoroViri(l.serial, l.channel, "", "", "", ""));
}

bool Unbind(Adapter& a, const CommandLine& l)
{
    return Report("unbind " + l.serial, a.UnBindVurodoroViri(l.serial));
}

// True only when the terminal is reported connected.
bool Status(Adapter& a, const CommandLine& l)
{
    const bool connected = a.GetTerminalStatusFace(l.serial);
    std::printf("terminal %s: %s\n", l.serial.c_str(),
                connected ? "connected" : "not connected, unknown, or the query failed");
    for (const std::string& line : TakeAdapterLog()) {
        std::printf("  adapter: %s\n", line.c_str());
    }
    return connected;
}

bool Available(Adapter& a, const CommandLine&)
{
    ParamMap unused;
    return Report("available terminals query", a.GetAvailableFace(unused));
}

bool SetPort(Adapter& a, const CommandLine& l)
{
    std::string port = l.listenPort;
    std::string reset = l.reset;
    return Report("set listen port " + port + " (reset " + reset + ")",
                  a.SetListenPortFace(port, reset));
}

bool Init(Adapter& a, const CommandLine& l)
{
    ParamMap params;
    for (const std::string& setting : l.settings) {
        const auto equals = setting.find('=');
        if (equals == std::string::npos) {
            std::printf("init: expected KEY=VALUE, got %s\n", setting.c_str());
            return false;
        }
        params[setting.substr(0, equals)] = setting.substr(equals + 1);
    }
    return Report("send " + std::to_string(kInitParamCount) + " init settings",
                  a.SetInitParamFace(params));
}

bool Watch(Adapter& a, const CommandLine& l)
{
    std::printf(
        "watching results for up to %d s (the adapter's first poll comes 8 s after it "
        "starts)\n",
        l.seconds);
    std::fflush(stdout);
    const std::size_t printed = WatchResults(a, std::chrono::seconds(l.seconds), l.expect);
    std::printf("%zu result(s) received\n", printed);
    return l.expect == 0 || printed >= l.expect;
}

// Declares a subcommand whose action is `run`.
CLI::App* Sub(CLI::App& app, CommandLine& l, const char* name, const char* help,
              bool (*run)(Adapter&, const CommandLine&))
{
    CLI::App* sub = app.add_subcommand(name, help);
    sub->callback([&l, run] { l.action = [&l, run](Adapter& a) { return run(a, l); }; });
    return sub;
}

void AddRecordCommands(CLI::App& app, CommandLine& l)
{
    CLI::App* add = Sub(app, l, "add-user", "add (or update) a user on a terminal", &AddUser);
    AddTarget(add, l);
    add->add_option("--pin", l.pin, "the user's key on the terminal")->required();
    add->add_option("--name", l.name, "the user's name");
    add->add_option("--pri", l.pri, "privilege code");
    add->add_option("--passwd", l.passwd, "password");
    add->add_option("--verify", l.verify, "verification-mode code");
    add->add_option("--card", l.card, "card number");
    add->add_option("--vicecard", l.vicecard, "second card number");

    CLI::App* del = Sub(app, l, "del-user", "delete a user (and the user's photos)", &DelUser);
    AddTarget(del, l);
    del->add_option("--pin", l.pin, "the user's key")->required();

    CLI::App* photo =
        Sub(app, l, "set-photo", "send a user's biometric photo from a file", &SetPhoto);
    AddTarget(photo, l);
    photo->add_option("--pin", l.pin, "the user's key")->required();
    photo->add_option("--file", l.photoFile, "photo file; sent base64-encoded")
        ->required()
        ->check(CLI::ExistingFile);
    photo->add_option("--type", l.photoType, "photo type code")->capture_default_str();
    photo->add_option("--format", l.photoFormat, "format code")->capture_default_str();
    photo->add_option("--photo-url", l.photoUrl, "where the terminal may fetch the photo");

    CLI::App* delPhoto = Sub(app, l, "del-photo", "delete a user's biometric photos", &DelPhoto);
    AddTarget(delPhoto, l);
    delPhoto->add_option("--pin", l.pin, "the user's key")->required();
}

void AddTerminalCommands(CLI::App& app, CommandLine& l)
{
    CLI::App* bind = Sub(app, l, "bind", "bind a terminal to a channel", &Bind);
    bind->add_option("SN", l.serial, "terminal serial number")->required();
    bind->add_option("CHANNEL", l.channel, "channel number")->required();

    CLI::App* unbind = Sub(app, l, "unbind", "unbind a terminal", &Unbind);
    unbind->add_option("SN", l.serial, "terminal serial number")->required();

    CLI::App* status =
        Sub(app, l, "status", "ask whether a terminal is connected (exit 0 if so)", &Status);
    status->add_option("SN", l.serial, "terminal serial number")->required();

    CLI::App* unlock = Sub(app, l, "unlock", "unlock a terminal's door", &Unlock);
    AddTarget(unlock, l);
}

void AddGatewayCommands(CLI::App& app, CommandLine& l)
{
    Sub(app, l, "available", "ask the gateway for its available terminals", &Available);

    CLI::App* port = Sub(app, l, "set-port", "tell the gateway on which port to listen", &SetPort);
    port->add_option("PORT", l.listenPort, "listen port")->required();
    port->add_option("--reset", l.reset, "reset value sent with it")->capture_default_str();

    CLI::App* init =
        Sub(app, l, "init", "send the fourteen init settings (missing ones empty)", &Init);
    init->add_option("--set", l.settings, "KEY=VALUE, e.g. TimeOut=30; repeatable");

    CLI::App* watch = Sub(app, l, "watch-results", "print command results as they arrive", &Watch);
    watch->add_option("--seconds", l.seconds, "how long to watch")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    watch->add_option("--expect", l.expect,
                      "stop once this many results arrived; exit 1 if fewer did");
}

}  // namespace

void AddSubcommands(CLI::App& app, CommandLine& line)
{
    AddRecordCommands(app, line);
    AddTerminalCommands(app, line);
    AddGatewayCommands(app, line);
    app.require_subcommand(1);
}

}  // namespace facepad::cli
