// facepad-cli: one adapter operation per run, against a real gateway or the simulator.
#include <CLS_VurodoroViri_Druvel.h>

#include <cstdio>
#include <memory>

#include "adapter_log.h"
#include "cli_commands.h"

int main(int argc, char** argv)
{
    CLI::App app{"facepad-cli: drives the face-terminal adapter, one operation per run"};
    facepad::cli::CommandLine line;
    app.add_option("--url", line.url, "gateway base URL, without port")->capture_default_str();
    app.add_option("--port", line.port, "gateway port")
        ->capture_default_str()
        ->check(CLI::Range(0, 65535));
    app.add_flag("-v,--verbose", line.verbose, "echo every adapter log line to stderr");
    facepad::cli::AddSubcommands(app, line);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help is a "parse error" with exit code 0; every real mistake exits 1, like a failure.
        return app.exit(error) == 0 ? 0 : 1;
    }

    facepad::cli::CaptureAdapterLog(line.verbose);
    auto adapter = std::make_unique<facepad::cli::Adapter>();
    adapter->SetUrl(line.url);
    adapter->SetRequestPort(line.port);
    const bool succeeded = line.action(*adapter);
    adapter.reset();  // stops the polling thread before the process ends
    return succeeded ? 0 : 1;
}
