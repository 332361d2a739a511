#include "CommandLine.h"
#include "Interruption.h"
#include "RuntimeFailure.h"
#include "StandardOutput.h"
#include "UsageError.h"

#include <QTextCodec>

#include <csignal>
#include <iostream>
#include <new>

int main(int argc, char** argv)
{
    constexpr int Failure = 1;
    constexpr int BadUsage = 2;
    // A closed pipe and a file-size limit become failed writes, which say why, exit 1 and
    // unwind, so no temporary file is left behind.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    // File names are bytes: Qt turns them into text and back through the locale's codec, and
    // only Latin-1 gives every byte a character of its own, so names that are not UTF-8
    // reach the disk unchanged whatever the locale.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
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
    catch (const Interrupted& error)
    {
        std::cerr << "formicula-cli: " << error.what() << '\n';
        return error.ExitStatus();
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
