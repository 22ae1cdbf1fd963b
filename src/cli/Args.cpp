// Option parsing and the strict readers of numbers, addresses and MACs that every command uses before it acts.
#include "cli/Args.h"

#include <algorithm>
#include <cctype>

namespace lanwick::cli {

namespace {

bool IsDigits(const std::string& strText) {
    return !strText.empty() && std::all_of(strText.begin(), strText.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsHexDigits(const std::string& strText) {
    return std::all_of(strText.begin(), strText.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

} // namespace

std::string Shorten(const std::string& strText) {
    constexpr std::size_t kMax = 80;
    if (strText.size() <= kMax)
        return strText;
    std::size_t end = kMax;
    while (end > 0 && (static_cast<unsigned char>(strText[end]) & 0xC0) == 0x80)
        --end;
    return strText.substr(0, end) + "...";
}

CArgs::CArgs(const std::vector<std::string>& args, std::initializer_list<OptionSpec> options) {
    std::vector<OptionSpec> known(options);
    known.push_back({"--help", false});
    known.push_back({"--settings", true});
    bool bOptionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string strArg = args[i];
        if (bOptionsEnded || strArg.size() < 2 || strArg[0] != '-') {
            m_positionals.push_back(strArg);
            continue;
        }
        if (strArg == "--") {
            bOptionsEnded = true;
            continue;
        }
        if (strArg == "-h")
            strArg = "--help";
        std::optional<std::string> value;
        if (const std::size_t eq = strArg.find('='); eq != std::string::npos && strArg.rfind("--", 0) == 0) {
            value = strArg.substr(eq + 1);
            strArg.erase(eq);
        }
        const auto option =
            std::find_if(known.begin(), known.end(), [&](const OptionSpec& o) { return strArg == o.name; });
        if (option == known.end())
            throw CCliError("unknown option " + Shorten(strArg) + " (see --help)");
        if (m_values.count(strArg) != 0)
            throw CCliError("option " + strArg + " given twice");
        if (!option->bValue && value)
            throw CCliError("option " + strArg + " takes no value");
        if (option->bValue && !value) {
            if (i + 1 >= args.size())
                throw CCliError("option " + strArg + " needs a value");
            value = args[++i];
        }
        if (value && value->rfind("--", 0) == 0)
            throw CCliError("option " + strArg + " needs a value, not the option-like \"" + Shorten(*value) + "\"");
        m_values[strArg] = value.value_or("");
    }
}

std::optional<std::string> CArgs::Value(const std::string& strName) const {
    const auto it = m_values.find(strName);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

void CArgs::RequirePositionals(std::size_t nMin, std::size_t nMax, const char* what) const {
    if (m_positionals.size() < nMin)
        throw CCliError(std::string("missing ") + what + " (see --help)");
    if (m_positionals.size() > nMax)
        throw CCliError("unexpected argument \"" + Shorten(m_positionals[nMax]) + "\" (see --help)");
}

std::int64_t ParseNumber(const std::string& strText, std::int64_t nMin, std::int64_t nMax, const std::string& strWhat) {
    const std::string strRange = strWhat + " must be a whole number from " + std::to_string(nMin) + " to " +
                                 std::to_string(nMax) + ", not \"" + Shorten(strText) + "\"";
    // Ten digits at most keep the value far inside 64 bits before the range test.
    if (!IsDigits(strText) || strText.size() > 10)
        throw CCliError(strRange);
    const std::int64_t value = std::stoll(strText);
    if (value < nMin || value > nMax)
        throw CCliError(strRange);
    return value;
}

std::optional<IpAddress> ParseStrictAddress(const std::string& strText) {
    IpAddress ip{};
    std::size_t begin = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t dot = i < 3 ? strText.find('.', begin) : strText.size();
        if (dot == std::string::npos)
            return std::nullopt;
        const std::string strPart = strText.substr(begin, dot - begin);
        if (!IsDigits(strPart) || strPart.size() > 3 || std::stoi(strPart) > 255)
            return std::nullopt;
        ip[i] = static_cast<std::uint8_t>(std::stoi(strPart));
        begin = dot + 1;
    }
    return ip;
}

IpAddress RequireAddress(const std::string& strText) {
    if (auto ip = ParseStrictAddress(strText))
        return *ip;
    throw CCliError("bad address \"" + Shorten(strText) + "\": four numbers from 0 to 255 joined by dots are expected");
}

std::optional<std::string> ParseMac(const std::string& strText) {
    std::string strDigits;
    if (strText.size() == 12) {
        strDigits = strText;
    } else if (strText.size() == 17) {
        const char sep = strText[2];
        if (sep != ':' && sep != '-')
            return std::nullopt;
        for (std::size_t i = 0; i < 17; ++i) {
            if (i % 3 == 2) {
                if (strText[i] != sep)
                    return std::nullopt;
            } else {
                strDigits += strText[i];
            }
        }
    } else {
        return std::nullopt;
    }
    if (!IsHexDigits(strDigits))
        return std::nullopt;
    for (char& c : strDigits)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return strDigits;
}

std::string RequireMac(const std::string& strText) {
    if (auto mac = ParseMac(strText))
        return *mac;
    throw CCliError("bad MAC \"" + Shorten(strText) +
                    "\": twelve hexadecimal digits are expected, plain or in pairs joined by "
                    "\":\" or \"-\"");
}

} // namespace lanwick::cli
