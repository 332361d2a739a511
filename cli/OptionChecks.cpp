#include "OptionChecks.h"

#include "ArgumentText.h"
#include "UsageError.h"

namespace
{
// "table, csv or json"
std::string Alternatives(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
}
} // namespace

namespace OptionChecks
{
CLI::Validator WholeNumber(const std::string& option, int low, int high)
{
    return CLI::Validator(
        [=](std::string& text)
        {
            ArgumentText::ParseInt(option, text, low, high);
            return std::string();
        },
        "");
}

CLI::Validator Count(const std::string& option, std::uint64_t most)
{
    const CLI::Validator range = CLI::Range(std::uint64_t{1}, most);
    return CLI::Validator(
        [=](std::string& text)
        {
            const std::uint64_t value = ArgumentText::ParseCount(option, text);
            std::string number = std::to_string(value);
            if (!range(number).empty())
                throw UsageError(option + " must be at most " + std::to_string(most) + ", not " +
                                 ArgumentText::Quote(text));
            return std::string();
        },
        "");
}

CLI::Validator OneOf(const std::string& option, const std::vector<std::string>& names)
{
    const CLI::Validator member = CLI::IsMember(names);
    return CLI::Validator(
        [=](std::string& text)
        {
            std::string value = text;
            if (!member(value).empty())
                throw UsageError(option + " must be " + Alternatives(names) + ", not " +
                                 ArgumentText::Quote(text));
            return std::string();
        },
        "");
}

Shard ParseShard(const std::string& text)
{
    const std::string problem =
        "--shard must be I/N with 1 <= I <= N <= " + std::to_string(MostShards) + ", not " +
        ArgumentText::Quote(text);
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos)
        throw UsageError(problem);
    Shard shard;
    try
    {
        shard.Index = ArgumentText::ParseInt("--shard", text.substr(0, slash), 1, MostShards);
        shard.Count = ArgumentText::ParseInt("--shard", text.substr(slash + 1), 1, MostShards);
    }
    catch (const UsageError&)
    {
        throw UsageError(problem);
    }
    if (shard.Index > shard.Count)
        throw UsageError(problem);
    return shard;
}
} // namespace OptionChecks
