#pragma once

// Runs the real harvex-cli (HARVEX_CLI_PATH, set per test target) with only
// the proxy variables a test gives, so that the machine's own never leak in.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <map>
#include <string>

namespace clitest {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline CliRun runCli(const QStringList& args,
                     const std::map<std::string, std::string>& variables = {},
                     int timeoutMs = 90000) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "no_proxy", "NO_PROXY"})
        env.remove(QString::fromLatin1(name));
    for (const auto& [name, value] : variables)
        env.insert(QString::fromStdString(name), QString::fromStdString(value));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(HARVEX_CLI_PATH), args);
    EXPECT_TRUE(process.waitForStarted(10000));
    EXPECT_TRUE(process.waitForFinished(timeoutMs)) << "harvex-cli did not end";
    CliRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace clitest
