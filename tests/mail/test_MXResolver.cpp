#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimer>
#include <random>

#include "mail/MailErrors.h"
#include "mail/msmx.h"
#include "tests/mail/MailTestSupport.h"
#include "tests/support/DnsmasqServer.h"
#include "tests/support/Peers.h"

namespace {

using mailtest::DnsAnswer;
using mailtest::kFastTick;

std::vector<std::pair<int, std::string>> records(const TMXList& list) {
    std::vector<std::pair<int, std::string>> out;
    for (int i = 0; i < list.Count(); ++i)
        out.emplace_back(list.Items(i).Preference, list.Items(i).Exchange);
    return out;
}

std::string parseError(const std::string& answer) {
    TMXList list;
    try {
        TmsMXResolver::ParseAnswer(answer, list);
    } catch (const EResolverError& e) {
        return e.what();
    }
    return "parsed";
}

TEST(MXQuery, QueryBytesFollowTheHeaderAndLabelLayout) {
    const std::string q = TmsMXResolver::BuildQuery("example.com");
    const std::string expected =
        std::string("\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00", 12) +
        "\x07"
        "example"
        "\x03"
        "com" +
        std::string("\x00\x00\x0F\x00\x01", 5);
    EXPECT_EQ(q, expected);
}

TEST(MXQuery, EmptyLabelsBecomeZeroBytes) {
    const std::string q = TmsMXResolver::BuildQuery("a..b.");
    EXPECT_EQ(q.substr(12), std::string("\x01"
                                        "a"
                                        "\x00"
                                        "\x01"
                                        "b"
                                        "\x00\x00"
                                        "\x00\x0F\x00\x01",
                                        11));
}

TEST(MXAnswer, CnameBeforeMxYieldsOnlyTheMxRecords) {
    DnsAnswer a;
    a.records = {
        DnsAnswer::record(DnsAnswer::pointer(12), 5, DnsAnswer::encodeName("alias.example.test")),
        DnsAnswer::mx(10, DnsAnswer::encodeName("mx1.example.test")),
        DnsAnswer::mx(5, DnsAnswer::pointer(12))};
    TMXList list;
    TmsMXResolver::ParseAnswer(a.bytes(), list);
    EXPECT_EQ(records(list), (std::vector<std::pair<int, std::string>>{{10, "mx1.example.test."},
                                                                       {5, "example.test."}}));
}

TEST(MXAnswer, PointerAboveOffset255IsFollowed) {
    DnsAnswer a;
    // A large record first, so that the name pointed at lies beyond byte 255.
    a.records = {DnsAnswer::record(DnsAnswer::pointer(12), 16, std::string(300, 't'))};
    const std::size_t target = a.bytes().size() + 2 + 10 + 2;  // owner, fixed fields, preference
    a.records.push_back(DnsAnswer::mx(10, DnsAnswer::encodeName("far.example.test")));
    a.records.push_back(DnsAnswer::mx(
        20, std::string("\x04near", 5) + DnsAnswer::pointer(static_cast<std::uint16_t>(target))));
    ASSERT_GT(target, 255u);
    ASSERT_GE(static_cast<unsigned char>(DnsAnswer::pointer(static_cast<std::uint16_t>(target))[0]),
              193);
    TMXList list;
    TmsMXResolver::ParseAnswer(a.bytes(), list);
    EXPECT_EQ(records(list), (std::vector<std::pair<int, std::string>>{
                                 {10, "far.example.test."}, {20, "near.far.example.test."}}));
}

struct ErrorCase {
    const char* name;
    std::function<std::string()> answer;
    const char* error;
};

class MXAnswerErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(MXAnswerErrors, AreReportedAsResolverErrors) {
    EXPECT_EQ(parseError(GetParam().answer()), GetParam().error);
}

const char* const kMalformed = "The answer of the name server is malformed";

INSTANTIATE_TEST_SUITE_P(
    MxCases, MXAnswerErrors,
    ::testing::Values(
        ErrorCase{"WrongId",
                  [] {
                      DnsAnswer a;
                      a.id = 0x4321;
                      return a.bytes();
                  },
                  "IDs in the query and response are different"},
        ErrorCase{"NotAResponse",
                  [] {
                      DnsAnswer a;
                      a.flags = 0x0100;
                      return a.bytes();
                  },
                  "This is not a response"},
        ErrorCase{"Rcode1",
                  [] {
                      DnsAnswer a;
                      a.flags = 0x8181;
                      return a.bytes();
                  },
                  "Domain server was unable to interpret a query"},
        ErrorCase{"Rcode2",
                  [] {
                      DnsAnswer a;
                      a.flags = 0x8182;
                      return a.bytes();
                  },
                  "Domain server failure"},
        ErrorCase{"Rcode3",
                  [] {
                      DnsAnswer a;
                      a.flags = 0x8183;
                      return a.bytes();
                  },
                  "Domain name does not exist"},
        ErrorCase{"Rcode4",
                  [] {
                      DnsAnswer a;
                      a.flags = 0x8184;
                      return a.bytes();
                  },
                  "Not implemented"},
        ErrorCase{"Rcode5",
                  [] {
                      DnsAnswer a;
                      a.flags = 0x8185;
                      return a.bytes();
                  },
                  "Domain server refused to return the information"},
        ErrorCase{"Rcode9",
                  [] {
                      DnsAnswer a;
                      a.flags = 0x8189;
                      return a.bytes();
                  },
                  "Domain server Error #9"},
        ErrorCase{"PointerLoop",
                  [] {
                      DnsAnswer a;
                      a.question =
                          DnsAnswer::pointer(12) + DnsAnswer::word(15) + DnsAnswer::word(1);
                      return a.bytes();
                  },
                  kMalformed},
        ErrorCase{
            "TwoPointerLoop",
            [] {
                DnsAnswer a;
                a.records = {DnsAnswer::mx(10, DnsAnswer::pointer(0))};
                std::string bytes = a.bytes();
                // The exchange points at the record's owner, which points back.
                const std::size_t exchange = bytes.size() - 2;
                const std::size_t owner = exchange - 2 - 10 - 2;
                bytes.replace(owner, 2, DnsAnswer::pointer(static_cast<std::uint16_t>(exchange)));
                bytes.replace(exchange, 2, DnsAnswer::pointer(static_cast<std::uint16_t>(owner)));
                return bytes;
            },
            kMalformed},
        ErrorCase{"PointerPastTheEnd",
                  [] {
                      DnsAnswer a;
                      a.records = {DnsAnswer::mx(10, DnsAnswer::pointer(0x3FFF))};
                      return a.bytes();
                  },
                  kMalformed},
        ErrorCase{"LabelPastTheEnd",
                  [] {
                      DnsAnswer a;
                      a.records = {DnsAnswer::mx(10, std::string("\x3Fshort", 6))};
                      return a.bytes();
                  },
                  kMalformed},
        ErrorCase{"MoreAnswersThanPresent",
                  [] {
                      DnsAnswer a;
                      a.records = {DnsAnswer::mx(10, DnsAnswer::encodeName("mx.example.test"))};
                      a.ancountOverride = 3;
                      return a.bytes();
                  },
                  kMalformed},
        ErrorCase{"NameLongerThan255",
                  [] {
                      DnsAnswer a;
                      std::string name;
                      for (int i = 0; i < 5; ++i)
                          name += std::string(1, '\x3F') + std::string(63, 'l');
                      a.records = {DnsAnswer::mx(10, name + std::string(1, '\0'))};
                      return a.bytes();
                  },
                  kMalformed},
        ErrorCase{"ShorterThanAHeader", [] { return std::string("\x12\x34\x81", 3); }, kMalformed},
        ErrorCase{"SkippedRecordPastTheEnd",
                  [] {
                      DnsAnswer a;
                      std::string r = DnsAnswer::record(DnsAnswer::pointer(12), 16, "abc");
                      r[r.size() - 5] = '\x7F';  // RDLENGTH high byte
                      a.records = {r};
                      return a.bytes();
                  },
                  kMalformed}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

TEST(MXAnswer, TruncatedAtEveryLengthIsAnErrorOrAShorterResultNeverACrash) {
    DnsAnswer a;
    a.records = {DnsAnswer::mx(10, DnsAnswer::encodeName("mx1.example.test")),
                 DnsAnswer::mx(20, std::string("\x03mx2", 4) + DnsAnswer::pointer(12))};
    const std::string full = a.bytes();
    for (std::size_t n = 0; n < full.size(); ++n) {
        EXPECT_EQ(parseError(full.substr(0, n)), kMalformed) << "cut at " << n;
    }
    EXPECT_EQ(parseError(full), "parsed");
}

TEST(MXAnswer, TruncationFlagIsOnlyLogged) {
    DnsAnswer a;
    a.flags = 0x8780;  // QR, AA, TC, RD, RA
    a.records = {DnsAnswer::mx(10, DnsAnswer::encodeName("mx.example.test"))};
    TMXList list;
    std::vector<std::string> log;
    TmsMXResolver::ParseAnswer(a.bytes(), list, [&](const std::string& t) { log.push_back(t); });
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"Authoritative Answer", "Response truncated",
                                             "Recursion available"}));
}

