#include "CommandLine.h"

#include "AntField.h"
#include "ArgumentText.h"
#include "CatalogueCommand.h"
#include "MergeCommand.h"
#include "Rule.h"
#include "RunCommand.h"
#include "SoupsCommand.h"
#include "StandardOutput.h"
#include "SummaryCommand.h"
#include "SurveyCommand.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>

namespace
{
std::string Description()
{
    const std::string side = std::to_string(AntField::FieldSize);
    const std::string start = std::to_string(AntField::FieldSize / 2);
    return "Runs the multi-colour ant on the " + side + " x " + side +
           " field, starting from a blank field with the\nant on cell (" + start + ", " + start +
           ") heading up.";
}

const char* const Footer =
    "Run 'formicula-cli help COMMAND' or 'formicula-cli COMMAND --help' for a command's "
    "options.\n"
    "Exit status: 0 success, 1 runtime failure (a file or stdout that cannot be written, a\n"
    "catalogue mismatch), 2 bad usage, 130 interrupted (Ctrl-C), 143 ended by SIGTERM, 129\n"
    "by SIGHUP.";

// Whether the option word (--name or --name=value) names an option of the command.
bool Knows(const CLI::App& command, const std::string& word)
{
    const std::string name = word.substr(0, word.find('='));
    return command.get_option_no_throw(name) != nullptr || (name == "--help" || name == "-h");
}

// "-LR" is refused as an option, but was meant as a rule.
bool LooksLikeRule(const std::string& word)
{
    return Rule::Parse(word).Why == Rule::Refusal::NoLetterFirst;
}

} // namespace

CommandLine::CommandLine() : Line(std::make_unique<CLI::App>(Description(), "formicula-cli"))
{
    // Given twice, an option is refused below, in this program's words.
    Line->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    Line->allow_extras();
    Line->require_subcommand(0,
                             1); // "help run" and "run LR survey": one command, the rest its words
    Line->footer(Footer);
    Line->add_flag("--version", Version, "show the version and exit")->disable_flag_override();
    Commands.push_back(std::make_unique<RunCommand>(*Line));
    Commands.push_back(std::make_unique<CatalogueCommand>(*Line));
    Commands.push_back(std::make_unique<SurveyCommand>(*Line));
    Commands.push_back(std::make_unique<SoupsCommand>(*Line));
    Commands.push_back(std::make_unique<MergeCommand>(*Line));
    Commands.push_back(std::make_unique<SummaryCommand>(*Line));
    HelpCommand = Line->add_subcommand("help", "Show the help of a command, or this help.");
    HelpCommand->add_option("COMMAND", HelpTopic)->type_name("");
    for (CLI::App* command : Line->get_subcommands({}))
    {
        command->allow_extras();
        command->footer(command->get_footer() + (command->get_footer().empty() ? "" : "\n") +
                        "Exit status: 0 success, 1 runtime failure, 2 bad usage, 130 "
                        "interrupted.");
    }
}

CommandLine::~CommandLine() = default;

int CommandLine::Run(int argc, char** argv)
{
    bool help = false;
    try
    {
        Line->parse(argc, argv);
    }
    catch (const CLI::CallForHelp&)
    {
        help = true;
    }
    catch (const CLI::ParseError& error)
    {
        throw UsageError(Wording(error, std::vector<std::string>(argv + 1, argv + argc)));
    }
    Command* chosen = nullptr;
    for (const auto& command : Commands)
        if (command->Options().parsed())
            chosen = command.get();
    CheckWords(std::vector<std::string>(argv + 1, argv + argc), chosen);

    if (help || Version || HelpCommand->parsed())
    {
        std::string text = "formicula-cli " FORMICULA_VERSION "\n";
        if (help)
            text = Line->help();
        else if (!Version)
            text = HelpOf(HelpTopic);
        StandardOutput::Write(text);
        StandardOutput::Flush();
        return 0;
    }
    if (chosen == nullptr)
        throw UsageError("missing command (try --help)");
    return chosen->Execute();
}

