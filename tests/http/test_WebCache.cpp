#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "http/CacheIndexFile.h"
#include "http/Web.h"
#include "http/Webcache.h"
#include "platform/EventPump.h"
#include "tests/http/WebTestSupport.h"
#include "tests/support/Peers.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/RowName.h"

using http::CacheIndexFile;
using http::TDocumentClass;
using http::TWeb;
using http::TWebCache;
using testsupport::ScriptedServer;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

// Reads the whole document that a retrieval left for the request hand-out.
std::string readHandedOut(TWeb& web) {
    std::string out;
    bool ended = false;
    std::vector<char> block(4096);
    int handed = 0;
    web.OnContext1 = [&](TWeb*, int, int, int) {
        out += std::string(block.data());
        ++handed;
    };
    web.OnDisconnect = [&](TWeb*) { ended = true; };
    for (int i = 0; i < 100 && !ended; ++i) {
        const int before = handed;
        web.RequestData(block.data(), static_cast<int>(block.size()) - 1, 1);
        if (!platform::waitUntilFor([&] { return ended || handed > before; }, webtest::kWatchdogMs))
            break;
    }
    return out;
}

void setModified(const std::string& path, const QDateTime& when) {
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
}

}  // namespace

// ---------------------------------------------------------------- index file format

struct IntegerCase {
    std::int64_t value;
    std::string encoded;
};

void PrintTo(const IntegerCase& c, std::ostream* os) { *os << c.value; }

