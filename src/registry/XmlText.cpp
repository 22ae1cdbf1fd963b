// Entity escaping and decoding for the machine file texts.
#include "registry/XmlText.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

namespace lanwick {

void AppendEscaped(std::string& strOut, const std::string& strText) {
    // Plain runs are copied whole; texts rarely hold anything to escape.
    std::size_t start = 0;
    for (std::size_t at = strText.find_first_of("&<>\""); at != std::string::npos;
         at = strText.find_first_of("&<>\"", start)) {
        strOut.append(strText, start, at - start);
        switch (strText[at]) {
        case '&':
            strOut += "&amp;";
            break;
        case '<':
            strOut += "&lt;";
            break;
        case '>':
            strOut += "&gt;";
            break;
        default:
            strOut += "&quot;";
            break;
        }
        start = at + 1;
    }
    strOut.append(strText, start, std::string::npos);
}

std::string DecodeEntities(const std::string& strText) {
    if (strText.find('&') == std::string::npos)
        return strText;
    static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities{
        {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}}};
    std::string strOut;
    strOut.reserve(strText.size());
    const std::string_view text(strText);
    for (std::size_t i = 0; i < text.size();) {
        bool bDecoded = false;
        if (text[i] == '&') {
            for (const auto& [entity, c] : kEntities) {
                if (text.substr(i, entity.size()) == entity) {
                    strOut += c;
                    i += entity.size();
                    bDecoded = true;
                    break;
                }
            }
        }
        if (!bDecoded)
            strOut += text[i++];
    }
    return strOut;
}

} // namespace lanwick
