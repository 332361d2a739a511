#include "Commands.h"
#include "UsageError.h"

#include <cstring>
#include <iostream>

namespace
{
const char* const Usage =
    "Usage: formicula-cli COMMAND [OPTIONS]\n"
    "\n"
    "Runs the multi-colour ant on the 250 x 250 field, starting from a blank field\n"
    "with the ant on cell (125, 125) heading up.\n"
    "\n"
    "Commands:\n"
    "  run RULE [--max-iterations N]   run a rule of 1 to 12 letters L, R and -\n"
    "                                  (default cap 1000000000 iterations)\n"
    "  run --preset N [--max-iterations N]\n"
    "                                  run catalogued preset N (1 to 31), no cap\n"
    "  run ... --png FILE [--cell-size S]\n"
    "                                  also write the final field as a PNG picture,\n"
    "                                  S x S pixels per cell (1 to 16, default 3)\n"
    "  catalogue [--csv] [--render DIR]\n"
    "                                  run all 31 presets and check each ends at\n"
    "                                  the count in its label (exit 1 if not);\n"
    "                                  --render writes the 510 x 510 previews\n"
    "                                  ant_ai_preset_01.png .. _31.png into DIR\n"
    "  survey --letters A[-B] [--max-iterations N] [--jobs J] [--csv|--json] [--top K]\n"
    "                                  run every rule of A to B letters L and R (1 to\n"
    "                                  12) until it finishes, provably never does, or\n"
    "                                  reaches the cap (default 100000000); J threads\n"
    "                                  (default: all cores); --top K keeps the K\n"
    "                                  longest finishers; Ctrl-C prints the rows done\n"
    "                                  so far, marked incomplete (exit 130)\n"
    "\n"
    "Options:\n"
    "  -h, --help                      show this help and exit\n"
    "  --version                       show the version and exit\n"
    "\n"
    "Exit status: 0 success, 1 catalogue mismatch, 2 bad input, 130 survey interrupted.\n";

int Dispatch(const std::string& command, const std::vector<std::string>& words)
{
    if (command == "run")
        return RunCommand(words);
    if (command == "catalogue")
        return CatalogueCommand(words);
    if (command == "survey")
        return SurveyCommand(words);
    throw UsageError("unknown command '" + command + "' (try --help)");
}
} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> words(argv + 1, argv + argc);
    for (const std::string& word : words)
    {
        if (word == "--")
            break;
        if (word == "-h" || word == "--help")
        {
            std::cout << Usage;
            return 0;
        }
        if (word == "--version")
        {
            std::cout << "formicula-cli " << FORMICULA_VERSION << '\n';
            return 0;
        }
    }
    try
    {
        if (words.empty())
            throw UsageError("missing command (try --help)");
        const std::string command = words.front();
        words.erase(words.begin());
        return Dispatch(command, words);
    }
    catch (const UsageError& error)
    {
        std::cerr << "formicula-cli: " << error.what() << '\n';
        return 2;
    }
}