class StreamedInteger : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(StreamedInteger, TakesTheSmallestFormThatHoldsIt) {
    std::string out;
    CacheIndexFile::appendInteger(out, GetParam().value);
    EXPECT_EQ(out, GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Values, StreamedInteger,
    ::testing::Values(IntegerCase{0, bytes({2, 0})}, IntegerCase{2, bytes({2, 2})},
                      IntegerCase{127, bytes({2, 0x7F})}, IntegerCase{-128, bytes({2, 0x80})},
                      IntegerCase{128, bytes({3, 0x80, 0x00})},
                      IntegerCase{-129, bytes({3, 0x7F, 0xFF})},
                      IntegerCase{32767, bytes({3, 0xFF, 0x7F})},
                      IntegerCase{32768, bytes({4, 0x00, 0x80, 0x00, 0x00})},
                      IntegerCase{1048576, bytes({4, 0x00, 0x00, 0x10, 0x00})},
                      IntegerCase{5000000000LL,
                                  bytes({19, 0x00, 0xF2, 0x05, 0x2A, 0x01, 0x00, 0x00, 0x00})}),
    [](const auto& info) { return support::RowName(info.index, std::to_string(info.param.value)); });

TEST(CacheIndexFormat, StringsHaveAOneOrFourByteLength) {
    std::string shortOut, longOut;
    CacheIndexFile::appendString(shortOut, "abc");
    EXPECT_EQ(shortOut, bytes({6, 3}) + "abc");
    const std::string s255(255, 'x'), s256(256, 'y');
    std::string exact;
    CacheIndexFile::appendString(exact, s255);
    EXPECT_EQ(exact, bytes({6, 255}) + s255);
    CacheIndexFile::appendString(longOut, s256);
    EXPECT_EQ(longOut, bytes({12, 0x00, 0x01, 0x00, 0x00}) + s256);
}

TEST(CacheIndexFormat, IndexLaysOutSignatureListAndEntryFieldsInOrder) {
    TDocumentClass e;
    e.Date = "D";
    e.FileName = "/c/ZEPH0A1B.CAH";
    e.Size = 300;
    e.State = 0;
    e.URL = "http://h/";
    const std::string expected = bytes({6, 9}) + "Zephyrkit" + bytes({1}) + bytes({6, 1}) + "D" +
                                 bytes({6, 15}) + "/c/ZEPH0A1B.CAH" + bytes({3, 0x2C, 0x01}) +
                                 bytes({2, 0}) + bytes({6, 9}) + "http://h/" + bytes({0});
    EXPECT_EQ(CacheIndexFile::encode({e}), expected);
    EXPECT_EQ(CacheIndexFile::encode({}), bytes({6, 9}) + "Zephyrkit" + bytes({1, 0}));
}

TEST(CacheIndexFormat, DecodeReadsBackWhatWasEncoded) {
    std::vector<TDocumentClass> written(3);
    for (int i = 0; i < 3; ++i) {
        written[i].Date = "Mon, 0" + std::to_string(i) + " Jan 2024 10:00:00 GMT";
        written[i].FileName = "/tmp/ZEPH000" + std::to_string(i) + ".CAH";
        written[i].Size = i == 2 ? 5000000000LL : i * 40000;
        written[i].State = i;
        written[i].URL = "http://h/" + std::string(300 * i, 'u');
    }
    std::vector<TDocumentClass> read;
    ASSERT_EQ(CacheIndexFile::decode(CacheIndexFile::encode(written), read),
              CacheIndexFile::Result::Ok);
    EXPECT_EQ(read, written);
}

TEST(CacheIndexFormat, BrokenInputIsAReadErrorNeverAReadPastTheEnd) {
    TDocumentClass e;
    e.URL = "http://h/";
    const std::string whole = CacheIndexFile::encode({e});
    std::vector<TDocumentClass> read;
    // Every cut of a valid file past its signature fails cleanly.
    for (std::size_t cut = 11; cut < whole.size(); ++cut) {
        EXPECT_THROW(CacheIndexFile::decode(whole.substr(0, cut), read), http::EStreamReadError)
            << cut;
    }
    std::string badType = whole;
    badType[12] = 7;  // the Date is no string
    EXPECT_THROW(CacheIndexFile::decode(badType, read), http::EStreamReadError);
    std::string hugeLength = bytes({6, 9}) + "Zephyrkit" + bytes({1, 12, 0xFF, 0xFF, 0xFF, 0x7F});
    EXPECT_THROW(CacheIndexFile::decode(hugeLength, read), http::EStreamReadError);
    for (const std::string& bad : {std::string(), std::string("Zephyrkit"),
                                   bytes({6, 9}) + "Zephyrkix" + bytes({1, 0}), bytes({6, 200})}) {
        EXPECT_EQ(CacheIndexFile::decode(bad, read), CacheIndexFile::Result::BadSignature);
    }
}

TEST(CacheIndexFormat, RandomlyDamagedIndexNeverReadsOutOfBounds) {
    std::vector<TDocumentClass> entries(3);
    for (int i = 0; i < 3; ++i) {
        entries[i].URL = "http://h/" + std::string(100 * i, 'p');
        entries[i].FileName = "/c/ZEPH000" + std::to_string(i) + ".CAH";
        entries[i].Size = 70000 * i;
    }
    const std::string whole = CacheIndexFile::encode(entries);
    const std::string noise = webtest::randomBytes(4000 * 3, 11);
    std::vector<TDocumentClass> read;
    int ok = 0, broken = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string damaged = whole;
        const auto at = static_cast<unsigned char>(noise[round * 3]) * damaged.size() / 256;
        damaged[at] = noise[round * 3 + 1];
        if (noise[round * 3 + 2] & 1) damaged.resize(at + 1);
        try {
            CacheIndexFile::decode(damaged, read);
            ++ok;
        } catch (const http::EStreamReadError&) {
            ++broken;
        }
    }
    EXPECT_EQ(ok + broken, 4000);
    EXPECT_GT(broken, 0);
}

// ---------------------------------------------------------------- the component

class CacheFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.path().toStdString() + "/";
        cache.setCachePath(dir.path().toStdString());
    }
    std::string path;
    QTemporaryDir dir;
    TWebCache cache;
};

TEST_F(CacheFolder, PropertiesAreClampedAndCompleted) {
    EXPECT_EQ(cache.CachePath(), path);
    EXPECT_EQ(cache.CacheName(), "ZEPH.DB");
    EXPECT_EQ(cache.CacheSize(), 1);
    cache.setCacheSize(0);
    EXPECT_EQ(cache.CacheSize(), 1);
    cache.setCacheSize(50);
    EXPECT_EQ(cache.CacheSize(), 20);
    cache.setCacheSize(7);
    EXPECT_EQ(cache.CacheSize(), 7);
}