// CLI11 says what went wrong by the type of its exception; the option concerned is found in
// the words, so no message of the library is read.
std::string CommandLine::Wording(const CLI::ParseError& error,
                                 const std::vector<std::string>& words) const
{
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr)
        for (auto word = words.begin(); word != words.end() && *word != "--"; ++word)
        {
            const std::size_t equals = word->find('=');
            const std::string name = word->substr(0, equals);
            const CLI::Option* option = Find(name);
            if (option == nullptr || option->get_positional())
                continue;
            const bool flag = option->get_items_expected_max() == 0;
            if (flag && equals != std::string::npos)
                return "option " + name + " takes no value";
            const bool last = word + 1 == words.end() || word[1] == "--";
            if (!flag && (equals == std::string::npos ? last : equals + 1 == word->size()))
                return "option " + name + " needs a value";
        }
    // Not expected with the options as they are set up: the library's own words, quoted.
    return ArgumentText::Quote(error.what(), 200);
}

const CLI::Option* CommandLine::Find(const std::string& name) const
{
    if (ArgumentText::LooksLikeOption(name))
    {
        if (const CLI::Option* option = Line->get_option_no_throw(name))
            return option;
        for (const auto& command : Commands)
            if (const CLI::Option* option = command->Options().get_option_no_throw(name))
                return option;
    }
    return nullptr;
}

void CommandLine::CheckWords(const std::vector<std::string>& words, const Command* chosen) const
{
    const CLI::App& options = chosen != nullptr ? chosen->Options() : *Line;
    for (const CLI::Option* option : options.get_options())
        if (option->get_items_expected_max() > 0 && !option->get_positional() &&
            option->count() > 1)
            throw UsageError("option " + option->get_name() + " is given more than once");
    for (const CLI::Option* option : options.get_options())
        for (const std::string& value : option->results())
            if (option->get_type_size() != 0 && !option->get_positional() &&
                ArgumentText::LooksLikeOption(value))
                throw UsageError("option " + option->get_name() + " needs a value " +
                                 option->get_type_name() + ", but " + ArgumentText::Quote(value) +
                                 " is an option");

    // Words CLI11 left over, reported in the order they were given. Before "--" a word that
    // starts with '-' is an option, so "---" (which CLI11 takes for a positional) and "-LR"
    // are refused alike; after "--" every word is an argument, whatever it looks like.
    std::map<std::string, int> left;
    for (const std::string& word : Line->remaining(true))
        ++left[word];
    const auto separator = std::find(words.begin(), words.end(), "--");
    for (auto word = words.begin(); word != words.end(); ++word)
    {
        const bool argument = separator < word;
        const bool option = !argument && ArgumentText::LooksLikeOption(*word);
        const std::string quoted = ArgumentText::Quote(*word);
        if (option && word->rfind("---", 0) == 0)
            throw UsageError("unknown option " + quoted);
        // A known option before "--" was taken; the same word left over comes after it.
        if (word == separator || left[*word] == 0 || (option && Knows(options, *word)))
            continue;
        if (option)
            throw UsageError("unknown option " + quoted +
                             (LooksLikeRule(*word) ? " (a rule starts with L or R)" : ""));
        if (chosen == nullptr && !HelpCommand->parsed() && !argument)
            throw UsageError("unknown command " + quoted + " (try --help)");
        throw UsageError("unexpected argument " + quoted);
    }
}

std::string CommandLine::HelpOf(const std::string& topic) const
{
    if (topic.empty())
        return Line->get_formatter()->make_help(Line.get(), "formicula-cli",
                                                CLI::AppFormatMode::Normal);
    for (const auto& command : Commands)
        if (command->Options().get_name() == topic)
            return command->Options().help("formicula-cli");
    throw UsageError("unknown command " + ArgumentText::Quote(topic) + " (try --help)");
}
