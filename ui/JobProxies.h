#pragma once

#include <string>

#include "http/EnvironmentProxies.h"

namespace platform {
class Dialogs;
}

namespace ui {

// The proxies of the program's environment for a job about to start. A
// malformed variable is shown in a warning box and the job then goes straight
// to the servers, as it always did without proxies: a bad variable must not
// keep the user from copying a site.
http::EnvironmentProxies JobProxies(const http::ProxyVariables& variables,
                                    platform::Dialogs& dialogs);

// The proxy variables of this process's environment.
http::ProxyVariables ProcessProxyVariables();

// The warning's text for a malformed variable (reason as read()'s message).
std::string JobProxiesWarning(const std::string& reason);

}  // namespace ui
