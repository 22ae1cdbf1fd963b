// Entity escaping and decoding for the machine file texts.
#include "registry/XmlText.h"

#include <algorithm>
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

std::string DecodeEntities(std::string_view text, std::size_t maxChars) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities{
        {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}}};
    std::string strOut;
    // Only the part that can hold the result is looked at: each entity gives one character, so without '&' among
    // the first maxChars characters the result is just those.
    const std::string_view head = text.substr(0, maxChars);
    if (head.find('&') == std::string_view::npos) {
        strOut = head;
        return strOut;
    }
    strOut.reserve(std::min(text.size(), maxChars));
    for (std::size_t i = 0; i < text.size() && strOut.size() < maxChars;) {
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