TEST_F(CacheFolder, PathAndNameAreFixedOnceInitialized) {
    cache.Initialize();
    try {
        cache.setCacheName("OTHER.DB");
        FAIL() << "no error";
    } catch (const http::EWebCacheError& e) {
        EXPECT_STREQ(e.what(), "Cannot change CachePath after initialization, Code: 0");
    }
    std::vector<int> codes;
    cache.setErrorMode(TWebCache::emHandler);
    cache.OnError = [&](TWebCache*, int code, const std::string& text) {
        codes.push_back(code);
        EXPECT_EQ(text, "Cannot change CachePath after initialization");
    };
    cache.setCachePath("/elsewhere");
    EXPECT_EQ(codes, std::vector<int>{0});
    EXPECT_EQ(cache.CachePath(), path);
}

TEST_F(CacheFolder, CorruptSignatureReports2003) {
    testsupport::writeFile(path + "ZEPH.DB", bytes({6, 9}) + "Zephyrkix" + bytes({1, 0}));
    try {
        cache.Initialize();
        FAIL() << "no error";
    } catch (const http::EWebCacheError& e) {
        EXPECT_EQ(e.code(), 3);
        EXPECT_STREQ(e.what(), "Not a valid Cache file, Code: 3");
    }
    EXPECT_FALSE(cache.Initialized());

    // Through a component's Retrieve, and in handler mode.
    TWeb web;
    web.setErrorMode(http::emHandler);
    web.setCacheControl(&cache);
    web.setURL("http://127.0.0.1:9/a.htm");
    EXPECT_THROW(web.Retrieve(), http::EWebCacheError);
    EXPECT_FALSE(web.Retrieving());
    int code = -1;
    cache.setErrorMode(TWebCache::emHandler);
    cache.OnError = [&](TWebCache*, int c, const std::string&) { code = c; };
    cache.Initialize();
    EXPECT_EQ(code, 3);
}

TEST_F(CacheFolder, BrokenEntryListRaisesAReadError) {
    testsupport::writeFile(path + "ZEPH.DB", bytes({6, 9}) + "Zephyrkit" + bytes({1, 6, 40}) + "x");
    EXPECT_THROW(cache.Initialize(), http::EStreamReadError);
}

TEST_F(CacheFolder, IncompleteAndLostEntriesAreDroppedAndOnlyOwnFilesDeleted) {
    std::vector<TDocumentClass> entries(4);
    const char* names[] = {"ZEPH0001.CAH", "ZEPH0002.CAH", "ZEPH0003.CAH", "ZEPH0004.CAH"};
    for (int i = 0; i < 4; ++i) {
        entries[i].URL = "http://h/" + std::to_string(i);
        entries[i].FileName = path + names[i];
        entries[i].Size = 3;
        entries[i].Date = "d";
    }
    entries[0].State = 0;  // kept
    entries[1].State = 1;  // being written: file deleted
    entries[2].State = 0;  // its file is gone
    entries[3].State = 2;  // its file lies outside the cache: left alone
    const std::string foreign = webtest::tempPath("ZEPH0004.CAH");
    entries[3].FileName = foreign;
    testsupport::writeFile(entries[0].FileName, "abc");
    testsupport::writeFile(entries[1].FileName, "abc");
    testsupport::writeFile(foreign, "keep");
    testsupport::writeFile(path + "ZEPH.DB", CacheIndexFile::encode(entries));

    cache.Initialize();
    ASSERT_EQ(cache.Entries().size(), 1u);
    EXPECT_EQ(cache.Entries()[0], entries[0]);
    EXPECT_EQ(cache.TotalSize(), 3);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(entries[1].FileName)));
    EXPECT_EQ(testsupport::readFile(foreign), "keep");
}

TEST_F(CacheFolder, TrimmingKeepsTheNewestDocumentsWithinTheLimit) {
    std::vector<TDocumentClass> entries(3);
    for (int i = 0; i < 3; ++i) {
        entries[i].URL = "http://h/" + std::to_string(i);
        entries[i].FileName = path + "ZEPH000" + std::to_string(i) + ".CAH";
        entries[i].Size = 400 * 1024;
        entries[i].State = 0;
        testsupport::writeFile(entries[i].FileName, std::string(400 * 1024, 'x'));
    }
    testsupport::writeFile(path + "ZEPH.DB", CacheIndexFile::encode(entries));
    cache.Initialize();  // 1200 KiB over a 1 MiB limit
    ASSERT_EQ(cache.Entries().size(), 2u);
    EXPECT_EQ(cache.Entries()[0].URL, "http://h/1");
    EXPECT_EQ(cache.Entries()[1].URL, "http://h/2");
    EXPECT_EQ(cache.TotalSize(), 800 * 1024);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(entries[0].FileName)));
}

