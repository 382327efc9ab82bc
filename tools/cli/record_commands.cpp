#include "record_commands.h"

#include <CLS_VurodoroViri_Druvel.h>

#include <map>

#include "command_support.h"
#include "photo_file.h"
#include "record_limits.h"
#include "record_params.h"
#include "text_checks.h"

namespace facepad::cli {

namespace {

std::string CommandText(const CommandLine& l, const std::string& what)
{
    return what + " on " + l.serial + " as command " + l.id;
}

std::string Option(const char* member)
{
    return std::string("--") + member;
}

// The first text field that is not UTF-8, by option name; empty when all are.
std::string NonUtf8Field(const CommandLine& l)
{
    for (std::size_t i = 0; i < l.user.size(); ++i) {
        if (!IsValidUtf8(l.user[i])) {
            return Option(member::kUser[i].name);
        }
    }
    const std::pair<const char*, const std::string*> fields[] = {
        {"SN", &l.serial}, {"--id", &l.id}, {"--photo-url", &l.photoUrl}};
    for (const auto& [option, value] : fields) {
        if (!IsValidUtf8(*value)) {
            return option;
        }
    }
    return std::string();
}

Verdict AddUser(Adapter& a, Output& out, const CommandLine& l)
{
    ParamMap user = UserParams(l.user);
    const std::string& name = l.user[kNameMember];
    const std::string named = name.empty() ? std::string() : " (" + name + ")";
    return RunTerminalCommand(a, out, l, CommandText(l, "add user " + l.Pin() + named),
                              [&] { return a.AddUser(l.id, l.serial, user); });
}

Verdict DelUser(Adapter& a, Output& out, const CommandLine& l)
{
    ParamMap user = PinParams(l.Pin());
    return RunTerminalCommand(a, out, l, CommandText(l, "delete user " + l.Pin()),
                              [&] { return a.DelUser(l.id, l.serial, user); });
}

Verdict SetPhoto(Adapter& a, Output& out, const CommandLine& l)
{
    const PhotoCheck check = CheckPhoto(l.photoFile, l.maxPhotoBytes);
    if (!check.problem.empty()) {
        return UsageError("set photo: " + check.problem + "; nothing sent");
    }
    auto content = ReadPhotoAsBase64(l.photoFile, check.size);
    if (!content) {
        return UsageError("set photo: cannot read " + l.photoFile + "; nothing sent");
    }
    ParamMap photo =
        PhotoParams(l.Pin(), l.photoType, l.photoFormat, l.photoUrl, std::move(*content));
    const std::string what =
        CommandText(l, "set " + std::string(check.kind) + " photo of user " + l.Pin() + " (" +
                           std::to_string(check.size) + " bytes)");
    return RunTerminalCommand(a, out, l, what,
                              [&] { return a.SetBiophoto(l.id, l.serial, photo); });
}

Verdict DelPhoto(Adapter& a, Output& out, const CommandLine& l)
{
    ParamMap photo = PinParams(l.Pin());
    return RunTerminalCommand(a, out, l, CommandText(l, "delete photos of user " + l.Pin()),
                              [&] { return a.DelBiophoto(l.id, l.serial, photo); });
}

void AddPinOption(CLI::App* sub, CommandLine& l)
{
    sub->add_option(Option(member::kPin), l.user[kPinMember], "the user's key")->required();
}

// One option per member of the user record, named as the gateway names the member.
void AddRecordOptions(CLI::App* sub, CommandLine& l)
{
    AddPinOption(sub, l);
    for (std::size_t i = 0; i < l.user.size(); ++i) {
        const member::Member& m = member::kUser[i];
        if (i == kPinMember) {
            continue;
        }
        const bool integer = m.kind == member::Kind::Integer;
        sub->add_option(
            Option(m.name), l.user[i],
            std::string("the record's \"") + m.name + "\"" + (integer ? ", a whole number" : ""));
    }
    sub->add_flag("--text-pins", l.textPins,
                  "the terminals keep pins as text: the pin need not be digits (up to 24 bytes)");
}

// What a terminal cannot hold is refused as the users file's rows are (docs/cli.md).
void CheckRecordLimits(const CommandLine& l)
{
    for (std::size_t i = 0; i < l.user.size(); ++i) {
        const std::string problem = MemberProblem(i, l.user[i], l.Pins());
        if (!problem.empty()) {
            throw CLI::ValidationError(Option(member::kUser[i].name), problem + "; nothing sent");
        }
    }
}

}  // namespace

void AddRecordCommands(CLI::App& app, CommandLine& l)
{
    CLI::App* add =
        Subcommand(app, l, "add-user", "add (or update) a user on a terminal", &AddUser);
    AddTargetOptions(add, l);
    AddRecordOptions(add, l);

    CLI::App* del =
        Subcommand(app, l, "del-user", "delete a user (and the user's photos)", &DelUser);
    AddTargetOptions(del, l);
    AddPinOption(del, l);

    CLI::App* photo =
        Subcommand(app, l, "set-photo", "send a user's JPEG or PNG photo from a file", &SetPhoto);
    AddTargetOptions(photo, l);
    AddPinOption(photo, l);
    photo->add_option("--file", l.photoFile, "JPEG or PNG file; sent base64-encoded")->required();
    photo->add_option("--max-photo-bytes", l.maxPhotoBytes, "refuse larger files before reading")
        ->capture_default_str();
    photo->add_option("--type", l.photoType, "photo type code")->capture_default_str();
    photo->add_option("--format", l.photoFormat, "format code")->capture_default_str();
    photo->add_option("--photo-url", l.photoUrl, "where the terminal may fetch the photo");

    CLI::App* delPhoto =
        Subcommand(app, l, "del-photo", "delete a user's biometric photos", &DelPhoto);
    AddTargetOptions(delPhoto, l);
    AddPinOption(delPhoto, l);

    // Every record command sends its texts as they are: refuse what is not UTF-8 up front.
    for (CLI::App* sub : {add, del, photo, delPhoto}) {
        sub->parse_complete_callback([&l, sub, add] {
            const std::string field = NonUtf8Field(l);
            if (!field.empty()) {
                throw CLI::ValidationError(field, "is not valid UTF-8; nothing sent");
            }
            if (sub == add) {
                CheckRecordLimits(l);
            }
        });
    }
}

}  // namespace facepad::cli
