// The host and credential caches as objects a TWeb can be given.
#include <gtest/gtest.h>

#include "http/CredentialCache.h"
#include "http/HostCache.h"
#include "http/Web.h"

using namespace http;

namespace {

TEST(HostCacheObject, FindsExactNamesOnlyAndKeepsOneEntryPerAddress) {
    THostCache cache;
    const std::uint32_t address = 0x0100007F;  // 127.0.0.1 in network order
    cache.add("hostile", address);
    std::uint32_t found = 0;
    EXPECT_FALSE(cache.find("host", found));
    ASSERT_TRUE(cache.find("hostile", found));
    EXPECT_EQ(found, address);
    cache.add("hostile", address);
    EXPECT_EQ(cache.entries().size(), 1u);
    cache.add("high", 0xFFFFFFFFu);  // a negative number in the entry
    ASSERT_TRUE(cache.find("high", found));
    EXPECT_EQ(found, 0xFFFFFFFFu);
}

TEST(CredentialCacheObject, NewerAnswerReplacesTheOlderAndForgetRemovesIt) {
    TCredentialCache cache;
    const std::string key = TCredentialCache::key("Vault", "127.0.0.1:80");
    cache.add(key, "ann", "one");
    cache.add(key, "ann", "two");
    ASSERT_EQ(cache.entries().size(), 1u);
    TCredentialCache::Credentials known;
    ASSERT_TRUE(cache.find(key, known));
    EXPECT_EQ(known.user, "ann");
    EXPECT_EQ(known.password, "two");
    EXPECT_FALSE(cache.find(TCredentialCache::key("Vault", "127.0.0.1:81"), known));
    cache.forget(key);
    EXPECT_TRUE(cache.entries().empty());
}

TEST(CredentialCacheObject, ClassWideListIsTheSharedCache) {
    TCredentialCache::shared().entries().clear();
    TCredentialCache::shared().add(TWeb::credentialKey("R", "h:80"), "u", "p");
    ASSERT_EQ(TWeb::CredentialCache().size(), 1u);
    EXPECT_EQ(TWeb::CredentialCache()[0], "R at h:80|u\x04p");
    TWeb::CredentialCache().clear();
}

}  // namespace
