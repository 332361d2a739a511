#include "Arguments.h"

#include "UsageError.h"

#include <limits>

Arguments::Arguments(std::vector<std::string> words) : Words(std::move(words)) {}

bool Arguments::TakeFlag(const std::string& name)
{
    bool found = false;
    for (auto it = Words.begin(); it != Words.end();)
    {
        if (*it == "--")
            break;
        if (it->rfind(name + "=", 0) == 0)
            throw UsageError("option " + name + " takes no value");
        if (*it == name)
        {
            it = Words.erase(it);
            found = true;
        }
        else
        {
            ++it;
        }
    }
    return found;
}

std::optional<std::string> Arguments::TakeValue(const std::string& name)
{
    std::optional<std::string> value;
    for (auto it = Words.begin(); it != Words.end();)
    {
        if (*it == "--")
            break;
        if (value && (*it == name || it->rfind(name + "=", 0) == 0))
            throw UsageError("option " + name + " given more than once");
        if (*it == name)
        {
            if (it + 1 == Words.end())
                throw UsageError("option " + name + " needs a value");
            value = *(it + 1);
            it = Words.erase(it, it + 2);
        }
        else if (it->rfind(name + "=", 0) == 0)
        {
            value = it->substr(name.size() + 1);
            it = Words.erase(it);
        }
        else
        {
            ++it;
        }
    }
    return value;
}

std::vector<std::string> Arguments::Positionals(std::size_t most)
{
    std::vector<std::string> result;
    bool optionsEnded = false;
    for (const std::string& word : Words)
    {
        if (!optionsEnded && word == "--")
        {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && word.size() > 1 && word[0] == '-' && word != "-")
        {
            // A rule may start with '-': only words that look like options are refused.
            if (word.rfind("--", 0) == 0 || word.find_first_not_of("LR-", 1) != std::string::npos)
                throw UsageError("unknown option " + word);
        }
        result.push_back(word);
    }
    if (result.size() > most)
        throw UsageError("unexpected argument '" + result[most] + "'");
    return result;
}

std::uint64_t Arguments::ParseCount(const std::string& option, const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError(option + " must be a positive whole number, not '" + text + "'");
    std::uint64_t value = 0;
    for (char digit : text)
    {
        const auto d = static_cast<std::uint64_t>(digit - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - d) / 10)
            throw UsageError(option + " is too large: " + text);
        value = value * 10 + d;
    }
    if (value == 0)
        throw UsageError(option + " must be a positive whole number, not '" + text + "'");
    return value;
}

int Arguments::ParseInt(const std::string& option, const std::string& text, int low, int high)
{
    const bool digits = !text.empty() && text.size() <= 9 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const int value = digits ? std::stoi(text) : -1;
    if (!digits || value < low || value > high)
        throw UsageError(option + " must be a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not '" + text + "'");
    return value;
}
