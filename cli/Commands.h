// The commands of pictavo-cli. Each raises on failure; RunPictavoCli turns the
// exception into the message and the exit status.
#pragma once

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace Pictavo::Cli {

// A command line that cannot be carried out as written (exit status 2).
class EUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TGetOptions {
    std::string FileName;
    std::vector<std::string> FieldNames;
    bool Json = false;
};

struct TAssignment {
    std::string FieldName;
    std::string Value;
};

struct TSetOptions {
    std::string FileName;
    std::vector<TAssignment> Assignments;
};

// Splits NAME=VALUE at the first '='; EUsageError without one or without a name.
TAssignment ParseAssignment(const std::string& argument);

void RunGet(const TGetOptions& options, std::ostream& out);
// Every name is checked and every value set before the file is saved, so a
// failure leaves the file as it was.
void RunSet(const TSetOptions& options);
void RunDump(const std::string& fileName, std::ostream& out);

// The field names the get and set commands accept, text fields first.
std::vector<std::string> ListFieldNames();

} // namespace Pictavo::Cli
