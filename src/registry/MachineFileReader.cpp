// Reads the machine file by plain substring search, as files written by every earlier version expect, with the
// extra care that a damaged machine element is skipped instead of derailing the rest of the file.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/MachineList.h"
#include "registry/XmlText.h"

namespace lanwick {

namespace {

constexpr std::size_t npos = std::string::npos;

// All places of one delimiter, found once: every later search is a binary search (or a short step on from the
// previous answer, as the reader mostly searches forward), so no damaged or hostile file makes the reader quadratic.
// Places are stored in 32 bits wherever the text allows it (every file the program reads from disk): the indexes
// of a file hold about one place per 8 bytes of text.
template <typename Position>
class CDelimiter {
public:
    explicit CDelimiter(std::size_t length) : m_length(length) {}

    // The places are counted before they are added, so that each index is allocated once at its size.
    void Count() { ++m_nCounted; }
    void Reserve() { m_positions.reserve(m_nCounted); }
    void Add(std::size_t pos) { m_positions.push_back(static_cast<Position>(pos)); }

    // First place at or after pos, or npos.
    std::size_t Find(std::size_t pos) {
        if (pos == npos)
            return npos;
        // The answer lies on the side of the previous one that pos is on.
        auto first = m_positions.begin();
        auto last = m_positions.end();
        const auto hint = first + static_cast<std::ptrdiff_t>(m_hint);
        if (m_hint > 0 && *(hint - 1) >= pos)
            last = hint;
        else
            first = hint;
        auto it = first;
        for (int step = 0; step < 4 && it != last && *it < pos; ++step)
            ++it;
        if (it != last && *it < pos)
            it = std::lower_bound(it, last, pos);
        m_hint = static_cast<std::size_t>(it - m_positions.begin());
        return it == m_positions.end() ? npos : *it;
    }

    // How many places lie at or after pos.
    std::size_t CountFrom(std::size_t pos) const {
        return static_cast<std::size_t>(m_positions.end() -
                                        std::lower_bound(m_positions.begin(), m_positions.end(), pos));
    }

