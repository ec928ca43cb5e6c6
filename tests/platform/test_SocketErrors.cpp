#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

#include "platform/SocketErrors.h"

using namespace platform;

TEST(SocketErrors, ErrnoMapsToOriginalNumbering) {
    EXPECT_EQ(socketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(socketErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(socketErrorFromErrno(EINPROGRESS), 10035);
    EXPECT_EQ(socketErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(socketErrorFromErrno(0), 0);
}

TEST(SocketErrors, UnknownErrnoIsNeverSuccess) { EXPECT_NE(socketErrorFromErrno(987654), 0); }

TEST(SocketErrors, LookupFailuresMapToHostNotFound) {
    EXPECT_EQ(socketErrorFromLookup(EAI_NONAME), 11001);
    EXPECT_EQ(socketErrorFromLookup(EAI_AGAIN), 11002);
    EXPECT_EQ(socketErrorFromLookup(0), 0);
}

TEST(SocketErrors, DescriptionsKeepTheirOriginalWording) {
    EXPECT_EQ(socketErrorDescription(10061), "Connection refused");
    EXPECT_EQ(socketErrorDescription(10013), "Permission denied.");
    EXPECT_EQ(socketErrorDescription(11001), "Host not found");
    EXPECT_EQ(socketErrorDescription(10000), "No Error");
    EXPECT_EQ(socketErrorDescription(12345), "");
}

TEST(SocketErrors, ReasonTextIsTheCodeInBracketsAndItsDescription) {
    EXPECT_EQ(socketErrorText(10061), "[10061] Connection refused");
    EXPECT_EQ(socketErrorText(10054), "[10054] Connection reset by peer");
    EXPECT_EQ(socketErrorText(11001), "[11001] Host not found");
    EXPECT_EQ(socketErrorText(12345), "Error #12345");
}
