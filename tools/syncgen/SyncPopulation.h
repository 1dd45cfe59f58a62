// Two books built from one random population, for checking Synchronize:
// the test of convergence and vw-syncgen draw the same kind of books.
//
// Shared contacts are on both sides, each changed on neither, one or both
// sides (another value, a new value or a value taken away); alone contacts
// are on one side only. Among them: namesakes without e-mail (shared only,
// and never changed, so they can be told apart by their values),
// company-only contacts, companies longer than the address book keeps (31
// characters) and faxes that the address book holds as its home fax.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/misc/CommAddrRecord.h"

namespace syncgen {

// A contact as its text fields by catalog id.
using Contact = std::map<int32_t, std::string>;

struct Population {
    // Each shared contact as the Palm side and as the address book hold it.
    std::vector<std::pair<Contact, Contact>> shared;
    // The Palm side: the shared contacts in their order, then its own.
    std::vector<Contact> palm;
    // The address book: the shared contacts in another order, then its own.
    std::vector<Contact> wab;
};

// The population drawn from nSeed: nShared contacts on both sides and
// nAlone on each side only. The same seed gives the same population.
Population MakePopulation(uint32_t nSeed, int nShared, int nAlone);

// The contact as a neutral record.
CommAddrRecord Neutral(const Contact& contact);

}  // namespace syncgen
