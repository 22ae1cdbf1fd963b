// Fuzzes the INI reader and writer behind the settings file: any bytes must parse, write back and re-read to
// the same values, and a key that is set must read back as set without disturbing the others.
#include "monitor/IniFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>

namespace {

struct Key {
    const char* section;
    const char* key;
};

constexpr Key kKeys[] = {{"General", "ShowPingTime"}, {"General", "HideExcluded"}, {"General", "DefFile"},
                         {"Scan", "Retries"},         {"Scan", "Pause"},           {"Monitor", "Enabled"},
                         {"Monitor", "Refresh"}};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    lanwick::CIniText ini(text);
    // What was written reads back as what was read.
    lanwick::CIniText again(ini.Text());
    for (const auto& k : kKeys) {
        auto value = ini.Get(k.section, k.key);
        Check(value == again.Get(k.section, k.key));
        if (value)
            (void)lanwick::ParseProfileInt(*value);
    }
    // Set one key to a value taken from the input; every other key keeps its value.
    const auto& target = kKeys[size % std::size(kKeys)];
    std::string value = text.substr(0, std::min<std::size_t>(size, 40));
    bool bSet = again.Set(target.section, target.key, value);
    Check(bSet == (value.find_first_of("\r\n") == std::string::npos));
    lanwick::CIniText after(again.Text());
    for (const auto& k : kKeys) {
        if (&k == &target)
            Check(after.Get(k.section, k.key) ==
                  (bSet ? std::optional<std::string>(value) : ini.Get(k.section, k.key)));
        else
            Check(after.Get(k.section, k.key) == ini.Get(k.section, k.key));
    }
    return 0;
}