TEST(MXAnswer, RandomDamageNeverCrashes) {
    DnsAnswer a;
    a.records = {
        DnsAnswer::record(DnsAnswer::pointer(12), 5, DnsAnswer::encodeName("alias.example.test")),
        DnsAnswer::mx(10, DnsAnswer::encodeName("mx1.example.test")),
        DnsAnswer::mx(20, std::string("\x03mx2", 4) + DnsAnswer::pointer(12))};
    const std::string good = a.bytes();
    std::mt19937 rng(7);
    int errors = 0;
    for (int round = 0; round < 5000; ++round) {
        std::string bad = good;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int f = 0; f < flips; ++f)
            bad[12 + rng() % (bad.size() - 12)] = static_cast<char>(rng() % 256);
        if (rng() % 3 == 0) bad.resize(rng() % bad.size());
        TMXList list;
        try {
            TmsMXResolver::ParseAnswer(bad, list);
        } catch (const EResolverError&) {
            ++errors;
        }
        for (int i = 0; i < list.Count(); ++i) EXPECT_LE(list.Items(i).Exchange.size(), 255u + 64u);
    }
    EXPECT_GT(errors, 0);
}

struct Resolver {
    TmsMXResolver mx;
    std::vector<std::string> events;
    explicit Resolver(std::uint16_t port, int timeOut = 500) {
        mx.DNSAddress = "127.0.0.1";
        mx.Port = port;
        mx.Domain = "example.test";
        mx.setTimeOut(timeOut);
        mx.Counter().setTickInterval(kFastTick);
        mx.OnSendingQuery = [this] { events.push_back("sending"); };
        mx.OnWaitingForResponse = [this] { events.push_back("waiting"); };
        mx.OnClosingConnection = [this] { events.push_back("closing"); };
    }
    template <typename E>
    std::string failure() {
        try {
            mx.Resolve();
        } catch (const E& e) {
            return e.what();
        } catch (const std::exception& e) {
            return std::string("wrong error: ") + e.what();
        }
        return "no error";
    }
};

