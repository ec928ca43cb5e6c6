#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "http/DirectoryListing.h"
#include "http/Web.h"
#include "platform/EventPump.h"
#include "tests/http/WebTestSupport.h"
#include "tests/support/Peers.h"

using http::TWeb;

namespace {

// Asks for the document in blocks of `block` bytes until it ends.
std::string readAllByRequests(TWeb& web, int block, std::vector<int>& contexts) {
    std::string out;
    std::vector<char> buffer(static_cast<std::size_t>(block));
    bool got = false;
    web.OnContext1 = web.OnContext3 = [&](TWeb* w, int context, int, int) {
        contexts.push_back(context);
        (void)w;
        got = true;
    };
    bool ended = false;
    web.OnDisconnect = [&](TWeb*) { ended = true; };
    for (int round = 0; round < 10000 && !ended; ++round) {
        got = false;
        std::fill(buffer.begin(), buffer.end(), 'X');
        web.RequestData(buffer.data(), block, round % 2 ? 3 : 1);
        if (!platform::waitUntilFor([&] { return got || ended; }, webtest::kWatchdogMs)) break;
        if (got) {
            // The hand-out fills the rest of a short block with zeros.
            std::size_t n = static_cast<std::size_t>(block);
            while (n > 0 && buffer[n - 1] == '\0') --n;
            out.append(buffer.data(), n);
        }
    }
    return out;
}

}  // namespace

TEST(WebLocalFile, FileIsHandedOutThroughRequestsThenDisconnect) {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/page.htm";
    const std::string content = "<html>" + std::string(5000, 'a') + "</html>";
    testsupport::writeFile(path, content);
    TWeb web;
    bool connected = false;
    web.OnConnect = [&](TWeb*) { connected = true; };
    web.setURL("file://" + path);
    EXPECT_EQ(web.DocumentName(), "page.htm");
    web.Retrieve();
    EXPECT_TRUE(connected);
    EXPECT_TRUE(web.Retrieving());
    std::vector<int> contexts;
    EXPECT_EQ(readAllByRequests(web, 1000, contexts), content);
    EXPECT_FALSE(web.Retrieving());
    ASSERT_GE(contexts.size(), 2u);
    EXPECT_EQ(contexts[0], 1);
    EXPECT_EQ(contexts[1], 3);
}

TEST(WebLocalFile, MissingFileReports21) {
    TWeb web;
    std::vector<int> codes;
    web.OnError = [&](TWeb*, int code) { codes.push_back(code); };
    web.setURL("file:///nonexistent-harvex-dir/none.htm");
    web.Retrieve();
    EXPECT_EQ(codes, std::vector<int>{21});
    EXPECT_EQ(web.LastError(), "File none.htm doesn't exist");
    EXPECT_FALSE(web.Retrieving());
}

TEST(WebLocalFile, DirectoryIsListedAsHtml) {
    QTemporaryDir dir;
    const std::string root = QDir(dir.path()).canonicalPath().toStdString();
    testsupport::writeFile(root + "/a.txt", std::string(2048, 'x'));
    testsupport::writeFile(root + "/B.HTM", "<html></html>");
    QDir().mkpath(QString::fromStdString(root + "/sub"));
    const std::string before = QDir::currentPath().toStdString();

    TWeb web;
    std::vector<std::string> events;
    web.OnConnect = [&](TWeb*) { events.push_back("Connect"); };
    web.OnResponse = [&](TWeb*, int s, int c, const std::string& r) {
        events.push_back("Response " + std::to_string(s) + " " + std::to_string(c) + " " + r);
    };
    web.OnInfo = [&](TWeb*) { events.push_back("Info"); };
    web.setURL("file://" + root + "/");
    web.Retrieve();
    EXPECT_EQ(events, (std::vector<std::string>{"Connect", "Response 2 0 OK", "Info"}));
    EXPECT_EQ(web.RequestMode(), http::mdRequest);
    EXPECT_EQ(web.ContentType(), "TEXT");
    EXPECT_EQ(web.ContentSubType(), "HTML");
    std::vector<int> contexts;
    std::string listing = readAllByRequests(web, 512, contexts);
    EXPECT_EQ(QDir::currentPath().toStdString(), before) << "the working directory stays";

    EXPECT_EQ(static_cast<std::int64_t>(listing.size()), web.BytesReceived());
    EXPECT_EQ(listing.rfind("<TITLE> Directory Listing of " + root +
                                "</TITLE><H1>Directory listing of " + root + "</H1><PRE>",
                            0),
              0u)
        << listing.substr(0, 200);
    EXPECT_EQ(listing.substr(listing.size() - 6), "</PRE>");
    EXPECT_NE(listing.find("<A HREF=\"" + root + "/a.txt\"> a.txt</A>"), std::string::npos);
    EXPECT_NE(listing.find("<A HREF=\"../\"> ..</A>"), std::string::npos);
    EXPECT_NE(listing.find("SRC=\"internal-dir\" WIDTH=20 HEIGHT=21><A HREF=\"" + root +
                           "/sub\"> sub</A>"),
              std::string::npos);
    EXPECT_NE(listing.find("HTML File\r\n"), std::string::npos);
    EXPECT_NE(listing.find("Directory \r\n"), std::string::npos);
    EXPECT_FALSE(web.Retrieving());
}

TEST(DirectoryListing, LineOfAFileAndOfADirectory) {
    platform::DirectoryScan::Entry file;
    file.name = "a.txt";
    file.size = 2048;
    file.year = 1999;
    file.month = 3;
    file.day = 7;
    file.weekday = 0;
    file.hour = 9;
    file.minute = 5;
    file.second = 1;
    EXPECT_EQ(http::DirectoryListing::line("/srv", file),
              "<IMG ALIGN=MIDDLE BORDER=0 SRC=\"internal-file\" WIDTH=20 HEIGHT=21>"
              "<A HREF=\"/srv/a.txt\"> a.txt</A>" +
                  std::string(25, ' ') + "    2 Kb    Sun Mar 07 09:05:01 1999 \r\n");
    file.name = "small.GIF";
    file.size = 1024;
    EXPECT_NE(http::DirectoryListing::line("/srv", file)
                  .find(" 1024 Bytes Sun Mar 07 09:05:01 1999 Picture File\r\n"),
              std::string::npos);
    platform::DirectoryScan::Entry dir = file;
    dir.name = "..";
    dir.isDirectory = true;
    std::string line = http::DirectoryListing::line("/srv", dir);
    EXPECT_NE(line.find("SRC=\"internal-dir\""), std::string::npos);
    EXPECT_NE(line.find("<A HREF=\"../\"> ..</A>" + std::string(28, ' ') + std::string(12, ' ') +
                        "Sun Mar"),
              std::string::npos);
    EXPECT_EQ(line.substr(line.size() - 12), "Directory \r\n");
}
