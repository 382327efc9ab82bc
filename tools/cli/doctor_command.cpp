#include "doctor_command.h"

#include <Terminal_Http_Tool.h>
#include <VurodoroViri_Options.h>

#include <algorithm>

#include "command_support.h"
#include "doctor_checks.h"
#include "facepad_protocol.h"
#include "gateway_address.h"
#include "output.h"

namespace facepad::cli {

namespace {

using namespace doctor;
namespace http = Osmer_Framework::http;

// Every step takes what is left of this, so that a default run ends well within 30 s whatever the
// gateway does; the idle watch (--idle-seconds) gets what the requests left of it.
constexpr std::chrono::seconds kBudget{25};
constexpr std::size_t kRoundTrips = 5;
// A slow gateway gets fewer round trips, so that the idle watch still has time.
constexpr std::chrono::seconds kRoundTripTime{8};
constexpr std::size_t kMostAddresses = 8;
constexpr std::chrono::seconds kLongestLookup{10};
// Kept back from the idle watch for the request that shows the connection still answers (more
// for a slow gateway).
constexpr std::chrono::seconds kAfterWatch{3};
// --max-body sends up to a photo's worth of bytes a few times over: bounded on its own.
constexpr std::chrono::seconds kBodyBudget{30};
constexpr int kBodySteps = 10;
constexpr std::size_t kBodyPrecision = 100;  // the search ends within a hundredth of the target

AdapterLimits LimitsOf(const Adapter& adapter)
{
    const auto timeouts = Osmer_Framework::Face::VurodoroViri_GetExchangeTimeouts(adapter);
    const Osmer_Framework::Terminal_Http_Options client;
    return AdapterLimits{timeouts.connect, std::min(client.readTimeout, timeouts.total),
                         timeouts.total, client.idleTimeout};
}

// The measures, taken in order; a check that finds the gateway unreachable ends the run.
class Doctor {
public:
    Doctor(const Adapter& adapter, const CommandLine& line)
        : m_line(line), m_limits(LimitsOf(adapter)), m_deadline(Clock::now() + kBudget)
    {
    }

    std::vector<Finding> Run()
    {
        if (CheckResolution() && CheckConnections() && CheckAnswers()) {
            const Front front = FrontOf(LastAnswer());
            Add(JudgeFront(front));
            CheckKeepAlive();
            Add(JudgeTimeOuts(m_connections, m_answers, m_limits, front.proxy));
            if (m_line.maxBody) {
                CheckBody();
            }
        }
        return std::move(m_findings);
    }

private:
    bool Add(Finding finding)
    {
        const bool goOn = finding.health != Health::Unreachable;
        m_findings.push_back(std::move(finding));
        return goOn;
    }

    Clock::time_point Within(Clock::duration most) const
    {
        return std::min(m_deadline, Clock::now() + most);
    }

    bool CheckResolution()
    {
        const std::string host = HostOf(m_line.url);
        m_resolved = Resolve(host, m_line.port, Within(kLongestLookup));
        return Add(JudgeResolution(host, m_resolved));
    }

    // Each address, as the adapter would try them; the first that accepts carries the requests.
    bool CheckConnections()
    {
        for (const std::string& address : m_resolved.addresses) {
            if (m_connections.size() == kMostAddresses || Clock::now() >= m_deadline) {
                break;
            }
            http::TcpSocket socket;
            m_connections.push_back(
                Connect(address, m_line.port, Within(m_limits.connect), socket));
            if (m_address.empty() && socket.IsOpen()) {
                m_address = address;
                m_socket = std::move(socket);
            }
        }
        return Add(JudgeConnections(m_connections, m_line.port));
    }

    bool CheckAnswers()
    {
        const auto stopBy = Within(kRoundTripTime);
        do {
            m_answers.push_back(AskOnce(std::string(), Within(m_limits.read)));
        } while (m_answers.size() < kRoundTrips && Clock::now() < stopBy);
        return Add(JudgeAnswers(m_answers));
    }

    // The connection that carried the last answer, held idle until the gateway ends it or the
    // watch does; one more request then shows whether it still answers.
    void CheckKeepAlive()
    {
        KeepAliveSeen seen;
        seen.advertised = LastAnswer().keepAliveTimeout;
        seen.closesAfterEachAnswer = !LastAnswer().keepAlive;
        const Clock::duration reserve = AfterWatch();
        const auto until =
            std::min(Clock::now() + std::chrono::seconds(m_line.idleSeconds), m_deadline - reserve);
        if (!seen.closesAfterEachAnswer && m_socket.IsOpen() && until > Clock::now()) {
            seen.watched = true;
            seen.idle = WatchIdle(m_socket, until);
            if (seen.idle.how.empty()) {
                seen.after = Ask(m_socket, m_line.url, m_line.port, endpoint::kGetAvailable, "",
                                 Clock::now() + reserve);
            }
            m_socket = http::TcpSocket();
        }
        Add(JudgeKeepAlive(seen, m_limits));
    }

    // Time for the request after the idle watch: twice the slowest answer, at least kAfterWatch,
    // at most the adapter's own wait for a read.
    Clock::duration AfterWatch() const
    {
        Clock::duration slowest{};
        for (const Answer& answer : m_answers) {
            slowest = std::max(slowest, std::chrono::duration_cast<Clock::duration>(answer.took));
        }
        return std::min<Clock::duration>(m_limits.read,
                                         std::max<Clock::duration>(kAfterWatch, 2 * slowest));
    }

