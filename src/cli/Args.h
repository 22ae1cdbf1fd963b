// Command-line arguments of one command: its options (with or without a value), its positional arguments, and the
// strict number and address parsing every command shares. Refusals throw CCliError, caught once in main.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "registry/Machine.h"

namespace lanwick::cli {

// An error to show as one line on stderr; main adds the program and command names.
class CCliError : public std::runtime_error {
public:
    explicit CCliError(const std::string& strMessage, int nStatus = 2)
        : std::runtime_error(strMessage), m_nStatus(nStatus) {}
    int Status() const { return m_nStatus; }

private:
    int m_nStatus;
};

struct OptionSpec {
    const char* name; // with its dashes: "--workers"
    bool bValue;      // takes a value ("--workers 20" or "--workers=20")
};

class CArgs {
public:
    // Every command accepts --help and --settings FILE besides its own options. "--" ends the options. A value
    // that starts with "--" is refused: it is almost always the next option, its value forgotten.
    CArgs(const std::vector<std::string>& args, std::initializer_list<OptionSpec> options);

    bool Has(const std::string& strName) const { return m_values.count(strName) != 0; }
    std::optional<std::string> Value(const std::string& strName) const;
    const std::vector<std::string>& Positionals() const { return m_positionals; }
    bool WantsHelp() const { return Has("--help"); }

    // Refuses more or fewer positional arguments than allowed.
    void RequirePositionals(std::size_t nMin, std::size_t nMax, const char* what) const;

private:
    std::map<std::string, std::string> m_values;
    std::vector<std::string> m_positionals;
};

// An argument as error messages echo it: cut to 80 characters (at a character boundary) with "..." after, so that
// a runaway argument cannot bury the reason.
std::string Shorten(const std::string& strText);

// A whole decimal number from nMin to nMax, or a refusal naming strWhat.
std::int64_t ParseNumber(const std::string& strText, std::int64_t nMin, std::int64_t nMax, const std::string& strWhat);

// Four decimal numbers 0 to 255 joined by dots ("198.18.0.010" is 198.18.0.10); nothing for any other text, so
// that short and hexadecimal forms the system parser would take ("10.1", "0x0a.0.0.1") never pass as addresses.
std::optional<IpAddress> ParseStrictAddress(const std::string& strText);
// The same, or a refusal naming the text.
IpAddress RequireAddress(const std::string& strText);

// A MAC in colon ("00:A0:C9:12:34:56"), dash or plain twelve-digit form, either case, as twelve upper-case digits;
// nothing for any other text.
std::optional<std::string> ParseMac(const std::string& strText);
std::string RequireMac(const std::string& strText);

} // namespace lanwick::cli