TEST(MXResolverRealServer, PreferencesTwentyTenTenComeBackTenTenByNameThenTwenty) {
    testsupport::DnsmasqServer dns;
    dns.addMx("example.test", "mx-c.example.test", 20);
    dns.addMx("example.test", "mx-b.example.test", 10);
    dns.addMx("example.test", "mx-a.example.test", 10);
    ASSERT_TRUE(dns.start()) << dns.error();
    Resolver r(dns.port());
    r.mx.Counter().setTickInterval(1000);
    r.mx.Resolve();
    auto got = records(r.mx.MXList);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].first, 10);
    EXPECT_EQ(got[1].first, 10);
    EXPECT_EQ(got[2], (std::pair<int, std::string>{20, "mx-c.example.test."}));
    EXPECT_EQ(r.events, (std::vector<std::string>{"sending", "waiting", "closing"}));
}

TEST(MXResolverScripted, AnswerIsReadAndTheQueryWasWellFormed) {
    mailtest::ScriptedDns server;
    server.answerFor = [](const std::string&) {
        DnsAnswer a;
        a.records = {DnsAnswer::mx(20, DnsAnswer::encodeName("two.example.test")),
                     DnsAnswer::mx(10, DnsAnswer::encodeName("one.example.test"))};
        return a.bytes();
    };
    QTemporaryDir dir;
    const std::string logFile = dir.path().toStdString() + "/mx.log";
    {
        Resolver r(server.port());
        r.mx.LogFileName = logFile;
        r.mx.Resolve();
        EXPECT_EQ(records(r.mx.MXList), (std::vector<std::pair<int, std::string>>{
                                            {10, "one.example.test."}, {20, "two.example.test."}}));
        ASSERT_EQ(server.queries.size(), 1u);
        EXPECT_EQ(server.queries[0], TmsMXResolver::BuildQuery("example.test"));
    }
    EXPECT_EQ(
        testsupport::readFile(logFile),
        "Opening connection\r\nConstructing query\r\nSending query\r\nRecursion available\r\n");
}

