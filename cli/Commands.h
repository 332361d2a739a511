#pragma once

#include <string>
#include <vector>

// Each subcommand takes the words after its name and returns the exit status.
// Bad input is thrown as a UsageError before anything is printed.
int RunCommand(const std::vector<std::string>& words);
int CatalogueCommand(const std::vector<std::string>& words);
int SurveyCommand(const std::vector<std::string>& words);