    // The photo limit's body first; when refused, halved towards the largest accepted.
    void CheckBody()
    {
        BodyProbe probe;
        probe.target = BodyTarget(m_line.maxPhotoBytes);
        const auto deadline = Clock::now() + kBodyBudget;
        std::size_t low = 0;
        std::size_t size = probe.target;
        for (int step = 0; step < kBodySteps && Clock::now() < deadline; ++step) {
            const std::string body = "pad=" + std::string(size - 4, 'x');
            const Answer answer = AskOnce(body, std::min(deadline, Clock::now() + m_limits.total));
            if (answer.complete && answer.status != 413 && answer.bodySent == body.size()) {
                probe.largestAccepted = low = size;
                if (size == probe.target) {
                    break;
                }
            } else {
                probe.smallestRefused = size;
                probe.refusal = answer;
            }
            if (probe.smallestRefused - low < probe.target / kBodyPrecision) {
                break;
            }
            size = low + (probe.smallestRefused - low) / 2;
        }
        Add(JudgeBody(probe, m_line.maxPhotoBytes));
    }

    // On the connection kept from the last request, or a new one to the first address that
    // accepted.
    Answer AskOnce(const std::string& body, Clock::time_point deadline)
    {
        if (!m_socket.IsOpen()) {
            const Connected again =
                Connect(m_address, m_line.port, Within(m_limits.connect), m_socket);
            if (!again.problem.empty()) {
                Answer none;
                none.problem = again.problem;
                return none;
            }
        }
        Answer answer =
            Ask(m_socket, m_line.url, m_line.port, endpoint::kGetAvailable, body, deadline);
        if (!answer.keepAlive) {
            m_socket = http::TcpSocket();
        }
        return answer;
    }

    const Answer& LastAnswer() const
    {
        const auto last = std::find_if(m_answers.rbegin(), m_answers.rend(),
                                       [](const Answer& a) { return a.complete; });
        return *last;  // CheckAnswers() went on only with one
    }

    const CommandLine& m_line;
    const AdapterLimits m_limits;
    const Clock::time_point m_deadline;
    Resolved m_resolved;
    std::vector<Connected> m_connections;
    std::string m_address;  // the first that accepted
    http::TcpSocket m_socket;
    std::vector<Answer> m_answers;
    std::vector<Finding> m_findings;
};

json_object* FindingJson(const Finding& finding)
{
    json_object* object = json_object_new_object();
    json_object_object_add(object, "check", JsonText(finding.check));
    json_object_object_add(object, "verdict", JsonText(HealthName(finding.health)));
    json_object_object_add(object, "finding", JsonText(finding.text));
    json_object_object_add(object, "advice", JsonText(finding.advice));
    json_object_object_add(object, "measured", json_object_get(finding.facts.get()));
    return object;
}

// Exit 3 when the gateway cannot be reached, 1 when a check warns, 0 when all is well.
Verdict Conclusion(const std::vector<Finding>& findings)
{
    std::string warned;
    for (const Finding& f : findings) {
        if (f.health == Health::Unreachable) {
            return Verdict{ExitCode::Unreachable,
                           "doctor: the gateway cannot be reached (" + f.check + "): " + f.text};
        }
        if (f.health == Health::Warning) {
            warned += (warned.empty() ? "" : ", ") + f.check;
        }
    }
    if (!warned.empty()) {
        return Verdict{ExitCode::Warnings, "doctor: reachable, with warnings: " + warned};
    }
    return Verdict{ExitCode::Success,
                   "doctor: all " + std::to_string(findings.size()) + " checks passed"};
}

Verdict RunDoctor(Adapter& adapter, Output& out, const CommandLine& line)
{
    out.Say("doctor: " + line.url + ":" + std::to_string(line.port) +
            ", asking only facepad/getavailable (nothing changes on the gateway)");
    const std::vector<Finding> findings = Doctor(adapter, line).Run();
    json_object* checks = json_object_new_array();
    for (const Finding& f : findings) {
        out.Say("[" + std::string(HealthName(f.health)) + "] " + f.check + ": " + f.text);
        out.Say("    advice: " + f.advice);
        json_object_array_add(checks, FindingJson(f));
    }
    json_object_object_add(out.Document(), "checks", checks);
    return Conclusion(findings);
}

}  // namespace

void AddDoctorCommand(CLI::App& app, CommandLine& line)
{
    CLI::App* doctor = Subcommand(
        app, line, "doctor",
        "check what stands between this host and the gateway: name, connections, round trip, "
        "proxy, keep-alive, time-outs (asks facepad/getavailable only; changes nothing)",
        &RunDoctor);
    doctor
        ->add_option("--idle-seconds", line.idleSeconds,
                     "hold an idle connection this long to see when the gateway ends it")
        ->capture_default_str()
        ->check(CLI::Range(1, 120));
    doctor->add_flag("--max-body", line.maxBody,
                     "also find the largest request body accepted, against a photo of "
                     "--max-photo-bytes (sends up to about 11 MB several times)");
    doctor->add_option("--max-photo-bytes", line.maxPhotoBytes, "the photo limit to check against")
        ->capture_default_str();
}

}  // namespace facepad::cli
