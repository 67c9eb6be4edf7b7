#include "Commands.h"
#include "PictavoCli.h"
#include "kestrix/Exceptions.h"

#include <functional>
#include <new>
#include <ostream>
#include <string_view>

#ifndef PICTAVO_VERSION
#define PICTAVO_VERSION "unknown"
#endif

namespace Pictavo::Cli {

namespace {

constexpr std::string_view MainHelp =
    R"(Usage: pictavo-cli COMMAND ARGUMENTS...

Reads and writes the metadata of JPEG, TIFF and Photoshop (PSD) files.

Commands:
  get [--json] FILE NAME...   print the named fields of FILE
  set FILE NAME=VALUE...      change fields of FILE and save it
  dump FILE                   list the structure of FILE and its IPTC datasets

Options:
  -h, --help    show this help, or a command's help after the command
  --version     show the version

Field names are "IPTC" + a text property (IPTCCity, IPTCHeadline, ...) or
"SDA" + a list property (SDAKeywords, SDABylines, ...); 'pictavo-cli get --help'
lists them all.

Exit status: 0 on success, 1 when the operation fails (the reason is on
standard error), 2 when the command line is wrong.
)";

constexpr std::string_view GetHelp =
    R"(Usage: pictavo-cli get [--json] FILE NAME...

Prints each named field of FILE as NAME=VALUE, one line each. A list field
prints one NAME=ELEMENT line per element, none when it is empty; a text
field that is not set prints NAME= with nothing after it.

Options:
  --json        print one JSON object instead: text fields as strings, list
                fields as arrays (exact also for values with line breaks)
  -h, --help    show this help
  --            end of options (for a FILE that begins with '-')

Fields:
)";

constexpr std::string_view SetHelp =
    R"(Usage: pictavo-cli set FILE NAME=VALUE...

Loads FILE, sets the fields and saves FILE with the image data untouched.

  IPTCCity=Paris              sets a text field
  IPTCCity=                   removes a text field
  SDAKeywords=a SDAKeywords=b the values of a list field, in order, become
                              its new list
  SDAKeywords=                clears a list field

Every name is checked and every value set before anything is written: when
the command fails, FILE is left as it was. 'pictavo-cli get --help' lists
the field names.

Options:
  -h, --help    show this help
  --            end of options (for a FILE that begins with '-')
)";

constexpr std::string_view DumpHelp =
    R"(Usage: pictavo-cli dump FILE

Lists the structure of FILE: the JPEG segments (offset, marker, data bytes
and what they carry), the PSD image resources (ID, name, data bytes), the
TIFF directories (index or pointer tag, offset, load errors, and each tag's
ID, type, count and a short value, also for the Exif block of a JPEG or PSD)
and the IPTC datasets (record:dataset, length, value).

Options:
  -h, --help    show this help
  --            end of options (for a FILE that begins with '-')
)";

struct TCommandArgs {
    bool Help = false;
    bool Json = false;
    std::vector<std::string> Positional;
};

// Options may stand anywhere before "--"; a lone "-" is a file name.
TCommandArgs ParseCommandArgs(std::span<const std::string> args, bool acceptsJson) {
    TCommandArgs result;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            result.Positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            result.Help = true;
        } else if (acceptsJson && arg == "--json") {
            result.Json = true;
        } else {
            throw EUsageError("unknown option '" + arg + "'");
        }
    }
    return result;
}

struct TCommand {
    std::string_view Name;
    // Runs the command and returns the file it works on, for the error message.
    std::function<void(const TCommandArgs&, std::ostream& out, std::string& fileName)> Run;
    std::function<void(std::ostream& out)> WriteHelp;
    bool AcceptsJson = false;
};

void WriteGetHelp(std::ostream& out) {
    out << GetHelp;
    for (const std::string& name : ListFieldNames()) {
        out << "  " << name << '\n';
    }
}

void Get(const TCommandArgs& args, std::ostream& out, std::string& fileName) {
    if (args.Positional.empty()) {
        throw EUsageError("get: missing FILE");
    }
    if (args.Positional.size() < 2) {
        throw EUsageError("get: missing NAME");
    }
    fileName = args.Positional.front();
    RunGet({fileName, {args.Positional.begin() + 1, args.Positional.end()}, args.Json}, out);
}

void Set(const TCommandArgs& args, std::ostream&, std::string& fileName) {
    if (args.Positional.empty()) {
        throw EUsageError("set: missing FILE");
    }
    if (args.Positional.size() < 2) {
        throw EUsageError("set: missing NAME=VALUE");
    }
    TSetOptions options{args.Positional.front(), {}};
    for (auto arg = args.Positional.begin() + 1; arg != args.Positional.end(); ++arg) {
        options.Assignments.push_back(ParseAssignment(*arg));
    }
    fileName = options.FileName;
    RunSet(options);
}

void Dump(const TCommandArgs& args, std::ostream& out, std::string& fileName) {
    if (args.Positional.size() != 1) {
        throw EUsageError(args.Positional.empty() ? "dump: missing FILE" : "dump: takes one FILE");
    }
    fileName = args.Positional.front();
    RunDump(fileName, out);
}

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> commands{
        {"get", Get, WriteGetHelp, true},
        {"set", Set, [](std::ostream& out) { out << SetHelp; }, false},
        {"dump", Dump, [](std::ostream& out) { out << DumpHelp; }, false},
    };
    return commands;
}

const TCommand* FindCommand(std::string_view name) {
    for (const TCommand& command : Commands()) {
        if (command.Name == name) {
            return &command;
        }
    }
    return nullptr;
}

int ReportUsageError(std::ostream& err, const std::string& message, std::string_view command) {
    err << ProgramName << ": " << message << '\n'
        << "Try '" << ProgramName << (command.empty() ? "" : " ") << command
        << " --help' for more information.\n";
    return ExitUsage;
}

int ReportFailure(std::ostream& err, const std::string& fileName, const std::string& message) {
    err << ProgramName << ": ";
    if (!fileName.empty()) {
        err << fileName << ": ";
    }
    err << message << '\n';
    return ExitFailure;
}

int RunCommand(const TCommand& command, std::span<const std::string> args, std::ostream& out,
               std::ostream& err) {
    std::string fileName;
    try {
        const TCommandArgs parsed = ParseCommandArgs(args, command.AcceptsJson);
        if (parsed.Help) {
            command.WriteHelp(out);
            return ExitSuccess;
        }
        command.Run(parsed, out, fileName);
        return ExitSuccess;
    } catch (const EUsageError& error) {
        return ReportUsageError(err, error.what(), command.Name);
    } catch (const std::bad_alloc&) {
        return ReportFailure(err, fileName, "Out of memory");
    } catch (const std::exception& error) {
        // The library's own messages (Kestrix::Exif::Exception) and the
        // standard library's alike.
        return ReportFailure(err, fileName, error.what());
    }
}

} // namespace

int RunPictavoCli(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        return ReportUsageError(err, "missing command", {});
    }
    const std::string& first = args.front();
    if (first == "-h" || first == "--help" || first == "help") {
        out << MainHelp;
        return ExitSuccess;
    }
    if (first == "--version") {
        out << ProgramName << ' ' << PICTAVO_VERSION << '\n';
        return ExitSuccess;
    }
    const TCommand* command = FindCommand(first);
    if (command == nullptr) {
        return ReportUsageError(err, "unknown command '" + first + "'", {});
    }
    return RunCommand(*command, args.subspan(1), out, err);
}

} // namespace Pictavo::Cli
