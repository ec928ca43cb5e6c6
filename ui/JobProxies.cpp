#include "ui/JobProxies.h"

#include <cstdlib>

#include "platform/Dialogs.h"

namespace ui {

std::string JobProxiesWarning(const std::string& reason) {
    return "The proxy settings of the environment cannot be used: " + reason +
           ".\n\nThis copy connects to the servers directly.";
}

http::ProxyVariables ProcessProxyVariables() {
    http::ProxyVariables variables;
    for (const std::string& name : http::ProxyVariableNames())
        if (const char* value = std::getenv(name.c_str())) variables[name] = value;
    return variables;
}

http::EnvironmentProxies JobProxies(const http::ProxyVariables& variables,
                                    platform::Dialogs& dialogs) {
    http::EnvironmentProxies proxies;
    if (std::string reason; !proxies.read(variables, reason)) {
        dialogs.messageBox("Harvex", JobProxiesWarning(reason), platform::DialogKind::Warning,
                           platform::kButtonOk);
        return {};
    }
    return proxies;
}

}  // namespace ui
