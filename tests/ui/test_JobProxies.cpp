#include <QTest>

#include "http/Webproxy.h"
#include "testing/ScriptedDialogs.h"
#include "ui/JobProxies.h"

Q_DECLARE_METATYPE(http::ProxyVariables)

// The desktop program's proxies at job start: a malformed variable is shown
// in a warning box and the job goes straight to the servers.
class TestJobProxies : public QObject {
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
    void credentialsReachTheProxyList();
};

void TestJobProxies::choice_data() {
    QTest::addColumn<http::ProxyVariables>("variables");
    QTest::addColumn<QString>("proxy");    // chosen for http://site:80, "" for none
    QTest::addColumn<QString>("warning");  // a part of the box's text, "" for no box

    QTest::newRow("none") << http::ProxyVariables{} << ""
                          << "";
    QTest::newRow("http proxy") << http::ProxyVariables{{"http_proxy", "http://p:3128/"}}
                                << "p:3128"
                                << "";
    QTest::newRow("bypassed") << http::ProxyVariables{{"http_proxy", "p:3128"},
                                                      {"no_proxy", ".site"}}
                              << ""
                              << "";
    QTest::newRow("malformed port") << http::ProxyVariables{{"http_proxy", "p:99999"}} << ""
                                    << "cannot be used: http_proxy is not a proxy address";
    QTest::newRow("malformed no_proxy")
        << http::ProxyVariables{{"http_proxy", "p:3128"}, {"NO_PROXY", "a b"}} << ""
        << "NO_PROXY has an entry that is not a host";
}

void TestJobProxies::choice() {
    QFETCH(http::ProxyVariables, variables);
    QFETCH(QString, proxy);
    QFETCH(QString, warning);
    platform::ScriptedDialogs dialogs;
    const http::EnvironmentProxies proxies = ui::JobProxies(variables, dialogs);
    const auto chosen = proxies.proxyFor("http", "site", 80);
    QCOMPARE(QString::fromStdString(chosen ? chosen->hostAndPort() : std::string()), proxy);
    if (warning.isEmpty()) {
        QVERIFY(dialogs.calls.empty());
        return;
    }
    QCOMPARE(dialogs.calls.size(), std::size_t{1});
    QVERIFY(dialogs.calls[0].kind == platform::DialogKind::Warning);
    QVERIFY2(QString::fromStdString(dialogs.calls[0].text).contains(warning),
             dialogs.calls[0].text.c_str());
    QVERIFY(QString::fromStdString(dialogs.calls[0].text).contains("directly"));
}

// The job's proxy list, as the engine takes it: the credentials of the
// address go with the proxy they were written for.
void TestJobProxies::credentialsReachTheProxyList() {
    platform::ScriptedDialogs dialogs;
    const http::TProxies list = http::ProxiesOf(ui::JobProxies(
        {{"http_proxy", "http://ann:pa%40ss@p:3128/"}, {"https_proxy", "q:8080"}}, dialogs));
    QVERIFY(dialogs.calls.empty());
    QVERIFY(list.HttpCredentials.has_value());
    QCOMPARE(QString::fromStdString(list.HttpCredentials->user), QString("ann"));
    QCOMPARE(QString::fromStdString(list.HttpCredentials->password), QString("pa@ss"));
    QCOMPARE(QString::fromStdString(list.Security), QString("q"));
    QVERIFY(!list.SecurityCredentials.has_value());
}

QTEST_GUILESS_MAIN(TestJobProxies)
#include "test_JobProxies.moc"