TEST(MXResolverScripted, ErrorAnswersAreRaisedAndTheListKeepsWhatWasParsed) {
    mailtest::ScriptedDns server;
    server.answerFor = [](const std::string&) {
        DnsAnswer a;
        a.records = {DnsAnswer::mx(10, DnsAnswer::encodeName("one.example.test")),
                     DnsAnswer::mx(20, DnsAnswer::pointer(0x3FFF))};
        return a.bytes();
    };
    Resolver r(server.port());
    EXPECT_EQ(r.failure<EResolverError>(), kMalformed);
    EXPECT_EQ(r.mx.MXList.Count(), 1);
    EXPECT_EQ(r.events.back(), "closing");
}

TEST(MXResolverScripted, Rcode3IsDomainNameDoesNotExist) {
    mailtest::ScriptedDns server;
    server.answerFor = [](const std::string&) {
        DnsAnswer a;
        a.flags = 0x8183;
        return a.bytes();
    };
    Resolver r(server.port());
    EXPECT_EQ(r.failure<EResolverError>(), "Domain name does not exist");
}

TEST(MXResolverScripted, SilentServerTimesOut) {
    mailtest::ScriptedDns server;
    Resolver r(server.port(), 10);
    EXPECT_EQ(r.failure<ETimedOutError>(), "Operation timed out");
    EXPECT_EQ(server.queries.size(), 1u);
    EXPECT_EQ(r.events, (std::vector<std::string>{"sending", "waiting", "closing"}));
}

TEST(MXResolverScripted, NobodyListeningEndsByTimeOut) {
    Resolver r(testsupport::freeUdpPort(), 10);
    EXPECT_EQ(r.failure<ETimedOutError>(), "Operation timed out");
}

TEST(MXResolverScripted, CancelEndsTheWait) {
    mailtest::ScriptedDns server;
    Resolver r(server.port());
    r.mx.setTimeOut(1000);
    r.mx.OnWaitingForResponse = [&] { QTimer::singleShot(0, [&] { r.mx.Cancel(); }); };
    EXPECT_EQ(r.failure<ECanceledError>(), "Operation has been canceled");
}

TEST(MXResolverScripted, ACandidateThatIsNotADottedAddressFailsAtOnce) {
    Resolver r(53);
    r.mx.DNSAddress = "ns.example.test";
    EXPECT_EQ(r.failure<ESocketError>(), "[10039] Destination address required");
    r.mx.DNSAddress = "";
    EXPECT_EQ(r.failure<ESocketError>(), "[10039] Destination address required");
}

TEST(MXResolverScripted, AddressFollowedByLineBreaksStillServes) {
    mailtest::ScriptedDns server;
    server.answerFor = [](const std::string&) {
        DnsAnswer a;
        a.records = {DnsAnswer::mx(10, DnsAnswer::encodeName("one.example.test"))};
        return a.bytes();
    };
    Resolver r(server.port());
    r.mx.DNSAddress = "127.0.0.1\r\n\r\n";
    r.mx.Resolve();
    EXPECT_EQ(r.mx.MXList.Count(), 1);
}

TEST(MXResolverScripted, OnlyTheFirst1024BytesAreRead) {
    mailtest::ScriptedDns server;
    server.answerFor = [](const std::string&) {
        DnsAnswer a;
        a.records = {DnsAnswer::record(DnsAnswer::pointer(12), 16, std::string(1100, 't')),
                     DnsAnswer::mx(10, DnsAnswer::encodeName("late.example.test"))};
        return a.bytes();
    };
    Resolver r(server.port());
    EXPECT_EQ(r.failure<EResolverError>(), kMalformed);
}

}  // namespace
