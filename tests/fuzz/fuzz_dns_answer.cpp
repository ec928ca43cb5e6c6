// libFuzzer target for the DNS answer parser of the MX resolver: any datagram
// either parses into records or raises EResolverError; nothing is read past
// its end.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mail/MailErrors.h"
#include "mail/msmx.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The resolver reads at most this much of a datagram.
    if (size > static_cast<std::size_t>(TmsMXResolver::kMaxAnswer)) return 0;
    const std::string answer(reinterpret_cast<const char*>(data), size);
    TMXList list;
    std::size_t logged = 0;
    try {
        TmsMXResolver::ParseAnswer(answer, list, [&](const std::string&) { ++logged; });
    } catch (const EResolverError&) {
        return 0;
    }
    // The answer's records, then sorted as the resolver sorts them.
    list.Sort();
    for (int i = 0; i < list.Count(); ++i) {
        const TMXRec& rec = list.Items(i);
        if (i > 0) check(list.Items(i - 1).Preference <= rec.Preference, "sorted by preference");
        check(rec.Exchange.empty() || rec.Exchange.back() == '.', "every label ends in a dot");
    }
    return 0;
}
