#include "OutputOption.h"

#include "FieldPicture.h"
#include "OutputFile.h"

#include <CLI/CLI.hpp>

OutputOption::OutputOption(CLI::App& command, const std::string& name, const std::string& help)
    : Command(&command), Name(name)
{
    command.add_option(name, Path, help)->type_name("FILE");
}

bool OutputOption::Requested() const
{
    return Command->count(Name) > 0;
}

bool OutputOption::ToStandardOutput() const
{
    return Requested() && Path == FieldPicture::StandardOutputPath;
}

void OutputOption::CheckWritable() const
{
    if (Requested() && !ToStandardOutput())
        OutputFile::Check(Path);
}