TEST_F(CacheFolder, UnwritableIndexReports2002) {
    TWebCache broken;
    broken.setCachePath(path + "missing/folder");
    broken.Initialize();
    EXPECT_THROW(broken.SaveIndex(), http::EWebCacheError);
}

// ---------------------------------------------------------------- with a server

class CacheAgainstNginx : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        nginx = new testsupport::NginxServer();
        started = nginx->start();
    }
    static void TearDownTestSuite() { delete nginx; }
    void SetUp() override {
        ASSERT_TRUE(started) << nginx->error();
        ASSERT_TRUE(dir.isValid());
        cache.setCachePath(dir.path().toStdString());
        webtest::configureLikeEngine(web);
        web.setRequestMode(http::mdRequest);
        web.setCacheControl(&cache);
    }
    void fetch(const std::string& path) {
        web.Cancel();
        web.setURL(nginx->baseUrl() + path);
        web.Retrieve();
        ASSERT_TRUE(webtest::waitForEnd(web));
    }
    const TDocumentClass* entry(const std::string& path) const {
        for (const auto& e : cache.Entries())
            if (e.URL == nginx->baseUrl() + path) return &e;
        return nullptr;
    }

    static testsupport::NginxServer* nginx;
    static bool started;
    QTemporaryDir dir;
    TWebCache cache;
    TWeb web;
};

testsupport::NginxServer* CacheAgainstNginx::nginx = nullptr;
bool CacheAgainstNginx::started = false;

TEST_F(CacheAgainstNginx, NotModifiedDocumentIsServedFromItsCacheFile) {
    nginx->put("c/one.htm", "first version");
    setModified(nginx->rootDir() + "/c/one.htm", QDateTime::fromSecsSinceEpoch(1600000000));
    fetch("/c/one.htm");
    EXPECT_EQ(web.StatusText(), "200 OK");
    EXPECT_EQ(readHandedOut(web), "first version");
    const TDocumentClass* e = entry("/c/one.htm");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->State, 0);
    EXPECT_EQ(e->Size, 13);
    EXPECT_EQ(e->Date, "Sun, 13 Sep 2020 12:26:40 GMT");
    EXPECT_EQ(testsupport::readFile(e->FileName), "first version");

    // Mark the cached body, so that serving it is visible.
    const std::string cacheFile = e->FileName;
    testsupport::writeFile(cacheFile, "cached copy!!");
    fetch("/c/one.htm");
    EXPECT_EQ(web.StatusText().substr(0, 3), "304");
    EXPECT_EQ(web.IfModifiedSince(), "Sun, 13 Sep 2020 12:26:40 GMT");
    EXPECT_EQ(readHandedOut(web), "cached copy!!");
}

TEST_F(CacheAgainstNginx, ChangedDocumentReplacesTheEntryAndIndexReadsBackTheSame) {
    nginx->put("c/two.htm", "old");
    setModified(nginx->rootDir() + "/c/two.htm", QDateTime::fromSecsSinceEpoch(1500000000));
    fetch("/c/two.htm");
    ASSERT_NE(entry("/c/two.htm"), nullptr);
    const std::string file = entry("/c/two.htm")->FileName;

    nginx->put("c/two.htm", "the new text");
    setModified(nginx->rootDir() + "/c/two.htm", QDateTime::fromSecsSinceEpoch(1700000000));
    fetch("/c/two.htm");
    EXPECT_EQ(web.StatusText(), "200 OK");
    EXPECT_EQ(readHandedOut(web), "the new text");
    const TDocumentClass* e = entry("/c/two.htm");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Date, "Tue, 14 Nov 2023 22:13:20 GMT");
    EXPECT_EQ(e->Size, 12);
    EXPECT_EQ(e->FileName, file);
    EXPECT_EQ(testsupport::readFile(file), "the new text");

    // What the index file holds is what the cache had.
    TWebCache again;
    again.setCachePath(dir.path().toStdString());
    again.Initialize();
    EXPECT_EQ(again.Entries(), cache.Entries());
    std::vector<TDocumentClass> raw;
    ASSERT_EQ(CacheIndexFile::decode(testsupport::readFile(cache.IndexPath()), raw),
              CacheIndexFile::Result::Ok);
    EXPECT_EQ(raw, cache.Entries());
}

