#include "CommandLine.h"
#include "RuntimeFailure.h"
#include "StandardOutput.h"
#include "UsageError.h"

#include <iostream>
#include <new>

int main(int argc, char** argv)
{
    constexpr int Failure = 1;
    constexpr int BadUsage = 2;
    try
    {
        StandardOutput::CheckDescriptors();
        return CommandLine().Run(argc, argv);
    }
    catch (const UsageError& error)
    {
        std::cerr << "formicula-cli: " << error.what() << '\n';
        return BadUsage;
    }
    catch (const RuntimeFailure& error)
    {
        std::cerr << "formicula-cli: " << error.what() << '\n';
    }
    catch (const std::bad_alloc&)
    {
        std::cerr << "formicula-cli: out of memory\n";
    }
    catch (const std::exception& error)
    {
        std::cerr << "formicula-cli: " << error.what() << '\n';
    }
    return Failure;
}