    // The place just past the delimiter found at or after pos (npos stays npos).
    std::size_t After(std::size_t pos) {
        const std::size_t at = Find(pos);
        return at == npos ? npos : at + m_length;
    }

private:
    std::size_t m_length;
    std::size_t m_hint = 0;
    std::size_t m_nCounted = 0;
    std::vector<Position> m_positions;
};

// atoi: leading white space, a sign, digits; out-of-range values end at the int limits.
int Atoi(const std::string& strText, std::size_t begin, std::size_t end) {
    end = std::min(end, strText.size());
    std::size_t i = begin;
    while (i < end && (strText[i] == ' ' || (strText[i] >= '\t' && strText[i] <= '\r')))
        ++i;
    bool bNegative = false;
    if (i < end && (strText[i] == '+' || strText[i] == '-'))
        bNegative = strText[i++] == '-';
    long long value = 0;
    for (; i < end && strText[i] >= '0' && strText[i] <= '9'; ++i) {
        value = value * 10 + (strText[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (bNegative)
        return static_cast<int>(-value);
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}

std::string_view Mid(const std::string& strText, std::size_t begin, std::size_t end) {
    end = std::min(end, strText.size());
    return begin < end ? std::string_view(strText).substr(begin, end - begin) : std::string_view();
}

// "Yes" ignoring case, as the flags have always been read; "1" or "true" are not yes.
bool IsYes(std::string_view value) {
    return value.size() == 3 && (value[0] | 0x20) == 'y' && (value[1] | 0x20) == 'e' && (value[2] | 0x20) == 's';
}

struct MachineText {
    IpAddress ip{};
    std::string strMac, strName;
    int bNotify = 0, bNotifyOffline = 0, bExcluded = 0;
    std::size_t excludedStart = npos; // where the Excluded value starts
    std::size_t excludedEnd = npos;   // the "</" that ends it
};

template <typename Position>
class CFileReader {
public:
    explicit CFileReader(const std::string& strText);

    void Load(CMachineList& list, LoadReport& report);

private:
    using Delimiter = CDelimiter<Position>;

    // Reads up to the count's machines; returns where the search for the next element would have gone on.
    std::size_t ReadMachines(CMachineList& list, LoadReport& report);
    bool ReadMachine(std::size_t pos, std::size_t limit, MachineText& machine);

    // Calls visit(delimiter, place) for every place of every delimiter, each delimiter's in increasing order.
    template <typename Visit>
    void ForEachPlace(Visit visit);

    const std::string& m_text;
    Delimiter m_count, m_group, m_groupEnd, m_mac, m_quoteClose, m_ip, m_dot, m_lt, m_name, m_close, m_notify,
        m_offline, m_excluded;
};

template <typename Position>
CFileReader<Position>::CFileReader(const std::string& strText)
    : m_text(strText), m_count(12), m_group(12), m_groupEnd(8), m_mac(13), m_quoteClose(2), m_ip(11), m_dot(1), m_lt(1),
      m_name(6), m_close(2), m_notify(8), m_offline(15), m_excluded(10) {
    // Twice over the text, counting and then storing: grown by doubling, the indexes would take up to twice their
    // size, and old and new at once while they move.
    ForEachPlace([](Delimiter& delimiter, std::size_t) { delimiter.Count(); });
    for (Delimiter* pDelimiter : {&m_count, &m_group, &m_groupEnd, &m_mac, &m_quoteClose, &m_ip, &m_dot, &m_lt, &m_name,
                                  &m_close, &m_notify, &m_offline, &m_excluded})
        pDelimiter->Reserve();
    ForEachPlace([](Delimiter& delimiter, std::size_t at) { delimiter.Add(at); });
}

// One pass over the '<' of the text sorts every tag the reader looks for into its delimiter; the dots and the
// '">' that end attribute values have passes of their own.
template <typename Position>
template <typename Visit>
void CFileReader<Position>::ForEachPlace(Visit visit) {
    const std::pair<std::string_view, Delimiter*> tags[] = {
        {"<Count mach=", &m_count}, {"<Group name=", &m_group},      {"</Group>", &m_groupEnd},
        {"<MAC Address=", &m_mac},  {"<IPAddress>", &m_ip},          {"<Name>", &m_name},
        {"<Notify>", &m_notify},    {"<NotifyOffline>", &m_offline}, {"<Excluded>", &m_excluded}};
    const std::string_view text(m_text);
    for (std::size_t at = text.find('<'); at != npos; at = text.find('<', at + 1)) {
        visit(m_lt, at);
        const std::string_view rest = text.substr(at);
        if (rest.size() > 1 && rest[1] == '/')
            visit(m_close, at);
        if (rest.size() < 6)
            continue;
        for (const auto& [tag, pDelimiter] : tags) {
            if (tag[1] == rest[1] && tag[2] == rest[2] && rest.starts_with(tag))
                visit(*pDelimiter, at);
        }
    }
    for (std::size_t at = text.find('.'); at != npos; at = text.find('.', at + 1))
        visit(m_dot, at);
    for (std::size_t at = text.find('"'); at != npos; at = text.find('"', at + 1)) {
        if (at + 1 < text.size() && text[at + 1] == '>')
            visit(m_quoteClose, at);
    }
}

// Reads the inner tags of the machine element whose MAC value starts at pos. False when one of them is missing
// before limit, the start of the next machine element: such an element is skipped as a whole.
template <typename Position>
bool CFileReader<Position>::ReadMachine(std::size_t pos, std::size_t limit, MachineText& machine) {
    // Twelve characters from the value's start, whatever follows: a shorter text takes the bytes after it, as
    // files have always read. Counted after decoding, so an escaped MAC text reads back as written.
    machine.strMac = DecodeEntities(std::string_view(m_text).substr(std::min(pos, m_text.size())), 12);

    const std::size_t first = m_ip.After(pos);
    const std::size_t dot1 = m_dot.Find(first);
    const std::size_t dot2 = dot1 == npos ? npos : m_dot.Find(dot1 + 1);
    const std::size_t fourth = dot2 == npos ? npos : m_dot.After(dot2 + 1);
    const std::size_t fourthEnd = m_lt.Find(fourth);
    const std::size_t nameStart = m_name.After(fourth);
    const std::size_t nameEnd = m_close.Find(nameStart);
    const std::size_t notifyStart = m_notify.After(nameStart);
    const std::size_t notifyEnd = m_close.Find(notifyStart);
    const std::size_t offlineStart = m_offline.After(notifyStart);
    const std::size_t offlineEnd = m_close.Find(offlineStart);
    machine.excludedStart = m_excluded.After(offlineStart);
    machine.excludedEnd = m_close.Find(machine.excludedStart);
    // Every search runs forward from the one before, so the last one found before limit means all were.
    if (machine.excludedEnd == npos || machine.excludedEnd >= limit || fourthEnd == npos)
        return false;

    machine.ip = {static_cast<std::uint8_t>(Atoi(m_text, first, dot1)),
                  static_cast<std::uint8_t>(Atoi(m_text, dot1 + 1, dot2)),
                  static_cast<std::uint8_t>(Atoi(m_text, dot2 + 1, fourth - 1)),
                  static_cast<std::uint8_t>(Atoi(m_text, fourth, fourthEnd))};
    machine.strName = DecodeEntities(Mid(m_text, nameStart, nameEnd));
    machine.bNotify = IsYes(Mid(m_text, notifyStart, notifyEnd)) ? 1 : 0;
    machine.bNotifyOffline = IsYes(Mid(m_text, offlineStart, offlineEnd)) ? 1 : 0;
    machine.bExcluded = IsYes(Mid(m_text, machine.excludedStart, machine.excludedEnd)) ? 1 : 0;
    return true;
}

} // namespace

// The writer's frame around the groups: an optional XML declaration, the Machines element opening the text with its
// Count element and number first, and closing it.
bool IsMachineFileText(const std::string& strText) {
    std::string_view text(strText);
    const auto skipSpace = [&text] {
        while (!text.empty() && (text.front() == ' ' || (text.front() >= '\t' && text.front() <= '\r')))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || (text.back() >= '\t' && text.back() <= '\r')))
            text.remove_suffix(1);
    };
    const auto take = [&text](std::string_view prefix) {
        if (!text.starts_with(prefix))
            return false;
        text.remove_prefix(prefix.size());
        return true;
    };
    if (text.empty())
        return true;
    take("\xEF\xBB\xBF");
    skipSpace();
    if (text.starts_with("<?xml")) {
        const std::size_t end = text.find("?>");
        if (end == npos)
            return false;
        text.remove_prefix(end + 2);
        skipSpace();
    }
    if (!take("<Machines>") || !text.ends_with("</Machines>"))
        return false;
    text.remove_suffix(11);
    skipSpace();
    if (!take("<Count mach=\"") || text.empty() || text.front() < '0' || text.front() > '9')
        return false;
    while (!text.empty() && text.front() >= '0' && text.front() <= '9')
        text.remove_prefix(1);
    return take("\">");
}

namespace {

template <typename Position>
void CFileReader<Position>::Load(CMachineList& list, LoadReport& report) {
    report = {};
    report.nBeyondCount = m_mac.CountFrom(ReadMachines(list, report));
}

template <typename Position>
std::size_t CFileReader<Position>::ReadMachines(CMachineList& list, LoadReport& report) {
    const std::size_t countTag = m_count.Find(0);
    if (countTag == npos)
        return 0;
    std::size_t pos = countTag + 13;
    const int count = Atoi(m_text, pos, m_text.find('"', pos));

    bool bGroupNeeded = true;
    std::string strGroup;
    for (int pass = 0; pass < count; ++pass) {
        if (bGroupNeeded) {
            const std::size_t groupTag = m_group.Find(pos);
            const std::size_t groupEnd = groupTag == npos ? npos : m_quoteClose.Find(groupTag + 13);
            if (groupEnd == npos)
                return pos;
            strGroup = DecodeEntities(Mid(m_text, groupTag + 13, groupEnd));
            pos = groupTag + 13;
            bGroupNeeded = false;
        }
        const std::size_t macTag = m_mac.Find(pos);
        if (macTag == npos)
            return pos;
        pos = macTag + 14;
        const std::size_t nextMac = m_mac.Find(macTag + 1);
        const std::size_t limit = nextMac == npos ? m_text.size() : nextMac;

        MachineText machine;
        if (!ReadMachine(pos, limit, machine)) {
            ++report.nSkipped;
            // A damaged element still closes its group when a "</Group>" comes before the next machine.
            const std::size_t groupClose = m_groupEnd.Find(pos);
            bGroupNeeded = groupClose == npos || groupClose < limit;
            continue;
        }
        list.AddMachine(machine.ip, machine.strMac, strGroup, machine.strName, machine.bExcluded, machine.bNotify,
                        machine.bNotifyOffline);
        // Deliberate: a "</Group>" within 30 characters of the end of the Excluded value closes the group, which
        // is what the writer's layout gives (26 characters); a following machine of the same group lies between.
        const std::size_t groupClose = m_groupEnd.Find(machine.excludedEnd);
        bGroupNeeded = groupClose == npos || groupClose - machine.excludedEnd <= 30;
        pos = machine.excludedStart;
    }
    return pos;
}

} // namespace

void CMachineList::LoadText(const std::string& strText) {
    if (strText.size() <= std::numeric_limits<std::uint32_t>::max())
        CFileReader<std::uint32_t>(strText).Load(*this, m_lastLoad);
    else
        CFileReader<std::size_t>(strText).Load(*this, m_lastLoad);
}

} // namespace lanwick
