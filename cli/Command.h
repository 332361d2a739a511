#pragma once

namespace CLI
{
class App;
}

// A subcommand: its constructor adds its options to the command line; once the words are
// parsed, Execute checks them (a UsageError before anything is written) and does the work.
class Command
{
public:
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    CLI::App& Options() const { return *App; }
    // The exit status.
    virtual int Execute() = 0;

protected:
    explicit Command(CLI::App* app) : App(app) {}

private:
    CLI::App* App;
};
