#include "record_commands.h"

#include <CLS_VurodoroViri_Druvel.h>

#include <map>

#include "command_support.h"
#include "facepad_protocol.h"
#include "photo_file.h"
#include "text_checks.h"

namespace facepad::cli {

namespace {

using ParamMap = std::map<std::string, std::string>;

std::string CommandText(const CommandLine& l, const std::string& what)
{
    return what + " on " + l.serial + " as command " + l.id;
}

// The first text field that is not UTF-8, by option name; empty when all are.
std::string NonUtf8Field(const CommandLine& l)
{
    const std::pair<const char*, const std::string*> fields[] = {
        {"SN", &l.serial},           {"--id", &l.id},
        {"--pin", &l.pin},           {"--name", &l.name},
        {"--passwd", &l.passwd},     {"--card", &l.card},
        {"--vicecard", &l.vicecard}, {"--photo-url", &l.photoUrl}};
    for (const auto& [option, value] : fields) {
        if (!IsValidUtf8(*value)) {
            return option;
        }
    }
    return std::string();
}

Verdict AddUser(Adapter& a, Output& out, const CommandLine& l)
{
    ParamMap user{{member::kPin, l.pin},
                  {member::kName, l.name},
                  {member::kPri, std::to_string(l.pri)},
                  {member::kPasswd, l.passwd},
                  {member::kVerify, std::to_string(l.verify)},
                  {member::kCard, l.card},
                  {member::kViceCard, l.vicecard}};
    const std::string named = l.name.empty() ? std::string() : " (" + l.name + ")";
    return RunTerminalCommand(a, out, l, CommandText(l, "add user " + l.pin + named),
                              [&] { return a.AddUser(l.id, l.serial, user); });
}

Verdict DelUser(Adapter& a, Output& out, const CommandLine& l)
{
    ParamMap user{{member::kPin, l.pin}};
    return RunTerminalCommand(a, out, l, CommandText(l, "delete user " + l.pin),
                              [&] { return a.DelUser(l.id, l.serial, user); });
}

Verdict SetPhoto(Adapter& a, Output& out, const CommandLine& l)
{
    const PhotoCheck check = CheckPhoto(l.photoFile, l.maxPhotoBytes);
    if (!check.problem.empty()) {
        return UsageError("set photo: " + check.problem + "; nothing sent");
    }
    ParamMap photo{{member::kPin, l.pin},
                   {member::kType, std::to_string(l.photoType)},
                   {member::kUrl, l.photoUrl},
                   {member::kFormat, std::to_string(l.photoFormat)}};
    auto content = ReadPhotoAsBase64(l.photoFile, check.size);
    if (!content) {
        return UsageError("set photo: cannot read " + l.photoFile + "; nothing sent");
    }
    // "size" is the length of "content" as sent (base64), as the reference documentation says.
    photo[member::kSize] = std::to_string(content->size());
    photo[member::kContent] = std::move(*content);
    const std::string what =
        CommandText(l, "set " + std::string(check.kind) + " photo of user " + l.pin + " (" +
                           std::to_string(check.size) + " bytes)");
    return RunTerminalCommand(a, out, l, what,
                              [&] { return a.SetBiophoto(l.id, l.serial, photo); });
}

Verdict DelPhoto(Adapter& a, Output& out, const CommandLine& l)
{
    ParamMap photo{{member::kPin, l.pin}};
    return RunTerminalCommand(a, out, l, CommandText(l, "delete photos of user " + l.pin),
                              [&] { return a.DelBiophoto(l.id, l.serial, photo); });
}

}  // namespace

void AddRecordCommands(CLI::App& app, CommandLine& l)
{
    CLI::App* add =
        Subcommand(app, l, "add-user", "add (or update) a user on a terminal", &AddUser);
    AddTargetOptions(add, l);
    add->add_option("--pin", l.pin, "the user's key on the terminal")->required();
    add->add_option("--name", l.name, "the user's name (UTF-8)");
    add->add_option("--pri", l.pri, "privilege code");
    add->add_option("--passwd", l.passwd, "password");
    add->add_option("--verify", l.verify, "verification-mode code");
    add->add_option("--card", l.card, "card number");
    add->add_option("--vicecard", l.vicecard, "second card number");

    CLI::App* del =
        Subcommand(app, l, "del-user", "delete a user (and the user's photos)", &DelUser);
    AddTargetOptions(del, l);
    del->add_option("--pin", l.pin, "the user's key")->required();

    CLI::App* photo =
        Subcommand(app, l, "set-photo", "send a user's JPEG or PNG photo from a file", &SetPhoto);
    AddTargetOptions(photo, l);
    photo->add_option("--pin", l.pin, "the user's key")->required();
    photo->add_option("--file", l.photoFile, "JPEG or PNG file; sent base64-encoded")->required();
    photo->add_option("--max-photo-bytes", l.maxPhotoBytes, "refuse larger files before reading")
        ->capture_default_str();
    photo->add_option("--type", l.photoType, "photo type code")->capture_default_str();
    photo->add_option("--format", l.photoFormat, "format code")->capture_default_str();
    photo->add_option("--photo-url", l.photoUrl, "where the terminal may fetch the photo");

    CLI::App* delPhoto =
        Subcommand(app, l, "del-photo", "delete a user's biometric photos", &DelPhoto);
    AddTargetOptions(delPhoto, l);
    delPhoto->add_option("--pin", l.pin, "the user's key")->required();

    // Every record command sends its texts as they are: refuse what is not UTF-8 up front.
    for (CLI::App* sub : {add, del, photo, delPhoto}) {
        sub->parse_complete_callback([&l] {
            const std::string field = NonUtf8Field(l);
            if (!field.empty()) {
                throw CLI::ValidationError(field, "is not valid UTF-8; nothing sent");
            }
        });
    }
}

}  // namespace facepad::cli
