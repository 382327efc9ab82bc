#include "front_setup.h"

#include <memory>

#include "recording.h"
#include "upstream_front.h"

namespace facepad::sim {

std::string FrontProblem(const FrontSettings& settings)
{
    if (!settings.record.empty() && settings.upstream.empty()) {
        return "--record needs --upstream: it records what that gateway answers";
    }
    if (!settings.replay.empty() && !settings.upstream.empty()) {
        return "--replay and --upstream exclude each other: answers come from one or the other";
    }
    return settings.upstream.empty() ? std::string() : UpstreamFront::Problem(settings.upstream);
}

Front OpenFront(const FrontSettings& settings)
{
    Front front;
    if (!settings.replay.empty()) {
        const auto player = std::make_shared<RecordingPlayer>(settings.replay);
        front.answer = [player](const std::string& path, const std::string& body) {
            return player->Answer(path, body);
        };
        front.described = "replaying " + std::to_string(player->Recorded()) +
                          " recorded answer(s) from " + settings.replay;
        front.closing = [player] {
            return std::to_string(player->Unrecorded()) + " request(s) had no recording";
        };
    } else if (!settings.upstream.empty()) {
        const auto relay = std::make_shared<UpstreamFront>(settings.upstream);
        std::shared_ptr<RecordingWriter> writer;
        if (!settings.record.empty()) {
            writer = std::make_shared<RecordingWriter>(settings.record);
        }
        front.answer = [relay, writer](const std::string& path, const std::string& body) {
            FrontAnswer answer = relay->Forward(path, body);
            if (writer) {
                writer->Write(path, body, answer);
            }
            return answer;
        };
        front.described = "relaying to " + settings.upstream +
                          (writer ? ", recording into " + settings.record : std::string());
    }
    return front;
}

}  // namespace facepad::sim
