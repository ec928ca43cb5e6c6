#include "mail/msmb.h"

#include "mail/MailErrors.h"
#include "mail/MailStrings.h"
#include "platform/EventPump.h"

void TmsMailBase::Connect() {
    if (Connected()) return;
    if (Server.empty()) RaiseError(kErrServerRequired);
    Reset();
    if (RAS) RAS->Dial();
    if (OnOpen) OnOpen();
    if (Server.empty()) RaiseError(kErrServerRequired);
    OpenConnection(Server, DefaultPort);
    Greet();
}

void TmsMailBase::Disconnect() {
    if (!Connected()) return;
    try {
        SayGoodbye();
    } catch (const ETimedOutError&) {
        throw;  // already closed
    } catch (...) {
        // A refused goodbye still ends the session: a socket left open would
        // make the next Connect skip the server it was given.
        Close();
        throw;
    }
    Close();
}
