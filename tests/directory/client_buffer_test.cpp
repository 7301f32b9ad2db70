#include "directory/client.h"

#include <gtest/gtest.h>

namespace era {

TEST(DSBuffer, FillsNoMoreThanItsSize) {
    TDSBuffer buffer(64);
    ASSERT_TRUE(buffer.AddAttribute("CN", SynCiString));   // 4 + 3 + 8 = 15 bytes
    int added = 0;
    while (buffer.AddValue(TTextValue{"0123456789"})) ++added;   // 4 + 4 + 11 = 19 bytes each
    EXPECT_EQ(added, 2);
    EXPECT_LE(buffer.UsedBytes(), buffer.Size());
    EXPECT_EQ(buffer.Attributes().at(0).Values.size(), 2u);
}

TEST(DSBuffer, ValueLargerThanTheBufferNeverFits) {
    TDSBuffer buffer(32);
    ASSERT_TRUE(buffer.AddAttribute("X", SynOctetString));
    EXPECT_FALSE(buffer.AddValue(TOctetString{std::vector<uint8_t>(100, 1)}));
    EXPECT_TRUE(buffer.Attributes().at(0).Values.empty());
}

TEST(DSBuffer, ClientCallsWalkAReadReplyInOrder) {
    TDirectoryClient client;
    TDSBuffer buffer(MaxMessageLen);
    ASSERT_EQ(client.NWDSInitBuf(0, DsvRead, buffer), 0);
    buffer.AddAttribute("Telephone Number", SynTelNumber);
    buffer.AddValue(TTextValue{"555-1"});
    buffer.AddValue(TTextValue{"555-2"});
    buffer.AddAttribute("Full Name", SynCiString);
    buffer.AddValue(TTextValue{"Ann"});

    uint32_t count = 0;
    ASSERT_EQ(client.NWDSGetAttrCount(0, buffer, count), 0);
    ASSERT_EQ(count, 2u);
    std::string name;
    uint32_t values = 0, syntax = 0, size = 0;
    ASSERT_EQ(client.NWDSGetAttrName(0, buffer, name, values, syntax), 0);
    EXPECT_EQ(name, "Telephone Number");
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(syntax, uint32_t{SynTelNumber});
    ASSERT_EQ(client.NWDSComputeAttrValSize(0, buffer, syntax, size), 0);
    EXPECT_EQ(size, EncodedValueSize(TTextValue{"555-1"}));
    TAttrValue value;
    ASSERT_EQ(client.NWDSGetAttrVal(0, buffer, syntax, value), 0);
    EXPECT_EQ(std::get<TTextValue>(value).Text, "555-1");
    ASSERT_EQ(client.NWDSGetAttrVal(0, buffer, syntax, value), 0);
    EXPECT_EQ(std::get<TTextValue>(value).Text, "555-2");
    EXPECT_EQ(client.NWDSGetAttrVal(0, buffer, syntax, value), ErrBufferEmpty);
    ASSERT_EQ(client.NWDSGetAttrName(0, buffer, name, values, syntax), 0);
    EXPECT_EQ(name, "Full Name");
    EXPECT_EQ(client.NWDSGetAttrName(0, buffer, name, values, syntax), ErrBufferEmpty);
    EXPECT_TRUE(name.empty());
}

TEST(DSBuffer, FilterMustEndWithTheEndToken) {
    TDirectoryClient client;
    std::unique_ptr<TFilterCursor> cursor;
    ASSERT_EQ(client.NWDSAllocFilter(cursor), 0);
    EXPECT_EQ(client.NWDSAddFilterToken(*cursor, FtokAName, std::string("CN"), SynCiString), 0);
    EXPECT_EQ(client.NWDSAddFilterToken(*cursor, FtokAName), ErrInvalidFilterSyntax);   // needs a name
    EXPECT_EQ(client.NWDSAddFilterToken(*cursor, 99), ErrInvalidFilterSyntax);
    EXPECT_EQ(client.NWDSAddFilterToken(*cursor, FtokPresent), 0);
    TDSBuffer request(DefaultMessageLen);
    client.NWDSInitBuf(0, DsvSearchFilter, request);
    EXPECT_EQ(client.NWDSPutFilter(0, request, *cursor), ErrInvalidFilterSyntax);
    EXPECT_EQ(client.NWDSAddFilterToken(*cursor, FtokEnd), 0);
    EXPECT_EQ(client.NWDSPutFilter(0, request, *cursor), 0);
    EXPECT_EQ(request.Filter().size(), 3u);
    client.NWDSFreeFilter(cursor);
    EXPECT_EQ(cursor, nullptr);
}

TEST(AbsentClient, StartsNothingAndAnswersWithCodes) {
    auto previous = InstallClient(nullptr);
    EXPECT_EQ(Client().NWCallsInit(), NweClientNotStarted);
    NWDSContextHandle context = 99;
    EXPECT_NE(Client().NWDSCreateContextHandle(context), 0);
    EXPECT_EQ(context, 0u);
    EXPECT_EQ(Client().LoadErrorTextLibrary(), nullptr);
    EXPECT_FALSE(Client().RedirectorDirectoryExists("F:\\PUBLIC"));
    InstallClient(std::move(previous));
}

} // namespace era
