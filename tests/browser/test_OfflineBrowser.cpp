// A copy made with --offline, opened in a real browser with the network cut off.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <string>

#include "tests/support/Peers.h"

namespace {

constexpr int kCopyTimeoutMs = 120000;
constexpr int kBrowserTimeoutMs = 240000;
constexpr int kNpmTimeoutMs = 240000;
constexpr const char* kChromium = "/usr/bin/chromium";
constexpr const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string png(const QColor& colour) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

std::string page(const std::string& title, const std::string& head, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title + "</title>\n" +
           head + "\n</head>\n<body>\n<h1>" + title + "</h1>\n" + body + "\n</body></html>\n";
}

// A small documentation site: stylesheets outside the start directory that
// import each other, a web font, srcset images, absolute links to its own pages,
// a directory link and a name with a blank.
void putSite(testsupport::NginxServer& server) {
    const std::string base = server.baseUrl();
    server.put("docs/index.html",
               page("Start",
                    "<link rel=\"stylesheet\" href=\"/static/css/main.css\">\n"
                    "<link rel=\"icon\" href=\"/static/img/icon.png\">\n"
                    "<script src=\"/static/js/app.js\"></script>",
                    "<img src=\"img/logo.png\" srcset=\"img/logo.png 1x, img/logo@2x.png 2x\" "
                    "alt=\"logo\">\n"
                    "<picture><source srcset=\"img/photo.svg\" type=\"image/svg+xml\">"
                    "<img src=\"img/photo.png\" alt=\"photo\"></picture>\n"
                    "<p style=\"background-image:url('/static/img/bg.png')\">styled</p>\n"
                    "<a href=\"" +
                        base +
                        "/docs/guide/intro.html\">Introduction</a>\n"
                        "<a href=\"guide/\">Guide</a>\n"
                        "<a href=\"space%20name.html\">A name with a blank</a>\n"
                        "<a href=\"#top\">Top</a>"));
    server.put(
        "docs/guide/index.html",
        page("Guide",
             "<link rel=\"stylesheet\" href=\"../../static/css/main.css\">\n"
             "<script src=\"../../static/js/app.js\"></script>",
             "<a href=\"../index.html\">Start</a>\n<a href=\"intro.html\">Introduction</a>"));
    server.put("docs/guide/intro.html",
               page("Introduction",
                    "<link rel=\"stylesheet\" href=\"" + base +
                        "/static/css/main.css\">\n"
                        "<style>@import url(\"/static/css/extra.css\");</style>\n"
                        "<script src=\"/static/js/app.js\"></script>",
                    "<img src=\"/static/img/bg.png\" alt=\"background\">\n"
                    "<h2>Part</h2>\n"
                    "<a href=\"/docs/space%20name.html#part\">A name with a blank</a>\n"
                    "<a href=\"" +
                        base + "/docs/index.html\">Start</a>"));
    server.put("docs/space name.html",
               page("Blank",
                    "<link rel=\"stylesheet\" href=\"../static/css/main.css\">\n"
                    "<script src=\"" +
                        base + "/static/js/app.js\"></script>",
                    "<img src=\"img/logo.png\" alt=\"logo\">\n<h2 id=\"part\">Part</h2>\n"
                    "<a href=\"index.html\">Start</a>\n<a href=\"guide/index.html\">Guide</a>"));
    server.put("static/css/main.css",
               "@import \"parts/colors.css\";\n"
               "@font-face { font-family: \"Harvex Test\";\n"
               "  src: url(\"../fonts/test.ttf\") format(\"truetype\"); }\n"
               "body { font-family: \"Harvex Test\", sans-serif;\n"
               "  background: url(../img/bg.png) repeat-x; }\n");
    server.put("static/css/parts/colors.css",
               "/* Set here so a page can tell that the import arrived. */\n"
               ":root { --imported: yes; }\n"
               "h1 { color: rgb(200, 0, 0); background-image: url(\"../../img/dot.png\"); }\n");
    server.put("static/css/extra.css", "h2 { background: url('/static/img/dot.png'); }\n");
    server.put("static/js/app.js", "document.documentElement.dataset.script = 'ran';\n");
    server.put("static/img/bg.png", png(Qt::yellow));
    server.put("static/img/dot.png", png(Qt::red));
    server.put("static/img/icon.png", png(Qt::green));
    server.put("docs/img/logo.png", png(Qt::blue));
    server.put("docs/img/logo@2x.png", png(Qt::darkBlue));
    server.put("docs/img/photo.png", png(Qt::gray));
    server.put("docs/img/photo.svg",
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"4\">"
               "<rect width=\"4\" height=\"4\" fill=\"blue\"/></svg>\n");
    server.put("static/fonts/test.ttf", testsupport::readFile(kFont));
}

// Installs puppeteer-core (never a browser) into the build tree once, beside
// the checking script, which node resolves its imports from.
bool installDriver(std::string& why) {
    const QString dir = QStringLiteral(HARVEX_BROWSER_NPM_DIR);
    QDir().mkpath(dir);
    QFile::remove(dir + "/offline_check.mjs");
    QFile::copy(QStringLiteral(HARVEX_BROWSER_SOURCE_DIR) + "/offline_check.mjs",
                dir + "/offline_check.mjs");
    if (QFileInfo::exists(dir + "/node_modules/puppeteer-core/package.json")) return true;
    for (const char* name : {"package.json", "package-lock.json"}) {
        QFile::remove(dir + "/" + name);
        QFile::copy(QStringLiteral(HARVEX_BROWSER_SOURCE_DIR) + "/" + name, dir + "/" + name);
    }
    QProcess npm;
    npm.setWorkingDirectory(dir);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PUPPETEER_SKIP_DOWNLOAD", "1");
    npm.setProcessEnvironment(environment);
    npm.setProcessChannelMode(QProcess::MergedChannels);
    npm.start("npm", {"ci", "--ignore-scripts", "--no-audit", "--no-fund"});
    const bool done = npm.waitForFinished(kNpmTimeoutMs);
    if (done && npm.exitStatus() == QProcess::NormalExit && npm.exitCode() == 0) return true;
    npm.kill();
    why = npm.readAll().toStdString();
    return false;
}

TEST(OfflineCopyInBrowser, SavedPagesLoadEverythingFromDiskAndLinksLandOnSavedPages) {
    if (!QFileInfo::exists(kChromium))
        GTEST_SKIP() << "chromium is not installed (Debian package chromium): browser test skipped";
    if (QStandardPaths::findExecutable("node").isEmpty() ||
        QStandardPaths::findExecutable("npm").isEmpty())
        GTEST_SKIP() << "node and npm are not installed: browser test skipped";
    if (!QFileInfo::exists(kFont))
        GTEST_SKIP() << "no font to serve (Debian package fonts-dejavu-core): browser test skipped";
    std::string why;
    if (!installDriver(why))
        GTEST_SKIP() << "puppeteer-core could not be installed with npm ci: browser test skipped\n"
                     << why;

    testsupport::NginxServer server;
    // Started first: the site's absolute links name its port.
    ASSERT_TRUE(server.start()) << server.error();
    putSite(server);

    QTemporaryDir saveDir;
    ASSERT_TRUE(saveDir.isValid());
    const QString save = saveDir.path() + "/copy";
    QProcess copy;
    copy.setProcessChannelMode(QProcess::MergedChannels);
    copy.start(QStringLiteral(HARVEX_CLI),
               {QString::fromStdString(server.baseUrl() + "/docs/index.html"), save, "--offline",
                "--verbose"});
    ASSERT_TRUE(copy.waitForFinished(kCopyTimeoutMs));
    const std::string log = copy.readAll().toStdString();
    ASSERT_EQ(copy.exitCode(), 0) << log;
    // The network is gone before the browser opens the copy.
    server.stop();

    const std::string root = save.toStdString();
    // Names as a browser reads them from a file: URL.
    EXPECT_TRUE(QFileInfo::exists(save + "/docs/space name.html")) << log;
    EXPECT_FALSE(QFileInfo::exists(save + "/docs/space%20name.html"));
    // Requisites outside the start directory and of kinds no rule allows.
    for (const char* file : {"static/css/main.css", "static/css/parts/colors.css",
                             "static/css/extra.css", "static/fonts/test.ttf", "static/js/app.js",
                             "static/img/bg.png", "docs/img/logo@2x.png", "docs/img/photo.svg"}) {
        EXPECT_TRUE(QFileInfo::exists(save + "/" + file)) << file << "\n" << log;
    }
    EXPECT_NE(log.find("Converted links in " + root + "/docs/index.html: "), std::string::npos)
        << log;

    QProcess browser;
    browser.setWorkingDirectory(QStringLiteral(HARVEX_BROWSER_NPM_DIR));
    browser.setProcessChannelMode(QProcess::MergedChannels);
    browser.start("node", {QStringLiteral(HARVEX_BROWSER_NPM_DIR) + "/offline_check.mjs", save,
                           "docs/index.html", "docs/guide/intro.html", "docs/space name.html"});
    ASSERT_TRUE(browser.waitForFinished(kBrowserTimeoutMs));
    const std::string report = browser.readAll().toStdString();
    EXPECT_EQ(browser.exitCode(), 0) << report << "\n" << log;
    std::printf("%s", report.c_str());
}

}  // namespace