TEST_F(CacheAgainstNginx, ErrorPagesAndHeadRequestsAreNotCached) {
    fetch("/c/missing.htm");
    EXPECT_EQ(web.StatusText().substr(0, 3), "404");
    EXPECT_EQ(entry("/c/missing.htm"), nullptr);
    nginx->put("c/head.htm", "abc");
    web.setMethod(http::mtHEAD);
    fetch("/c/head.htm");
    EXPECT_EQ(entry("/c/head.htm"), nullptr);
    EXPECT_TRUE(QDir(dir.path()).entryList({"ZEPH*.CAH"}).isEmpty());
}

TEST(WebCacheScripted, BodyCutShortIsNotKept) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 100\r\nLast-Modified: x\r\n\r\nonly ten..")
        .close();
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    TWebCache cache;
    cache.setCachePath(dir.path().toStdString());
    TWeb web;
    webtest::configureLikeEngine(web);
    web.setCacheControl(&cache);
    web.setURL(server.baseUrl() + "/short.htm");
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(web.BytesReceived(), 10);
    EXPECT_TRUE(cache.Entries().empty());
    EXPECT_TRUE(QDir(dir.path()).entryList({"ZEPH*.CAH"}).isEmpty());
}

TEST(WebCacheScripted, CancelDropsTheEntryBeingWritten) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\n\r\npart").stall();
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    TWebCache cache;
    cache.setCachePath(dir.path().toStdString());
    TWeb web;
    webtest::configureLikeEngine(web);
    web.setCacheControl(&cache);
    web.setURL(server.baseUrl() + "/slow.htm");
    web.Retrieve();
    ASSERT_TRUE(
        platform::waitUntilFor([&] { return web.BytesReceived() == 4; }, webtest::kWatchdogMs));
    ASSERT_EQ(cache.Entries().size(), 1u);
    EXPECT_EQ(cache.Entries()[0].State, TDocumentClass::kWriting);
    web.Cancel();
    EXPECT_TRUE(cache.Entries().empty());
    EXPECT_EQ(web.CacheEntry().State, TDocumentClass::kAbsent);
    EXPECT_TRUE(QDir(dir.path()).entryList({"ZEPH*.CAH"}).isEmpty());
    server.stop();
}

TEST_F(CacheFolder, ForcedCacheServesTheCopyWhenTheHostCannotBeReached) {
    TDocumentClass e;
    e.URL = "http://0.0.0.0/page.htm";
    e.FileName = path + "ZEPH00AA.CAH";
    e.Size = 6;
    e.State = 0;
    e.Date = "Sun, 13 Sep 2020 12:26:40 GMT";
    testsupport::writeFile(e.FileName, "cached");
    testsupport::writeFile(path + "ZEPH.DB", CacheIndexFile::encode({e}));

    TWeb web;
    webtest::configureLikeEngine(web);
    web.setRequestMode(http::mdRequest);
    web.setCacheControl(&cache);
    std::vector<int> errors;
    web.OnError = [&](TWeb*, int code) { errors.push_back(code); };
    int asked = 0;
    web.OnForceCache = [&](TWeb*, bool& force) {
        ++asked;
        force = true;
    };
    web.setURL(e.URL);
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(readHandedOut(web), "cached");

    // Declined: the lookup failure is reported as usual.
    web.OnForceCache = [&](TWeb*, bool& force) { force = false; };
    web.Cancel();
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web));
    EXPECT_EQ(errors, std::vector<int>{1});
}

TEST_F(CacheFolder, ReportFromRetrieveGivesUpTheNewEntry) {
    TWeb web;
    web.setErrorMode(http::emHandler);
    web.setCacheControl(&cache);
    web.setStreamMode(http::smFile);  // without a BufferName: reported
    web.setURL("http://127.0.0.1:9/a.htm");
    EXPECT_ANY_THROW(web.Retrieve());
    EXPECT_FALSE(web.Retrieving());
    EXPECT_TRUE(cache.Entries().empty());
    EXPECT_TRUE(QDir(dir.path()).entryList({"ZEPH*.CAH"}).isEmpty());
}

TEST_F(CacheFolder, DestroyedCacheIsForgotten) {
    TWeb web;
    {
        TWebCache other;
        web.setCacheControl(&other);
    }
    EXPECT_EQ(web.CacheControl(), nullptr);
}
