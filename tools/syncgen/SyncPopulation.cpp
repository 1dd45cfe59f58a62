#include "tools/syncgen/SyncPopulation.h"

#include <algorithm>
#include <random>

namespace syncgen {

namespace {

// The fields a change of one side touches.
constexpr int32_t kChangeable[6] = {CF_TITLE, CF_WORK_PHONE, CF_HOME_PHONE, CF_MOBILE_PHONE, CF_WORK_CITY, CF_NOTE};

class Draw {
public:
    explicit Draw(uint32_t nSeed) : m_rng(nSeed) { }

    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(m_rng() % n); }
    std::mt19937& Rng() { return m_rng; }

    std::string Value(int32_t nId)
    {
        const std::string serial = std::to_string(++m_nSerial);
        switch (nId) {
        case CF_COMPANY:
            return Below(3) == 0 ? "Consolidated Regional Services Number " + serial : "Firm " + serial;
        case CF_NOTE:
            return "note " + serial;
        case CF_WORK_CITY:
        case CF_TITLE:
            return "t" + serial;
        default:
            return "555-" + serial;
        }
    }

    // Namesakes: a few names shared by several contacts, some without
    // e-mail; they are drawn only when bNamesakes.
    Contact Person(bool bNamesakes)
    {
        const int nIndex = ++m_nIndex;
        Contact contact;
        const uint32_t nKind = bNamesakes ? Below(10) : 4 + Below(6);
        if (nKind == 0) {
            contact[CF_COMPANY] = "Company Only " + std::to_string(nIndex);
        } else {
            contact[CF_FIRST_NAME] = nKind < 4 ? "Pat" : "First" + std::to_string(nIndex);
            contact[CF_LAST_NAME] = nKind < 4 ? "Namesake" : "Last" + std::to_string(nIndex);
            if (nKind >= 3)
                contact[CF_EMAIL] = "p" + std::to_string(nIndex) + "@example.org";
        }
        for (int32_t nId : kChangeable)
            if (Below(2) == 0)
                contact[nId] = Value(nId);
        if (contact.count(CF_COMPANY) == 0 && Below(2) == 0)
            contact[CF_COMPANY] = Value(CF_COMPANY);
        return contact;
    }

    // A change of one side: another value, a new value, or a value taken away.
    void Change(Contact& contact)
    {
        const int32_t nId = kChangeable[Below(6)];
        if (contact.count(nId) != 0 && Below(4) == 0)
            contact.erase(nId);
        else
            contact[nId] = Value(nId);
    }

private:
    std::mt19937 m_rng;
    int m_nSerial = 0;
    int m_nIndex = 0;
};

}  // namespace

Population MakePopulation(uint32_t nSeed, int nShared, int nAlone)
{
    Draw draw(nSeed);
    Population population;
    for (int i = 0; i < nShared; ++i) {
        const Contact contact = draw.Person(true);
        Contact onPalm = contact;
        Contact onWab = contact;
        // Namesakes without e-mail are told apart by their values alone, so
        // they are never changed.
        const bool bNamesake =
            contact.count(CF_EMAIL) == 0 && contact.count(CF_FIRST_NAME) != 0 && contact.at(CF_FIRST_NAME) == "Pat";
        const uint32_t nChange = bNamesake ? 0 : draw.Below(4);  // none, Palm, book, both
        if (nChange == 1 || nChange == 3)
            draw.Change(onPalm);
        if (nChange == 2 || nChange == 3)
            draw.Change(onWab);
        // A fax the book keeps as its home fax.
        if (draw.Below(5) == 0) {
            onPalm[CF_WORK_FAX] = "555-7" + std::to_string(i);
            onWab[CF_HOME_FAX] = onPalm[CF_WORK_FAX];
        }
        population.shared.emplace_back(std::move(onPalm), std::move(onWab));
    }
    // Both sides list the shared contacts, each in its own order.
    for (const auto& [onPalm, onWab] : population.shared) {
        population.palm.push_back(onPalm);
        population.wab.push_back(onWab);
    }
    std::shuffle(population.wab.begin(), population.wab.end(), draw.Rng());
    for (int i = 0; i < nAlone; ++i)
        population.palm.push_back(draw.Person(false));
    for (int i = 0; i < nAlone; ++i)
        population.wab.push_back(draw.Person(false));
    return population;
}

CommAddrRecord Neutral(const Contact& contact)
{
    CommAddrRecord record;
    ZeroCommRecord(&record);
    for (const auto& [nId, text] : contact)
        SetTextField(&record, nId, text.c_str());
    return record;
}

}  // namespace syncgen
